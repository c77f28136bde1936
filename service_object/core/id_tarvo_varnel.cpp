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
    : module_(module),
      platform_(module.platform()),
      device_(module.state()),
      wow64_(platform_.process.is_wow64()) {
  module_.lock().lock();
  key_path_.reset(wow64_);
}

ID_TARVO_VARNEL::~ID_TARVO_VARNEL() {
  marquee_timer_.reset();  // the thread ends before the lock is taken: its tick takes it too
  {
    const Guard guard(device_.lock);
    if (enabled_) stop_using_port();
    events_.reset();
  }
  module_.lock().unlock();
}

void ID_TARVO_VARNEL::show(const Messages& messages) {
  for (const std::u16string& text : messages) platform_.messages.show(text);
}

// ---------------------------------------------------------------------------------------------
// Properties

void ID_TARVO_VARNEL::COFreezeEvents(bool freeze) {
  // Thawed with events waiting: they go out from the message loop, after this call.
  if (power_.freeze(freeze) && events_) events_->post();
}

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
    case PIDX_PowerNotify: return power_.notify();
    case PIDX_PowerState: return power_.state();
    default: break;
  }
  if (const auto answer = screen_property(prop_index)) return *answer;
  return device_number_property(prop_index, {opened_, character_set_});
}

std::optional<std::int32_t> ID_TARVO_VARNEL::screen_property(std::int32_t prop_index) {
  const Guard guard(device_.lock);
  switch (prop_index) {
    case PIDXDisp_CurrentWindow: return screen_.current_window();
    case PIDXDisp_Rows: return screen_.rows();
    case PIDXDisp_Columns: return screen_.columns();
    case PIDXDisp_CursorRow: return screen_.cursor_row();
    case PIDXDisp_CursorColumn: return screen_.cursor_column();
    case PIDXDisp_CursorUpdate: return screen_.cursor_update() ? 1 : 0;
    case PIDXDisp_MarqueeType: return screen_.marquee_type();
    case PIDXDisp_MarqueeFormat: return screen_.marquee_format();
    case PIDXDisp_MarqueeUnitWait: return screen_.marquee_unit_wait();
    case PIDXDisp_MarqueeRepeatWait: return screen_.marquee_repeat_wait();
    default: return std::nullopt;
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
    case PIDX_PowerNotify:
      if (opened_) result_code_ = power_.set_notify(number, enabled_);
      break;
    default: set_screen_property(prop_index, number); break;
  }
}

bool ID_TARVO_VARNEL::set_screen_property(std::int32_t prop_index, std::int32_t number) {
  std::function<std::int32_t(Transmission&)> call;
  const auto now = Clock::now();
  switch (prop_index) {
    case PIDXDisp_CurrentWindow:
      call = [&](Transmission& t) { return screen_.set_current_window(number, t); };
      break;
    case PIDXDisp_CursorRow: call = [&](Transmission& t) { return screen_.set_cursor_row(number, t); }; break;
    case PIDXDisp_CursorColumn:
      call = [&](Transmission& t) { return screen_.set_cursor_column(number, t); };
      break;
    case PIDXDisp_CursorUpdate:
      call = [&](Transmission&) {
        screen_.set_cursor_update(number != 0);
        return OPOS_SUCCESS;
      };
      break;
    case PIDXDisp_MarqueeType:
      call = [&](Transmission& t) { return screen_.set_marquee_type(number, now, t); };
      if (enabled_) {
        model_call(call);
        run_marquees();
        return true;
      }
      break;
    case PIDXDisp_MarqueeFormat:
      call = [&](Transmission&) { return screen_.set_marquee_format(number); };
      break;
    case PIDXDisp_MarqueeUnitWait:
      call = [&](Transmission&) { return screen_.set_marquee_unit_wait(number); };
      break;
    case PIDXDisp_MarqueeRepeatWait:
      call = [&](Transmission&) { return screen_.set_marquee_repeat_wait(number); };
      break;
    default: return false;
  }
  // The windows of an object that is not enabled do not change: the display is not its own.
  if (!enabled_) {
    if (opened_) result_code_ = OPOS_E_DISABLED;
    return true;
  }
  model_call(call);
  return true;
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
    case PIDX_CheckHealthText: return check_health_text_;
    default: return device_string_property(prop_index);
  }
}

void ID_TARVO_VARNEL::SetPropertyString(std::int32_t /*prop_index*/, std::u16string_view /*text*/) {}

// ---------------------------------------------------------------------------------------------
// Open, claim, enable, release, close

