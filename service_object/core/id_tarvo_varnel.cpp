#include "service_object/core/id_tarvo_varnel.h"

#include "service_object/core/device_properties.h"
#include "service_object/core/line_output.h"
#include "service_object/core/opos_properties.h"

namespace varnel {

using namespace opos;

namespace {

using Guard = std::lock_guard<std::mutex>;

}  // namespace

ID_TARVO_VARNEL::ID_TARVO_VARNEL(ServiceModule& module)
    : module_(module), platform_(module.platform()), device_(module.state()) {
  module_.lock().lock();
  const bool wow64 = platform_.process.is_wow64();
  const Guard guard(device_.lock);
  device_.emulation = wow64;
}

ID_TARVO_VARNEL::~ID_TARVO_VARNEL() {
  {
    // The port stays open (CloseService closes it), but this object stops using it.
    const Guard guard(device_.lock);
    if (enabled_) --device_.port_users;
  }
  module_.lock().unlock();
}

void ID_TARVO_VARNEL::show(const Messages& messages) {
  for (const std::u16string& text : messages) platform_.messages.show(text);
}

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
    case PIDXDisp_InterCharacterWait: {
      const DisplayCommand command = inter_character_wait_command(number);
      output({command.span()});
      break;
    }
    case PIDXDisp_BlinkRate: {
      const DisplayCommand command = blink_rate_command(number);
      output({command.span()});
      break;
    }
    case PIDXDisp_CursorType: {
      const DisplayCommand command = cursor_type_command(number);
      output({command.span()});
      break;
    }
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
  Messages messages;
  {
    const Guard guard(device_.lock);
    read_device_name_file(messages);
  }
  show(messages);
  return OPOS_SUCCESS;
}

