#pragma once
// ID_TARVO_VARNEL: the OPOS LineDisplay service object for the serial pole display.
//
// The OPOS Control Object creates one when an application opens the device and forwards the
// application's calls to the methods below by name. The object is write-only towards the
// display: it never reads from the port. Its only events are power reports (power_reports.h),
// delivered to the Control Object on the apartment thread (event_delivery.h). Problems with the configuration
// or the port are shown to the user in message boxes; the methods return OPOS result codes and
// keep the last one for PIDX_ResultCode.
//
// State: Closed -> OpenService -> Opened -> ClaimDevice -> Claimed -> enable (PIDX_DeviceEnabled
// set to a positive number, port opens) -> Enabled. Disabling goes back to Claimed,
// ReleaseDevice to Opened, CloseService to Closed from anywhere.
//
// Message boxes run a modal loop in which the application's timers and incoming calls run, on
// this object or another: a box is shown only where the call that shows it has finished with
// the shared device state (before an output call makes its bytes, after an enable has opened
// the port or failed), never while the library's lock is held.
//
// Automation types map as: long -> std::int32_t, BOOL -> bool, BSTR -> std::u16string(_view),
// by-reference parameters -> references.
//
// <windows.h> defines OpenService and CreateWindow as macros: Windows code that calls these
// methods includes service_object/win32/opos_names.h first, in place of <windows.h>.

#include <array>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "service_object/core/character_set.h"
#include "service_object/core/event_delivery.h"
#include "service_object/core/key_path.h"
#include "service_object/core/line_output.h"
#include "service_object/core/marquee_timer.h"
#include "service_object/core/messages.h"
#include "service_object/core/opos.h"
#include "service_object/core/power_reports.h"
#include "service_object/core/screen_model.h"
#include "service_object/core/service_module.h"

namespace varnel {

class ID_TARVO_VARNEL : public EventReceiver {
 public:
  // Takes a lock on the library for the object's lifetime and probes whether the process runs
  // under WOW64 (which chooses the registry base path of the object's key).
  explicit ID_TARVO_VARNEL(ServiceModule& module);
  // An object the application releases while enabled gives back its share of the port, which
  // closes when no other enabled object uses it (docs/integrator.md: result codes).
  ~ID_TARVO_VARNEL() override;
  ID_TARVO_VARNEL(const ID_TARVO_VARNEL&) = delete;
  ID_TARVO_VARNEL& operator=(const ID_TARVO_VARNEL&) = delete;

  // --- Dispatch methods, DISPIDs 1 to 29 in this order ---
  void COFreezeEvents(bool freeze);
  std::int32_t GetPropertyNumber(std::int32_t prop_index);
  void SetPropertyNumber(std::int32_t prop_index, std::int32_t number);
  std::u16string GetPropertyString(std::int32_t prop_index);
  void SetPropertyString(std::int32_t prop_index, std::u16string_view text);
  // `control` is the Control Object's event method (from the dispatch interface OpenService
  // receives), kept until CloseService; without it no events are delivered.
  std::int32_t OpenService(std::u16string_view device_class, std::u16string_view device_name,
                           std::shared_ptr<StatusSink> control = nullptr);
  std::int32_t CheckHealth(std::int32_t level);
  std::int32_t ClaimDevice(std::int32_t timeout);
  std::int32_t CloseService();
  std::int32_t DirectIO(std::int32_t command, std::int32_t& data, std::u16string& text);
  std::int32_t ReleaseDevice();
  std::int32_t ClearDescriptors();
  std::int32_t ClearText();
  std::int32_t CreateWindow(std::int32_t viewport_row, std::int32_t viewport_column,
                            std::int32_t viewport_height, std::int32_t viewport_width,
                            std::int32_t window_height, std::int32_t window_width);
  std::int32_t DestroyWindow();
  std::int32_t DisplayText(std::u16string_view data, std::int32_t attribute);
  std::int32_t DisplayTextAt(std::int32_t row, std::int32_t column, std::u16string_view data,
                             std::int32_t attribute);
  std::int32_t RefreshWindow(std::int32_t window);
  std::int32_t ScrollText(std::int32_t direction, std::int32_t units);
  std::int32_t SetDescriptor(std::int32_t descriptor, std::int32_t attribute);
  std::int32_t DefineGlyph(std::int32_t glyph_code, std::u16string_view glyph);
  std::int32_t ReadCharacterAtCursor(std::int32_t& cursor_char);
  std::int32_t DisplayBitmap(std::u16string_view file_name, std::int32_t width, std::int32_t alignment_x,
                             std::int32_t alignment_y);
  std::int32_t SetBitmap(std::int32_t bitmap_number, std::u16string_view file_name, std::int32_t width,
                         std::int32_t alignment_x, std::int32_t alignment_y);
  std::int32_t ResetStatistics(std::u16string_view statistics_buffer);
  std::int32_t RetrieveStatistics(std::u16string& statistics_buffer);
  std::int32_t UpdateStatistics(std::u16string_view statistics_buffer);
  std::int32_t CompareFirmwareVersion(std::u16string_view firmware_file_name, std::int32_t& result);
  std::int32_t UpdateFirmware(std::u16string_view firmware_file_name);

