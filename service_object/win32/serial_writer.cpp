#include "service_object/win32/serial_writer.h"

#include <algorithm>
#include <new>

#include "service_object/win32/serial_device_path.h"
#include "service_object/win32/utf16.h"

namespace varnel {

BYTE win32::dcb_parity(ParitySelector selector) {
  switch (selector) {
    case ParitySelector::kEven: return EVENPARITY;
    case ParitySelector::kOdd: return ODDPARITY;
    case ParitySelector::kMark: return MARKPARITY;
    case ParitySelector::kSpace: return SPACEPARITY;
    default: return NOPARITY;
  }
}

namespace {

constexpr DWORD kQueueBytes = 1024;

// The write time-outs bound every write: 1000 ms plus 10 ms per byte. The read time-outs are
// set too, as the port's settings, although this port is never read.
constexpr COMMTIMEOUTS kTimeouts = {
    .ReadIntervalTimeout = 10,
    .ReadTotalTimeoutMultiplier = 10,
    .ReadTotalTimeoutConstant = 1000,
    .WriteTotalTimeoutMultiplier = 10,
    .WriteTotalTimeoutConstant = 1000,
};

// How long write() waits for a pending write of `byte_count` bytes before cancelling it. Never
// INFINITE, however large the count.
DWORD pending_write_bound_ms(DWORD byte_count) {
  const ULONGLONG bound = ULONGLONG{kTimeouts.WriteTotalTimeoutConstant} +
                          ULONGLONG{kTimeouts.WriteTotalTimeoutMultiplier} * byte_count +
                          Win32SerialWriter::kWaitMarginMs;
  return static_cast<DWORD>(std::min<ULONGLONG>(bound, INFINITE - 1));
}

}  // namespace

bool Win32SerialWriter::open(std::u16string_view port_name, ParitySelector parity, std::int32_t baud_rate) {
  close();
  port_name_.assign(port_name);
  parity_ = parity;
  baud_rate_ = baud_rate;
  if (win32::has_embedded_nul(port_name)) return false;

  const std::wstring device_path = win32::serial_device_path(port_name);
  // CreateFileW: INVALID_HANDLE_VALUE on failure. Share mode 0: nobody else may hold the port.
  port_.reset(CreateFileW(device_path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                          FILE_FLAG_OVERLAPPED | FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!port_) return false;

  configure_port();
  // CreateEventW: null on failure. Auto-reset, not signalled; write() puts it into a zeroed
  // record for every write, and answers false without it.
  write_event_.reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
  return true;
}

// Each call answers zero on failure; the failures are deliberately ignored (see open()).
void Win32SerialWriter::configure_port() {
  const HANDLE port = port_.get();
  SetupComm(port, kQueueBytes, kQueueBytes);

  COMMTIMEOUTS timeouts{};
  GetCommTimeouts(port, &timeouts);
  timeouts = kTimeouts;
  SetCommTimeouts(port, &timeouts);

  // Only the framing and the speed change: flow control and the rest are inherited from the
  // port's current settings.
  DCB dcb{};
  dcb.DCBlength = sizeof(DCB);
  GetCommState(port, &dcb);
  dcb.DCBlength = sizeof(DCB);
  dcb.BaudRate = static_cast<DWORD>(baud_rate_);
  dcb.ByteSize = 8;
  dcb.Parity = win32::dcb_parity(parity_);
  dcb.StopBits = ONESTOPBIT;
  SetCommState(port, &dcb);

  PurgeComm(port, PURGE_TXCLEAR | PURGE_RXCLEAR);
}

bool Win32SerialWriter::write(std::span<const std::uint8_t> bytes) {
  if (!port_ || !write_event_ || write_abandoned_ || bytes.empty()) return false;
  if constexpr (sizeof(std::size_t) > sizeof(DWORD)) {
    if (bytes.size() > MAXDWORD) return false;
  }
  const auto byte_count = static_cast<DWORD>(bytes.size());
  try {
    write_buffer_.assign(bytes.begin(), bytes.end());
  } catch (const std::bad_alloc&) {
    return false;
  }

  // A pending line error (framing, overrun) holds up writes until it is cleared. The error
  // mask and status are of no use here.
  DWORD line_errors = 0;
  COMSTAT status{};
  ClearCommError(port_.get(), &line_errors, &status);

  write_overlapped_ = OVERLAPPED{};
  write_overlapped_.hEvent = write_event_.get();
  // WriteFile: nonzero when the write completed at once; zero with ERROR_IO_PENDING when it is
  // under way, zero with another error when it failed. With an overlapped record the count
  // out-parameter is not reliable, so none is passed.
  if (WriteFile(port_.get(), write_buffer_.data(), byte_count, nullptr, &write_overlapped_)) return true;
  if (GetLastError() != ERROR_IO_PENDING) return false;
  return wait_for_pending_write(byte_count);
}

bool Win32SerialWriter::wait_for_pending_write(DWORD byte_count) {
  const ULONGLONG deadline = GetTickCount64() + pending_write_bound_ms(byte_count);
  for (;;) {
    const ULONGLONG now = GetTickCount64();
    const DWORD remaining = now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
    // WaitForSingleObject: WAIT_OBJECT_0 when signalled, WAIT_TIMEOUT, or WAIT_FAILED.
    const DWORD waited = WaitForSingleObject(write_event_.get(), remaining);
    if (waited != WAIT_OBJECT_0) break;

    // GetOverlappedResult without waiting: nonzero when the write ended well; zero with
    // ERROR_IO_INCOMPLETE while it runs, zero with another error when it ended badly (time-out,
    // device gone). Only a complete write answers true.
    DWORD transferred = 0;
    if (GetOverlappedResult(port_.get(), &write_overlapped_, &transferred, FALSE)) {
      return transferred == byte_count;
    }
    if (GetLastError() != ERROR_IO_INCOMPLETE) return false;
  }
  cancel_pending_write();
  return false;
}

void Win32SerialWriter::cancel_pending_write() {
  // CancelIo: nonzero when cancellation was requested. The write ends soon after, and only then
  // may its record and buffer be reused.
  CancelIo(port_.get());
  WaitForSingleObject(write_event_.get(), kCancelWaitMs);
  DWORD transferred = 0;
  if (!GetOverlappedResult(port_.get(), &write_overlapped_, &transferred, FALSE) &&
      GetLastError() == ERROR_IO_INCOMPLETE) {
    write_abandoned_ = true;
  }
}

void Win32SerialWriter::close() {
  if (port_ && write_abandoned_) {
    // Closing the handle ends every write on it; give the abandoned one time to let go of the
    // record before its event goes.
    port_.reset();
    WaitForSingleObject(write_event_.get(), kCancelWaitMs);
  }
  port_.reset();
  write_event_.reset();
  write_overlapped_ = OVERLAPPED{};
  write_abandoned_ = false;
}

}  // namespace varnel