void ID_TARVO_VARNEL::read_device_name_file(Messages& messages) {
  device_.key_path.reset(device_.emulation);
  const auto raw = platform_.files.read(platform_.device_name_file, kDeviceNameFileMaxBytes);
  if (!raw) {
    messages.emplace_back(messages::kFileOpenError);
    return;
  }
  const auto widen = [this](std::string_view text) { return platform_.files.widen(text); };
  if (!device_.key_path.append(device_name_from_file(*raw, widen))) {
    messages.emplace_back(messages::kDeviceNameTooLong);
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
  Messages messages;
  {
    const Guard guard(device_.lock);
    enable_locked(messages);
  }
  // The boxes come after the enable has finished, in the order of the steps that failed.
  show(messages);
}

void ID_TARVO_VARNEL::enable_locked(Messages& messages) {
  // Another enabled object of the process holds the port (or waits to open it again): this one
  // shares it as it stands.
  if (device_.port_users > 0) {
    ++device_.port_users;
    enabled_ = true;
    result_code_ = OPOS_SUCCESS;
    return;
  }

  // The key stays open until the port has been opened or has failed.
  const DeviceSettings settings = read_settings(messages);
  // A rate that is not a positive number cannot be set on the line: the device stays disabled,
  // and the configuration error is the result (docs/integrator.md: result codes).
  if (settings.baud_rate <= 0) {
    result_code_ = OPOS_E_NOSERVICE;
    return;
  }
  const std::optional<std::int32_t> port_number = parse_port_number(settings.port_text);
  if (!port_number) {
    result_code_ = OPOS_E_DISABLED;
    messages.push_back(u"COM" + settings.port_text + std::u16string(messages::kOpenErrorSuffix));
    return;
  }

  // A port left open by an object that went away enabled is opened afresh, with these settings.
  close_port();
  const std::u16string port_name = port_name_for(*port_number);
  if (!platform_.port.open(port_name, ParitySelector::kNone, settings.baud_rate)) {
    result_code_ = OPOS_E_DISABLED;
    messages.push_back(port_name + std::u16string(messages::kOpenErrorSuffix));
    return;
  }
  device_.port_open = true;
  device_.port_users = 1;
  device_.port_name = port_name;
  device_.baud_rate = settings.baud_rate;
  device_.line = LineCondition::kGood;
  result_code_ = OPOS_SUCCESS;
  enabled_ = true;
}

DeviceSettings ID_TARVO_VARNEL::read_settings(Messages& messages) {
  DeviceSettings settings;
  settings.key = platform_.registry.open_for_reading(device_.key_path.text());
  if (!settings.key) messages.emplace_back(messages::kRegisterOpenError);

  const auto read = [&](std::u16string_view name) -> std::optional<std::u16string> {
    return settings.key ? settings.key->read_string(name) : std::nullopt;
  };

  if (const auto baud = read(u"Baudrate")) {
    settings.baud_rate = parse_leading_int(*baud);
  } else {
    messages.emplace_back(messages::kBaudrateReadError);
  }
  if (auto port = read(u"Comport")) {
    settings.port_text = std::move(*port);
  } else {
    messages.emplace_back(messages::kComportReadError);
  }
  return settings;
}

void ID_TARVO_VARNEL::disable() {
  const Guard guard(device_.lock);
  stop_using_port();
}

void ID_TARVO_VARNEL::stop_using_port() {
  if (enabled_) {
    enabled_ = false;
    --device_.port_users;
  }
  // A port another enabled object still uses stays open.
  if (device_.port_users == 0) close_port();
}

void ID_TARVO_VARNEL::close_port() {
  if (device_.port_open) platform_.port.close();
  device_.port_open = false;
  device_.line = LineCondition::kGood;
}

std::int32_t ID_TARVO_VARNEL::ReleaseDevice() {
  if (claimed_) {
    result_code_ = OPOS_SUCCESS;
    claimed_ = false;
    const Guard guard(device_.lock);
    stop_using_port();
  }
  return OPOS_SUCCESS;
}

std::int32_t ID_TARVO_VARNEL::CloseService() {
  opened_ = false;
  claimed_ = false;
  const Guard guard(device_.lock);
  device_.key_path.reset(device_.emulation);
  stop_using_port();
  character_set_ = CharacterSet{};  // the next open starts with the default again
  return OPOS_SUCCESS;
}

// ---------------------------------------------------------------------------------------------
// Output

ID_TARVO_VARNEL::PreparedText ID_TARVO_VARNEL::prepare_text(std::u16string_view data) {
  // Every attribute shows as normal text; the bytes go out exactly as the character set in force
  // converts them, control codes included.
  PreparedText text;
  const TextBytes converted = character_set_.encode(data, text.bytes);
  text.count = converted.count;
  // The box comes before any byte of this call is sent, with this call's bytes kept apart from
  // the library's buffer: calls that run while it is up cannot change them or get between them.
  if (converted.truncated) platform_.messages.show(messages::kTooManyChars);
  return text;
}

std::int32_t ID_TARVO_VARNEL::output(std::initializer_list<std::span<const std::uint8_t>> writes) {
  OutputStatus status = OutputStatus::kNoPort;
  {
    const Guard guard(device_.lock);
    status = send_on_line(device_, platform_.port, writes);
  }
  // Output of an object that is not enabled answers success, as the device is simply not enabled
  // for it, whatever happened on a port another object holds.
  if (!enabled_ || status == OutputStatus::kNoPort) return OPOS_SUCCESS;
  result_code_ = result_code_for(status);
  return result_code_;
}

std::int32_t ID_TARVO_VARNEL::DisplayText(std::u16string_view data, std::int32_t /*attribute*/) {
  const PreparedText text = prepare_text(data);
  return output({text.span()});
}

std::int32_t ID_TARVO_VARNEL::DisplayTextAt(std::int32_t row, std::int32_t column, std::u16string_view data,
                                            std::int32_t /*attribute*/) {
  const PreparedText text = prepare_text(data);
  const DisplayCommand cursor = cursor_position_command(row, column);
  return output({cursor.span(), text.span()});
}

std::int32_t ID_TARVO_VARNEL::ClearText() {
  const DisplayCommand clear = clear_command();
  return output({clear.span()});
}

std::int32_t ID_TARVO_VARNEL::ScrollText(std::int32_t direction, std::int32_t units) {
  const DisplayCommand scroll = scroll_command(direction, units);
  return output({scroll.span()});
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
