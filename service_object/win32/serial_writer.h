#pragma once
// The service object's serial port on Windows: opened with fixed line settings and time-outs,
// written with overlapped writes that are waited for before write() returns, never read.

#include <windows.h>

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "service_object/core/serial_port.h"
#include "shared/win32/unique_handle.h"

namespace varnel {
namespace win32 {

// The DCB parity code for a selector: 1 even, 2 odd, 3 mark, 4 space, any other value none.
// The selector's numbers are not the DCB's own (EVENPARITY is 2, ODDPARITY 1).
BYTE dcb_parity(ParitySelector selector);

// Whether a port that reports `reported` bits per second after being set to `requested` runs
// at the requested speed: within 3 per cent of it.
bool speed_applied(DWORD requested, DWORD reported);

// What a failed write's error code says: kPortLost for the errors Windows gives for a device
// that is gone (a USB adapter unplugged: the driver answers "bad command", "not ready",
// "device removed", "general failure" and the like), kTimedOut for a time-out, kFailed for
// anything else.
WriteResult classify_write_error(DWORD error);

}  // namespace win32

class Win32SerialWriter final : public SerialPort {
 public:
  Win32SerialWriter() = default;
  ~Win32SerialWriter() override { close(); }

  Win32SerialWriter(const Win32SerialWriter&) = delete;
  Win32SerialWriter& operator=(const Win32SerialWriter&) = delete;

  // Opens `port_name` (plain "COM12"; the \\.\ prefix is added for CreateFileW only). What
  // opens must be a serial port that takes the write time-outs and the line settings
  // (GetCommState, SetCommTimeouts, SetCommState, and the speed read back): a file, a pipe, or
  // a port that refuses the speed or keeps another is closed again and the open fails. The queue sizes and
  // the purge are best effort. Called while a port is held, it closes that port first, so the new open starts
  // from a released port.
  bool open(std::u16string_view port_name, ParitySelector parity, std::int32_t baud_rate) override;

  bool write(std::span<const std::uint8_t> bytes) override;

  // Copies `bytes` into the writer's own buffer (an abandoned write may still read it after the
  // call has returned) and waits for the write: at most the write time-out of 1000 ms plus 10 ms
  // per byte, plus kWaitMarginMs, or `limit` when that is shorter; plus kCancelWaitMs if the
  // write has to be cancelled. A write that completes at once is checked for its count too.
  WriteResult write_within(std::span<const std::uint8_t> bytes,
                           std::optional<std::chrono::milliseconds> limit) override;

  void close() override;
  bool is_open() const override { return port_.is_valid(); }

  // The port record: what the last open() was given, kept after close().
  const std::u16string& port_name() const { return port_name_; }
  ParitySelector parity() const { return parity_; }
  std::int32_t baud_rate() const { return baud_rate_; }

  // The open port's handle, or INVALID_HANDLE_VALUE. For tests that inspect the line settings
  // (GetCommState); the writer keeps ownership.
  HANDLE native_handle() const { return port_.get(); }

  // Time allowed beyond the port's own write time-out before a write is cancelled. The driver
  // should end the write itself at its time-out; this only bounds a driver that does not.
  static constexpr DWORD kWaitMarginMs = 500;
  // Time allowed for a cancelled write to report its end.
  static constexpr DWORD kCancelWaitMs = 1000;

 private:
  bool configure_port();
  WriteResult wait_for_pending_write(DWORD byte_count, DWORD bound_ms);
  void cancel_pending_write();
  bool abandoned_write_has_ended();

  std::u16string port_name_;
  ParitySelector parity_ = ParitySelector::kNone;
  std::int32_t baud_rate_ = 0;

  kit::win32::UniqueFileHandle port_;
  kit::win32::UniqueEvent write_event_;
  OVERLAPPED write_overlapped_{};
  std::vector<std::uint8_t> write_buffer_;
  // A cancelled write that did not report its end still owns write_overlapped_ and
  // write_buffer_: no new write may start on them until the port is closed.
  bool write_abandoned_ = false;
};

}  // namespace varnel
