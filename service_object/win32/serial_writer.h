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

}  // namespace win32

class Win32SerialWriter final : public SerialPort {
 public:
  Win32SerialWriter() = default;
  ~Win32SerialWriter() override { close(); }

  Win32SerialWriter(const Win32SerialWriter&) = delete;
  Win32SerialWriter& operator=(const Win32SerialWriter&) = delete;

  // Opens `port_name` (plain "COM12"; the \\.\ prefix is added for CreateFileW only). Only the
  // CreateFileW result decides success; the settings steps after it are best effort, as a port
  // that refuses one is still usable with what it kept. Called while a port is held, it closes
  // that port first, so the new open starts from a released port.
  bool open(std::u16string_view port_name, ParitySelector parity, std::int32_t baud_rate) override;

  // Copies `bytes` into the writer's own buffer (an abandoned write may still read it after
  // write() has returned) and waits for the write: at most the write time-out of 1000 ms plus
  // 10 ms per byte, plus kWaitMarginMs, plus kCancelWaitMs if the write has to be cancelled.
  bool write(std::span<const std::uint8_t> bytes) override;

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
  void configure_port();
  bool wait_for_pending_write(DWORD byte_count);
  void cancel_pending_write();

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
