#include "service_object/win32/serial_writer.h"

#include <algorithm>
#include <new>

#include "service_object/win32/serial_device_path.h"
#include "shared/serial_write_limit.h"
#include "shared/win32/serial_port.h"
#include "shared/win32/utf16.h"

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

bool win32::speed_applied(DWORD requested, DWORD reported) {
  // A UART copes with a few per cent of difference between the two ends; a driver may report
  // the rate its divisor really gives.
  const ULONGLONG difference = requested > reported ? requested - reported : reported - requested;
  return difference * 100 <= ULONGLONG{requested} * 3;
}

WriteResult win32::classify_write_error(DWORD error) {
  // Our own cancel is reported as a time-out before anything looks at its error, so an aborted
  // request here is one the driver aborted as its device went.
  if (kit::win32::is_port_gone_error(error)) return WriteResult::kPortLost;
  switch (error) {
    case ERROR_SEM_TIMEOUT:
    case ERROR_TIMEOUT:
    case WAIT_TIMEOUT: return WriteResult::kTimedOut;
    default: return WriteResult::kFailed;
  }
}

namespace {

constexpr DWORD kQueueBytes = 1024;

// The write time-outs bound every write by the kit's write time limit (kit::serial_write_limit).
// The read time-outs are set too, as the port's settings, although this port is never read.
constexpr COMMTIMEOUTS kTimeouts = {
    .ReadIntervalTimeout = 10,
    .ReadTotalTimeoutMultiplier = 10,
    .ReadTotalTimeoutConstant = 1000,
    .WriteTotalTimeoutMultiplier = kit::kWriteLimitPerByteMs,
    .WriteTotalTimeoutConstant = kit::kWriteLimitBaseMs,
};

// How long write() waits for a pending write of `byte_count` bytes before cancelling it. Never
// INFINITE, however large the count.
DWORD pending_write_bound_ms(DWORD byte_count, std::optional<std::chrono::milliseconds> limit) {
  ULONGLONG bound = ULONGLONG{kit::win32::write_limit_ms(byte_count)} + Win32SerialWriter::kWaitMarginMs;
  if (limit)
    bound = std::min<ULONGLONG>(bound, static_cast<ULONGLONG>(std::max<long long>(limit->count(), 0)));
  return static_cast<DWORD>(std::min<ULONGLONG>(bound, INFINITE - 1));
}

}  // namespace