std::int32_t ID_TARVO_VARNEL::OpenService(std::u16string_view /*device_class*/,
                                          std::u16string_view /*device_name*/,
                                          std::shared_ptr<StatusSink> control) {
  // The device is the one the device-name file names, whatever name the application opened.
  if (opened_) {
    result_code_ = OPOS_SUCCESS;
    return OPOS_SUCCESS;
  }
  opened_ = true;
  result_code_ = OPOS_SUCCESS;
  power_.open();
  control_ = std::move(control);
  if (control_ && platform_.events != nullptr) {
    const Guard guard(device_.lock);
    events_ = platform_.events->open(*this);
  }
  Messages messages;
  read_device_name_file(messages);
  show(messages);
  return OPOS_SUCCESS;
}

void ID_TARVO_VARNEL::read_device_name_file(Messages& messages) {
  key_path_.reset(wow64_);
  const auto raw = platform_.files.read(platform_.device_name_file, kDeviceNameFileMaxBytes);
  if (!raw) {
    messages.emplace_back(messages::kFileOpenError);
    return;
  }
  const auto widen = [this](std::string_view text) { return platform_.files.widen(text); };
  if (!key_path_.append(device_name_from_file(*raw, widen))) {
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
  settings.key = platform_.registry.open_for_reading(key_path_.text());
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
  screen_.stop_marquees();
  stop_using_port();
  power_.forget_state();
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
    screen_.stop_marquees();
    stop_using_port();
    power_.forget_state();
  }
  return OPOS_SUCCESS;
}

std::int32_t ID_TARVO_VARNEL::CloseService() {
  opened_ = false;
  claimed_ = false;
  key_path_.reset(wow64_);
  {
    const Guard guard(device_.lock);
    stop_using_port();
    character_set_ = CharacterSet{};  // the next open starts with the default again
    screen_ = ScreenModel{};          // and with window 0 alone, no marquee
  }
  // The timer thread ends here, outside the lock its tick takes.
  marquee_timer_.reset();
  // No event after close: the queue goes, the window goes (with the deliveries it was asked
  // for), and the Control Object is let go (a delivery under way keeps it until it returns).
  power_.close();
  {
    const Guard guard(device_.lock);
    events_.reset();
  }
  control_.reset();
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
    if (enabled_) note_power(status, true);
  }
  // Output of an object that is not enabled answers success, as the device is simply not enabled
  // for it, whatever happened on a port another object holds.
  if (!enabled_ || status == OutputStatus::kNoPort) return OPOS_SUCCESS;
  result_code_ = result_code_for(status);
  return result_code_;
}

void ID_TARVO_VARNEL::run_marquees() {
  if (marquee_timer_) {
    marquee_timer_->wake();
    return;
  }
  if (platform_.timers == nullptr) return;
  {
    const Guard guard(device_.lock);
    if (!screen_.next_marquee_step()) return;
  }
  marquee_timer_ = platform_.timers->start([this] { return marquee_tick(); });
}

std::optional<Clock::time_point> ID_TARVO_VARNEL::marquee_tick() {
  const Guard guard(device_.lock);
  Transmission transmission(kTransmitBufferSize);
  screen_.step_marquees(Clock::now(), transmission);
  if (!transmission.empty()) {
    std::vector<std::span<const std::uint8_t>> writes;
    for (const auto& write : transmission.writes()) writes.emplace_back(write);
    const OutputStatus status = send_writes(device_, platform_.port, writes);
    if (status != OutputStatus::kSent && status != OutputStatus::kNoPort) screen_.mark_unknown();
    note_power(status, true);
  }
  return screen_.next_marquee_step();
}

std::int32_t ID_TARVO_VARNEL::model_call(const std::function<std::int32_t(Transmission&)>& call) {
  std::int32_t refused = OPOS_SUCCESS;
  OutputStatus status = OutputStatus::kSent;
  {
    const Guard guard(device_.lock);
    Transmission transmission(kTransmitBufferSize);
    refused = call(transmission);
    std::vector<std::span<const std::uint8_t>> writes;
    for (const auto& write : transmission.writes()) writes.emplace_back(write);
    status = send_writes(device_, platform_.port, writes);
    if (status != OutputStatus::kSent && status != OutputStatus::kNoPort) screen_.mark_unknown();
    note_power(status, !writes.empty());
  }
  result_code_ = refused != OPOS_SUCCESS ? refused : result_code_for(status);
  return result_code_;
}

void ID_TARVO_VARNEL::note_power(OutputStatus status, bool wrote) {
  LineSeen seen = LineSeen::kNothing;
  if (status == OutputStatus::kSent && wrote) seen = LineSeen::kWritten;
  if (status == OutputStatus::kTimedOut || status == OutputStatus::kPortLost) seen = LineSeen::kGone;
  if (power_.observe(seen) && events_) events_->post();
}

