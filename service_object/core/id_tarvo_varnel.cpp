#include "service_object/core/id_tarvo_varnel.h"

#include "service_object/core/device_properties.h"
#include "service_object/core/opos_properties.h"

namespace varnel {

using namespace opos;

ID_TARVO_VARNEL::ID_TARVO_VARNEL(ServiceModule& module)
    : module_(module), platform_(module.platform()), device_(module.state()) {
  module_.lock().lock();
  device_.emulation = platform_.process.is_wow64();
}

ID_TARVO_VARNEL::~ID_TARVO_VARNEL() { module_.lock().unlock(); }

// ---------------------------------------------------------------------------------------------
// Properties

void ID_TARVO_VARNEL::COFreezeEvents(bool /*freeze*/) {}

std::int32_t ID_TARVO_VARNEL::ServiceObjectVersion() {
  service_object_version_ = kServiceObjectVersion;
  return service_object_version_;
}

std::u16string ID_TARVO_VARNEL::DeviceName() {
  device_name_ = kDeviceNameText;
  return device_name_;
}

std::u16string ID_TARVO_VARNEL::DeviceDescription() {
  device_description_ = kDeviceDescriptionText;
  return device_description_;
}

std::u16string ID_TARVO_VARNEL::DeviceControlDescription() {
  device_control_description_ = kServiceObjectDescriptionText;
  return device_control_description_;
}

std::int32_t ID_TARVO_VARNEL::GetPropertyNumber(std::int32_t prop_index) {
  switch (prop_index) {
    case PIDX_Claimed: return claimed_ ? 1 : 0;
    case PIDX_DeviceEnabled: return OnbDeviceEnable() ? 1 : 0;
    case PIDX_ResultCode: return result_code_;
    case PIDX_ServiceObjectVersion: return ServiceObjectVersion();
    default: return device_number_property(prop_index, {opened_, character_set_});
  }
}

void ID_TARVO_VARNEL::SetPropertyNumber(std::int32_t prop_index, std::int32_t number) {
  // A closed object records the error but still acts.
  if (!opened_) result_code_ = OPOS_E_CLOSED;

  switch (prop_index) {
    case PIDX_DeviceEnabled:
      if (!claimed_) {
        result_code_ = OPOS_E_NOTCLAIMED;
      } else if (number > 0) {
        enable();
      } else {
        disable();
      }
      break;
    case PIDXDisp_InterCharacterWait: send(inter_character_wait_command(number)); break;
    case PIDXDisp_BlinkRate: send(blink_rate_command(number)); break;
    case PIDXDisp_CursorType: send(cursor_type_command(number)); break;
    case PIDXDisp_CharacterSet: select_character_set(number); break;
    default: break;
  }
}

void ID_TARVO_VARNEL::select_character_set(std::int32_t number) {
  // A number not in CharacterSetList is refused; the character set in force stays.
  if (!character_set_.select(number)) {
    result_code_ = OPOS_E_ILLEGAL;
  } else if (opened_) {
    result_code_ = OPOS_SUCCESS;
  }
}

std::u16string ID_TARVO_VARNEL::GetPropertyString(std::int32_t prop_index) {
  if (!opened_) result_code_ = OPOS_E_CLOSED;
  switch (prop_index) {
    case PIDX_DeviceDescription: return DeviceDescription();
    case PIDX_DeviceName: return DeviceName();
    case PIDX_ServiceObjectDescription: return DeviceControlDescription();
    default: return device_string_property(prop_index);
  }
}

void ID_TARVO_VARNEL::SetPropertyString(std::int32_t /*prop_index*/, std::u16string_view /*text*/) {}

// ---------------------------------------------------------------------------------------------
// Open, claim, enable, release, close

std::int32_t ID_TARVO_VARNEL::OpenService(std::u16string_view /*device_class*/,
                                          std::u16string_view /*device_name*/) {
  // The device is the one the device-name file names, whatever name the application opened.
  if (opened_) {
    result_code_ = OPOS_SUCCESS;
    return OPOS_SUCCESS;
  }
  opened_ = true;
  result_code_ = OPOS_SUCCESS;
  read_device_name_file();
  return OPOS_SUCCESS;
}

void ID_TARVO_VARNEL::read_device_name_file() {
  device_.key_path.reset(device_.emulation);
  const auto raw = platform_.files.read(platform_.device_name_file, kDeviceNameFileMaxBytes);
  if (!raw) {
    platform_.messages.show(messages::kFileOpenError);
    return;
  }
  if (!device_.key_path.append(device_name_from_file(*raw))) {
    platform_.messages.show(messages::kDeviceNameTooLong);
  }
}

std::int32_t ID_TARVO_VARNEL::ClaimDevice(std::int32_t /*timeout*/) {
  if (!opened_) {
    result_code_ = OPOS_E_CLOSED;
    return -1;
  }
  claimed_ = true;
  result_code_ = OPOS_SUCCESS;
  return OPOS_SUCCESS;
}

void ID_TARVO_VARNEL::enable() {
  if (enabled_) return;

  // The key stays open until the port has been opened or has failed.
  const DeviceSettings settings = read_settings();
  // A rate that is not a positive number cannot be set on the line; the device stays disabled.
  if (settings.baud_rate <= 0) return;

  const std::u16string port_name = u"COM" + settings.port_text;
  if (platform_.port.open(port_name, ParitySelector::kNone, settings.baud_rate)) {
    device_.port_open = true;
    result_code_ = OPOS_SUCCESS;
    enabled_ = true;
  } else {
    result_code_ = OPOS_E_DISABLED;
    platform_.messages.show(port_name + std::u16string(messages::kOpenErrorSuffix));
  }
}

DeviceSettings ID_TARVO_VARNEL::read_settings() {
  DeviceSettings settings;
  settings.key = platform_.registry.open_for_reading(device_.key_path.text());
  if (!settings.key) platform_.messages.show(messages::kRegisterOpenError);

  const auto read = [&](std::u16string_view name) -> std::optional<std::u16string> {
    return settings.key ? settings.key->read_string(name) : std::nullopt;
  };

  if (const auto baud = read(u"Baudrate")) {
    settings.baud_rate = parse_leading_int(*baud);
  } else {
    platform_.messages.show(messages::kBaudrateReadError);
  }
  if (auto port = read(u"Comport")) {
    settings.port_text = std::move(*port);
  } else {
    platform_.messages.show(messages::kComportReadError);
  }
  return settings;
}

void ID_TARVO_VARNEL::disable() {
  enabled_ = false;
  close_port();
}

void ID_TARVO_VARNEL::close_port() {
  if (!device_.port_open) return;
  platform_.port.close();
  device_.port_open = false;
}

std::int32_t ID_TARVO_VARNEL::ReleaseDevice() {
  if (claimed_) {
    result_code_ = OPOS_SUCCESS;
    claimed_ = false;
    enabled_ = false;
    close_port();
  }
  return OPOS_SUCCESS;
}

std::int32_t ID_TARVO_VARNEL::CloseService() {
  opened_ = false;
  claimed_ = false;
  device_.key_path.reset(device_.emulation);
  enabled_ = false;
  close_port();
  character_set_ = CharacterSet{};  // the next open starts with the default again
  return OPOS_SUCCESS;
}

// ---------------------------------------------------------------------------------------------
// Output

bool ID_TARVO_VARNEL::send(std::size_t count) {
  if (!device_.port_open || count == 0) return false;
  return platform_.port.write(std::span<const std::uint8_t>(device_.transmit.data(), count));
}

void ID_TARVO_VARNEL::send(const DisplayCommand& command) {
  std::copy(command.bytes.begin(), command.bytes.begin() + static_cast<std::ptrdiff_t>(command.size),
            device_.transmit.begin());
  send(command.size);
}

std::int32_t ID_TARVO_VARNEL::DisplayText(std::u16string_view data, std::int32_t /*attribute*/) {
  // Every attribute shows as normal text; the bytes go out exactly as converted, control codes
  // included.
  const TextBytes text = character_set_.encode(data, device_.transmit);
  if (text.truncated) platform_.messages.show(messages::kTooManyChars);
  send(text.count);
  return OPOS_SUCCESS;
}

std::int32_t ID_TARVO_VARNEL::DisplayTextAt(std::int32_t row, std::int32_t column, std::u16string_view data,
                                            std::int32_t attribute) {
  send(cursor_position_command(row, column));
  return DisplayText(data, attribute);
}

std::int32_t ID_TARVO_VARNEL::ClearText() {
  send(clear_command());
  return OPOS_SUCCESS;
}

std::int32_t ID_TARVO_VARNEL::ScrollText(std::int32_t direction, std::int32_t units) {
  send(scroll_command(direction, units));
  return OPOS_SUCCESS;
}

// ---------------------------------------------------------------------------------------------
// Methods the display does not support: they change nothing and answer success.

std::int32_t ID_TARVO_VARNEL::CheckHealth(std::int32_t /*level*/) { return OPOS_SUCCESS; }
std::int32_t ID_TARVO_VARNEL::DirectIO(std::int32_t /*command*/, std::int32_t& /*data*/,
                                       std::u16string& /*text*/) {
  return OPOS_SUCCESS;  // no DirectIO command is defined
}
std::int32_t ID_TARVO_VARNEL::ClearDescriptors() { return OPOS_SUCCESS; }
std::int32_t ID_TARVO_VARNEL::CreateWindow(std::int32_t, std::int32_t, std::int32_t, std::int32_t,
                                           std::int32_t, std::int32_t) {
  return OPOS_SUCCESS;
}
std::int32_t ID_TARVO_VARNEL::DestroyWindow() { return OPOS_SUCCESS; }
std::int32_t ID_TARVO_VARNEL::RefreshWindow(std::int32_t /*window*/) { return OPOS_SUCCESS; }
std::int32_t ID_TARVO_VARNEL::SetDescriptor(std::int32_t, std::int32_t) { return OPOS_SUCCESS; }
std::int32_t ID_TARVO_VARNEL::DefineGlyph(std::int32_t, std::u16string_view) { return OPOS_SUCCESS; }
std::int32_t ID_TARVO_VARNEL::ReadCharacterAtCursor(std::int32_t& /*cursor_char*/) { return OPOS_SUCCESS; }
std::int32_t ID_TARVO_VARNEL::DisplayBitmap(std::u16string_view, std::int32_t, std::int32_t, std::int32_t) {
  return OPOS_SUCCESS;
}
std::int32_t ID_TARVO_VARNEL::SetBitmap(std::int32_t, std::u16string_view, std::int32_t, std::int32_t,
                                        std::int32_t) {
  return OPOS_SUCCESS;
}
std::int32_t ID_TARVO_VARNEL::ResetStatistics(std::u16string_view) { return OPOS_SUCCESS; }
std::int32_t ID_TARVO_VARNEL::RetrieveStatistics(std::u16string&) { return OPOS_SUCCESS; }
std::int32_t ID_TARVO_VARNEL::UpdateStatistics(std::u16string_view) { return OPOS_SUCCESS; }
std::int32_t ID_TARVO_VARNEL::CompareFirmwareVersion(std::u16string_view, std::int32_t&) {
  return OPOS_SUCCESS;
}
std::int32_t ID_TARVO_VARNEL::UpdateFirmware(std::u16string_view) { return OPOS_SUCCESS; }

}  // namespace varnel