bool Win32SerialWriter::open(std::u16string_view port_name, ParitySelector parity, std::int32_t baud_rate) {
  close();
  port_name_.assign(port_name);
  parity_ = parity;
  baud_rate_ = baud_rate;
  if (kit::win32::has_embedded_nul(port_name)) return false;

  const std::wstring device_path = win32::serial_device_path(port_name);
  // CreateFileW: INVALID_HANDLE_VALUE on failure. Share mode 0: nobody else may hold the port.
  port_.reset(CreateFileW(device_path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                          FILE_FLAG_OVERLAPPED | FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!port_) return false;

  // CreateEventW: null on failure. Auto-reset, not signalled; write() puts it into a zeroed
  // record for every write, and cannot write without it.
  write_event_.reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
  if (!write_event_ || !configure_port()) {
    close();
    return false;
  }
  return true;
}

// Each call answers zero on failure. The queue sizes and the purge are requests the driver may
// decline; the time-outs (which bound every write) and the line settings are not.
bool Win32SerialWriter::configure_port() {
  const HANDLE port = port_.get();
  // GetCommState: fails for anything that is not a serial port (a file, a pipe, a console), and
  // for a port name Wine still maps to a device that has gone.
  DCB dcb{};
  dcb.DCBlength = sizeof(DCB);
  if (!GetCommState(port, &dcb)) return false;

  SetupComm(port, kQueueBytes, kQueueBytes);

  COMMTIMEOUTS timeouts{};
  GetCommTimeouts(port, &timeouts);
  timeouts = kTimeouts;
  if (!SetCommTimeouts(port, &timeouts)) return false;

  // Only the framing and the speed change: flow control and the rest are inherited from the
  // port's current settings. A speed the port refuses, or takes but does not apply (read back
  // as another), fails the open rather than leaving the line at another speed than the
  // display's.
  dcb.DCBlength = sizeof(DCB);
  dcb.BaudRate = static_cast<DWORD>(baud_rate_);
  dcb.ByteSize = 8;
  dcb.Parity = win32::dcb_parity(parity_);
  dcb.StopBits = ONESTOPBIT;
  if (!SetCommState(port, &dcb)) return false;
  DCB applied{};
  applied.DCBlength = sizeof(DCB);
  if (!GetCommState(port, &applied) || !win32::speed_applied(dcb.BaudRate, applied.BaudRate)) return false;

  PurgeComm(port, PURGE_TXCLEAR | PURGE_RXCLEAR);
  return true;
}

bool Win32SerialWriter::write(std::span<const std::uint8_t> bytes) {
  return write_within(bytes, std::nullopt) == WriteResult::kWritten;
}

WriteResult Win32SerialWriter::write_within(std::span<const std::uint8_t> bytes,
                                            std::optional<std::chrono::milliseconds> limit) {
  if (!port_ || !write_event_ || bytes.empty()) return WriteResult::kFailed;
  // A write cancelled earlier that had not let go of the record yet: still under way, the line
  // still does not move.
  if (write_abandoned_ && !abandoned_write_has_ended()) return WriteResult::kTimedOut;
  if constexpr (sizeof(std::size_t) > sizeof(DWORD)) {
    if (bytes.size() > MAXDWORD) return WriteResult::kFailed;
  }
  const auto byte_count = static_cast<DWORD>(bytes.size());
  try {
    write_buffer_.assign(bytes.begin(), bytes.end());
  } catch (const std::bad_alloc&) {
    return WriteResult::kFailed;
  }

  // A pending line error (framing, overrun) holds up writes until it is cleared. The error
  // mask and status are of no use here, but a port that cannot even answer this is gone.
  DWORD line_errors = 0;
  COMSTAT status{};
  if (!ClearCommError(port_.get(), &line_errors, &status) &&
      win32::classify_write_error(GetLastError()) == WriteResult::kPortLost) {
    return WriteResult::kPortLost;
  }

  write_overlapped_ = OVERLAPPED{};
  write_overlapped_.hEvent = write_event_.get();
  // WriteFile: nonzero when the write completed at once; zero with ERROR_IO_PENDING when it is
  // under way, zero with another error when it failed. With an overlapped record the count
  // out-parameter is not reliable, so none is passed: the record tells it.
  if (WriteFile(port_.get(), write_buffer_.data(), byte_count, nullptr, &write_overlapped_)) {
    DWORD transferred = 0;
    if (!GetOverlappedResult(port_.get(), &write_overlapped_, &transferred, FALSE)) {
      return win32::classify_write_error(GetLastError());
    }
    return transferred == byte_count ? WriteResult::kWritten : WriteResult::kTimedOut;
  }
  const DWORD error = GetLastError();
  if (error != ERROR_IO_PENDING) return win32::classify_write_error(error);
  return wait_for_pending_write(byte_count, pending_write_bound_ms(byte_count, limit));
}

WriteResult Win32SerialWriter::wait_for_pending_write(DWORD byte_count, DWORD bound_ms) {
  const ULONGLONG deadline = GetTickCount64() + bound_ms;
  for (;;) {
    const ULONGLONG now = GetTickCount64();
    const DWORD remaining = now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
    // WaitForSingleObject: WAIT_OBJECT_0 when signalled, WAIT_TIMEOUT, or WAIT_FAILED.
    const DWORD waited = WaitForSingleObject(write_event_.get(), remaining);
    if (waited != WAIT_OBJECT_0) break;

    // GetOverlappedResult without waiting: nonzero when the write ended well; zero with
    // ERROR_IO_INCOMPLETE while it runs, zero with another error when it ended badly (time-out,
    // device gone). A write the port's time-out cut short ends well but short.
    DWORD transferred = 0;
    if (GetOverlappedResult(port_.get(), &write_overlapped_, &transferred, FALSE)) {
      return transferred == byte_count ? WriteResult::kWritten : WriteResult::kTimedOut;
    }
    const DWORD error = GetLastError();
    if (error != ERROR_IO_INCOMPLETE) return win32::classify_write_error(error);
  }
  cancel_pending_write();
  return WriteResult::kTimedOut;
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

bool Win32SerialWriter::abandoned_write_has_ended() {
  DWORD transferred = 0;
  if (!GetOverlappedResult(port_.get(), &write_overlapped_, &transferred, FALSE) &&
      GetLastError() == ERROR_IO_INCOMPLETE) {
    return false;
  }
  write_abandoned_ = false;
  return true;
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