  // --- Dispatch properties, after the methods ---
  // Reading a property runs its change routine, which stores the answer into the property.
  std::int32_t ServiceObjectVersion();
  std::u16string DeviceName();
  std::u16string DeviceDescription();
  std::u16string DeviceControlDescription();
  bool OnbDeviceEnable() const { return enabled_; }

  // The queued events, to the Control Object, unless frozen or closed. Apartment thread only:
  // the platform's poster runs it there.
  void deliver_events() override;

  // For the packaging and tests: the object's flags as the state table names them.
  [[nodiscard]] bool opened() const { return opened_; }
  [[nodiscard]] bool claimed() const { return claimed_; }
  [[nodiscard]] bool enabled() const { return enabled_; }
  [[nodiscard]] std::int32_t result_code() const { return result_code_; }
  // The registry path of this object's device key: the base path, plus the device name once
  // OpenService has read it.
  [[nodiscard]] const std::u16string& key_path() const { return key_path_.text(); }

  static constexpr std::u16string_view kDeviceNameText = u"ORM-PDX-QA404K LineDisplay";
  static constexpr std::u16string_view kDeviceDescriptionText =
      u"ORM-PDX-QA404K LineDisplay, Worldwide Version";
  static constexpr std::u16string_view kServiceObjectDescriptionText =
      u"LineDisplay OPOS Driver 2026, Zorn Display Systems";

 private:
  using Messages = std::vector<std::u16string>;

  // The bytes of one text argument, made before any of them is sent.
  struct PreparedText {
    std::array<std::uint8_t, kTransmitBufferSize> bytes{};
    std::size_t count = 0;
    [[nodiscard]] std::span<const std::uint8_t> span() const { return {bytes.data(), count}; }
  };

  // Converts `data` for the display and shows the over-64 message when it is cut.
  PreparedText prepare_text(std::u16string_view data);
  // Sends one output call's writes in order (no other call's bytes come between them) and
  // answers the call's result code: for an enabled object the outcome, recorded as the result
  // code; otherwise 0 and the result code untouched.
  std::int32_t output(std::initializer_list<std::span<const std::uint8_t>> writes);

  // Reads the device-name file into the key path; leaves its messages in `messages`.
  void read_device_name_file(Messages& messages);
  // These run with the device lock held and leave their messages in `messages`.
  void enable_locked(Messages& messages);
  DeviceSettings read_settings(Messages& messages);
  // Disable, release, close and destruction: this object stops using the port, which closes
  // when no enabled object uses it any more. Lock held.
  void stop_using_port();
  void close_port();

  // Runs one call on the screen model with the device lock held and sends the bytes it made.
  // Answers the model's refusal (106) or the outcome of the writes, recorded as the result code.
  // A write that did not go through leaves the display unknown: the next call redraws it.
  std::int32_t model_call(const std::function<std::int32_t(Transmission&)>& call);
  // The window and marquee properties of the current window, or nothing for another index.
  std::optional<std::int32_t> screen_property(std::int32_t prop_index);
  // Sets one of them; answers false for another index.
  bool set_screen_property(std::int32_t prop_index, std::int32_t number);
  // Reports what a write of the enabled device found to the power reports, and asks for a
  // delivery when an event is due. Lock held.
  void note_power(OutputStatus status, bool wrote);
  // The external health check's pattern and redraw; answers the outcome of its writes.
  OutputStatus show_test_pattern();

  // Starts the timer thread when a marquee is due and tells it the time may have changed.
  void run_marquees();
  // One turn of the timer thread: the marquee steps that are due, under the device lock.
  std::optional<Clock::time_point> marquee_tick();

  void enable();
  void disable();
  void select_character_set(std::int32_t number);
  void show(const Messages& messages);

  ServiceModule& module_;
  ServicePlatform& platform_;
  DeviceState& device_;
  const bool wow64_;  // 32-bit process on 64-bit Windows: chooses the key's base path
  KeyPath key_path_;

  bool opened_ = false;
  std::int32_t result_code_ = opos::OPOS_SUCCESS;
  bool claimed_ = false;
  std::int32_t service_object_version_ = 0;
  std::u16string device_name_;
  std::u16string device_description_;
  std::u16string device_control_description_;
  bool enabled_ = false;
  CharacterSet character_set_;  // how DisplayText's text becomes bytes (default: low bytes)
  // What the display shows and what this object's windows hold; changed only while enabled,
  // with the device lock held.
  ScreenModel screen_;
  std::u16string check_health_text_;  // what the last CheckHealth did and how it ended
  PowerReports power_;
  std::shared_ptr<StatusSink> control_;  // the Control Object, from OpenService to CloseService
  // Made and let go on the apartment thread with the device lock held; the timer thread posts
  // through it with the lock held.
  std::unique_ptr<EventPoster> events_;
  bool delivering_ = false;  // deliver_events runs (a nested message loop may call it again)
  // Last, so that it stops (and no tick runs) before anything it uses goes away.
  std::unique_ptr<MarqueeTimer> marquee_timer_;
};

}  // namespace varnel