void ID_TARVO_VARNEL::deliver_events() {
  // A delivery that runs already (the Control Object pumps messages inside its event) goes on
  // with the queue in order when the nested call returns.
  if (delivering_) return;
  delivering_ = true;
  while (const std::optional<std::int32_t> event = power_.next_event()) {
    // A CloseService inside the event lets control_ go; this copy keeps it until the call ends.
    const std::shared_ptr<StatusSink> control = control_;
    if (control) control->status_update(*event);
  }
  delivering_ = false;
}

// Output of an object that is not enabled keeps the display's own bytes and leaves the model
// alone; an enabled object's output goes through its screen model.
std::int32_t ID_TARVO_VARNEL::DisplayText(std::u16string_view data, std::int32_t /*attribute*/) {
  const PreparedText text = prepare_text(data);
  if (!enabled_) return output({text.span()});
  return model_call([&](Transmission& t) { return screen_.display_text(text.span(), t); });
}

std::int32_t ID_TARVO_VARNEL::DisplayTextAt(std::int32_t row, std::int32_t column, std::u16string_view data,
                                            std::int32_t /*attribute*/) {
  const PreparedText text = prepare_text(data);
  if (!enabled_) {
    const DisplayCommand cursor = cursor_position_command(row, column);
    return output({cursor.span(), text.span()});
  }
  return model_call([&](Transmission& t) { return screen_.display_text_at(row, column, text.span(), t); });
}

std::int32_t ID_TARVO_VARNEL::ClearText() {
  if (!enabled_) {
    const DisplayCommand clear = clear_command();
    return output({clear.span()});
  }
  return model_call([&](Transmission& t) { return screen_.clear_text(t); });
}

std::int32_t ID_TARVO_VARNEL::ScrollText(std::int32_t direction, std::int32_t units) {
  if (!enabled_) {
    const DisplayCommand scroll = scroll_command(direction, units);
    return output({scroll.span()});
  }
  return model_call([&](Transmission& t) { return screen_.scroll_text(direction, units, t); });
}

// Windows and the cursor: an object that is not enabled answers success and changes nothing.

std::int32_t ID_TARVO_VARNEL::CreateWindow(std::int32_t viewport_row, std::int32_t viewport_column,
                                           std::int32_t viewport_height, std::int32_t viewport_width,
                                           std::int32_t window_height, std::int32_t window_width) {
  if (!enabled_) return OPOS_SUCCESS;
  return model_call([&](Transmission& t) {
    return screen_.create_window(viewport_row, viewport_column, viewport_height, viewport_width,
                                 window_height, window_width, t);
  });
}

std::int32_t ID_TARVO_VARNEL::DestroyWindow() {
  if (!enabled_) return OPOS_SUCCESS;
  return model_call([&](Transmission& t) { return screen_.destroy_window(t); });
}

std::int32_t ID_TARVO_VARNEL::RefreshWindow(std::int32_t window) {
  if (!enabled_) return OPOS_SUCCESS;
  return model_call([&](Transmission& t) { return screen_.refresh_window(window, t); });
}

std::int32_t ID_TARVO_VARNEL::ReadCharacterAtCursor(std::int32_t& cursor_char) {
  if (!enabled_) return OPOS_SUCCESS;
  std::optional<std::uint8_t> byte;
  {
    const Guard guard(device_.lock);
    byte = screen_.character_at_cursor();
  }
  // Past a row's end no character stands under the cursor.
  if (!byte) {
    result_code_ = OPOS_E_ILLEGAL;
    return result_code_;
  }
  cursor_char = character_set_.decode(*byte);
  result_code_ = OPOS_SUCCESS;
  return result_code_;
}

// ---------------------------------------------------------------------------------------------
// Health and DirectIO (an object that is not enabled answers success and does nothing)

namespace {

constexpr std::int32_t kHealthInternal = 1;     // OPOS_CH_INTERNAL
constexpr std::int32_t kHealthExternal = 2;     // OPOS_CH_EXTERNAL
constexpr std::int32_t kHealthInteractive = 3;  // OPOS_CH_INTERACTIVE
constexpr std::int32_t kDirectIoRawBytes = 1;
constexpr std::int32_t kDirectIoRedraw = 2;
constexpr auto kTestPatternTime = std::chrono::milliseconds(1000);

std::u16string outcome_text(std::int32_t result) {
  switch (result) {
    case OPOS_SUCCESS: return u"Successful";
    case OPOS_E_FAILURE: return u"Write failed";
    case OPOS_E_TIMEOUT: return u"Timed out";
    case OPOS_E_NOHARDWARE: return u"Port not open";
    default: return u"Not supported";
  }
}

std::vector<std::uint8_t> ascii_bytes(std::string_view text) { return {text.begin(), text.end()}; }

}  // namespace

OutputStatus ID_TARVO_VARNEL::show_test_pattern() {
  // Every cell lit, then the kit's name and version, each for a while; then the model again.
  // The lock stays held: no marquee step comes between. The waits therefore run no messages (a
  // call arriving on this thread would take the lock again): docs/integrator.md ("external
  // health check").
  const Guard guard(device_.lock);
  const auto send = [this](const Transmission& t) {
    std::vector<std::span<const std::uint8_t>> writes;
    for (const auto& write : t.writes()) writes.emplace_back(write);
    const OutputStatus status = send_writes(device_, platform_.port, writes);
    note_power(status, !writes.empty());
    return status;
  };
  const auto pause = [this] {
    if (platform_.pause) platform_.pause(kTestPatternTime);
  };
  Transmission lit(kTransmitBufferSize);
  lit.add(kClearByte);
  lit.add(std::vector<std::uint8_t>(kScreenRows * kScreenColumns - 1, '#'));
  OutputStatus status = send(lit);
  if (status == OutputStatus::kSent) {
    pause();
    const int version = opos::kServiceObjectVersion;
    const std::string second = "VARNEL " + std::to_string(version / 1000000) + "." +
                               std::to_string(version / 1000 % 1000) + "." + std::to_string(version % 1000);
    Transmission name(kTransmitBufferSize);
    name.add(kClearByte);
    name.add(ascii_bytes("Zorn Display Systems"));
    name.add(ascii_bytes(second));
    status = send(name);
    if (status == OutputStatus::kSent) pause();
  }
  screen_.mark_unknown();
  Transmission back(kTransmitBufferSize);
  screen_.redraw(back);
  const OutputStatus redrawn = send(back);
  if (redrawn != OutputStatus::kSent) screen_.mark_unknown();
  return status == OutputStatus::kSent ? redrawn : status;
}

std::int32_t ID_TARVO_VARNEL::CheckHealth(std::int32_t level) {
  if (!enabled_) return OPOS_SUCCESS;
  if (level == kHealthInternal) {
    // The model and the port, without touching the screen.
    bool port_open = false;
    {
      const Guard guard(device_.lock);
      port_open = device_.port_open && platform_.port.is_open();
    }
    result_code_ = port_open ? OPOS_SUCCESS : OPOS_E_NOHARDWARE;
    check_health_text_ = u"Internal HCheck: " + outcome_text(result_code_);
  } else if (level == kHealthExternal) {
    result_code_ = result_code_for(show_test_pattern());
    check_health_text_ = u"External HCheck: " + outcome_text(result_code_);
  } else if (level == kHealthInteractive) {
    // No one may be at the display to answer: the interactive check is not offered.
    result_code_ = OPOS_E_ILLEGAL;
    check_health_text_ = u"Interactive HCheck: Not supported";
  } else {
    result_code_ = OPOS_E_ILLEGAL;
  }
  return result_code_;
}

std::int32_t ID_TARVO_VARNEL::DirectIO(std::int32_t command, std::int32_t& /*data*/, std::u16string& text) {
  if (!enabled_) return OPOS_SUCCESS;
  if (command == kDirectIoRawBytes) {
    if (text.size() > kTransmitBufferSize) {
      result_code_ = OPOS_E_ILLEGAL;  // one write's worth at most
      return result_code_;
    }
    // The low byte of each unit, as the display takes it; the display may no longer show the
    // model, so the next call draws it afresh.
    std::vector<std::uint8_t> raw;
    for (const char16_t unit : text) raw.push_back(static_cast<std::uint8_t>(unit & 0xFFu));
    return model_call([&](Transmission& t) {
      t.add(raw);
      screen_.mark_unknown();
      return OPOS_SUCCESS;
    });
  }
  if (command == kDirectIoRedraw) {
    return model_call([&](Transmission& t) {
      screen_.redraw(t);
      return OPOS_SUCCESS;
    });
  }
  result_code_ = OPOS_E_ILLEGAL;
  return result_code_;
}

// ---------------------------------------------------------------------------------------------
// Methods the display does not support: they change nothing and answer success.

std::int32_t ID_TARVO_VARNEL::ClearDescriptors() { return OPOS_SUCCESS; }
std::int32_t ID_TARVO_VARNEL::SetDescriptor(std::int32_t, std::int32_t) { return OPOS_SUCCESS; }
std::int32_t ID_TARVO_VARNEL::DefineGlyph(std::int32_t, std::u16string_view) { return OPOS_SUCCESS; }
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
