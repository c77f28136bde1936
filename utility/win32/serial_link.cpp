#include "utility/win32/serial_link.h"

#include <algorithm>
#include <new>

#include "shared/win32/serial_port.h"

namespace utility {

namespace {

// PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR: both directions, both the
// pending operations and the driver's queues.
constexpr DWORD kPurgeEverything = PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR;
// The receive side only: its pending read and the driver's input queue.
constexpr DWORD kPurgeReceive = PURGE_RXABORT | PURGE_RXCLEAR;

// A read returns at once with whatever the driver holds; writes get no driver time limit (the
// link bounds them itself, see WriteBytes).
constexpr COMMTIMEOUTS kTimeouts = {
    .ReadIntervalTimeout = MAXDWORD,
    .ReadTotalTimeoutMultiplier = 0,
    .ReadTotalTimeoutConstant = 0,
    .WriteTotalTimeoutMultiplier = 0,
    .WriteTotalTimeoutConstant = 0,
};

// Whether the driver's output queue still holds bytes (ClearCommError's cbOutQue); a driver that
// does not answer counts as holding some.
bool UnsentBytesRemain(HANDLE port) {
  DWORD errors = 0;
  COMSTAT status{};
  // ClearCommError: nonzero on success.
  return !ClearCommError(port, &errors, &status) || status.cbOutQue != 0;
}

}  // namespace

// ClearCommError: nonzero on success; nothing to do about a failure here, and the error itself is
// not reported.
void CSerialLink::ClearLineErrors(HANDLE port) {
  DWORD errors = 0;
  COMSTAT status{};
  ClearCommError(port, &errors, &status);
}

void CSerialLink::ShowMessageBox(const std::string& text) {
  MessageBoxA(nullptr, text.c_str(), kMessageCaption, MB_OK);
}

CSerialLink::CSerialLink(ShowMessageFunction showMessage)
    : m_ShowMessage(showMessage != nullptr ? showMessage : &CSerialLink::ShowMessageBox) {}

CSerialLink::~CSerialLink() { CloseLink(); }

std::string CSerialLink::DevicePath(const std::string& deviceName) {
  return kit::win32::serial_device_path(deviceName);
}

DWORD CSerialLink::WatchThreadId() const {
  // GetThreadId: 0 on failure.
  return m_hWatchThread ? GetThreadId(m_hWatchThread.get()) : 0;
}

void CSerialLink::AttachNotifications() { m_hNotifyWnd.store(m_hDialogWnd, std::memory_order_release); }

bool CSerialLink::ApplyPendingClear() {
  if (!m_ClearRequested.exchange(false, std::memory_order_acq_rel)) return false;
  m_QueueRead.Clear();
  return true;
}

bool CSerialLink::TakeLineLost() { return m_LineLost.exchange(false, std::memory_order_acq_rel); }

bool CSerialLink::WaitUntilSent(std::uint32_t limitMs) {
  if (!m_hPort) return true;
  const ULONGLONG deadline = GetTickCount64() + limitMs;
  for (;;) {
    DWORD errors = 0;
    COMSTAT status{};
    // ClearCommError: nonzero on success; cbOutQue is what the driver has not sent yet.
    if (!ClearCommError(m_hPort.get(), &errors, &status)) return false;
    if (status.cbOutQue == 0) break;
    if (GetTickCount64() >= deadline) return false;
    Sleep(kDrainPollMs);
  }
  // The queue does not count what the UART's transmit FIFO still holds: 10 bits a byte.
  if (m_BaudRate > 0) {
    const ULONGLONG fifoMs = (kUartFifoBytes * 10ULL * 1000ULL + static_cast<ULONGLONG>(m_BaudRate) - 1) /
                             static_cast<ULONGLONG>(m_BaudRate);
    const ULONGLONG now = GetTickCount64();
    if (now < deadline) Sleep(static_cast<DWORD>(std::min(fifoMs, deadline - now)));
  }
  return true;
}

bool CSerialLink::OpenLink(const std::string& deviceName, std::int32_t baudRate, std::uint16_t portNumber) {
  CloseLink();
  m_bConnected.store(false, std::memory_order_release);
  m_PortNumber = portNumber;
  m_PortName = deviceName;
  m_BaudRate = baudRate;
  m_LineLost.store(false, std::memory_order_relaxed);
  m_ReadOverlapped = OVERLAPPED{};
  m_WriteOverlapped = OVERLAPPED{};
  // A name with an embedded NUL would open whatever its first part names.
  if (deviceName.find('\0') != std::string::npos) return false;

  // CreateEventA: null on failure. Manual reset, not signalled, unnamed.
  for (kit::win32::UniqueKernelHandle* event : {&m_ReadEvent, &m_WriteEvent, &m_WaitEvent, &m_StopEvent}) {
    event->reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    if (!*event) {
      CloseLink();
      return false;
    }
  }

  const std::string path = DevicePath(deviceName);
  // CreateFileA: INVALID_HANDLE_VALUE on failure. Share mode 0: nobody else may hold the port.
  m_hPort.reset(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED, nullptr));
  if (!m_hPort || !ConfigurePort(baudRate)) {
    CloseLink();
    return false;
  }

  m_WatchState.store(WatchState::kServing, std::memory_order_relaxed);
  m_bConnected.store(true, std::memory_order_release);
  // CreateThread: null on failure. Default stack, running at once; the identifier is not kept.
  m_hWatchThread.reset(CreateThread(nullptr, 0, &CSerialLink::WatchThreadEntry, this, 0, nullptr));
  if (!m_hWatchThread) {
    CloseLink();
    return false;
  }
  return true;
}

bool CSerialLink::ConfigurePort(std::int32_t baudRate) {
  if (baudRate <= 0) return false;
  const HANDLE port = m_hPort.get();
  // SetCommMask, SetupComm, PurgeComm and SetCommTimeouts answer zero on failure. None of them
  // decides whether the port is usable; the line settings below do.
  SetCommMask(port, EV_RXCHAR);
  SetupComm(port, kDriverQueueBytes, kDriverQueueBytes);
  PurgeComm(port, kPurgeEverything);
  COMMTIMEOUTS timeouts = kTimeouts;
  SetCommTimeouts(port, &timeouts);

  // Only framing, speed and software flow control change; hardware flow control, DTR and RTS
  // control, binary mode and the rest keep what the driver reported.
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  // GetCommState and SetCommState: nonzero on success.
  if (!GetCommState(port, &dcb)) return false;
  dcb.BaudRate = static_cast<DWORD>(baudRate);
  dcb.fOutX = 0;
  dcb.fInX = 0;
  dcb.XonLim = 100;
  dcb.XoffLim = 100;
  dcb.ByteSize = 8;
  dcb.Parity = NOPARITY;
  dcb.StopBits = ONESTOPBIT;
  dcb.XonChar = 0;
  dcb.XoffChar = 0;
  return SetCommState(port, &dcb) != FALSE;
}

void CSerialLink::CloseLink() {
  m_bConnected.store(false, std::memory_order_release);
  // SetEvent: nonzero on success. Ends the watch thread's event wait and its pauses.
  if (m_StopEvent) SetEvent(m_StopEvent.get());
  // SetCommMask with no events completes a pending event wait too.
  if (m_hPort) SetCommMask(m_hPort.get(), 0);

  // WaitForSingleObject: WAIT_OBJECT_0 once the thread has ended. A detached thread (showing
  // its message box) uses nothing here any more and is not waited for.
  const auto threadEnded = [this](DWORD limitMs) {
    return !m_hWatchThread || WaitForSingleObject(m_hWatchThread.get(), limitMs) == WAIT_OBJECT_0;
  };
  bool ended = m_WatchState.load(std::memory_order_acquire) == WatchState::kDetached
                   ? threadEnded(0)
                   : threadEnded(kThreadStopLimitMs);
  const WatchState state = m_WatchState.load(std::memory_order_acquire);
  if (m_hPort && (ended || state != WatchState::kServing)) {
    // Clearing the transmit side of a pty under Wine discards bytes the far end has not read yet:
    // it is cleared only when the owner's drain left bytes unsent (docs/developer.md).
    const bool unsent = m_WriteAbandoned || UnsentBytesRemain(m_hPort.get());
    PurgeComm(m_hPort.get(), unsent ? kPurgeEverything : kPurgeReceive);
    // Releasing the port ends every operation on it: an abandoned write, a parked read.
    m_hPort.reset();
    if (m_WriteAbandoned) WaitForSingleObject(m_WriteEvent.get(), kCancelLimitMs);
  }
  if (!ended && state == WatchState::kParked) ended = threadEnded(kThreadStopLimitMs);

  if (ended || state == WatchState::kDetached) {
    m_ReadEvent.reset();
    m_WriteEvent.reset();
    m_WaitEvent.reset();
    m_StopEvent.reset();
  } else {
    // The thread may still use them: leave them open rather than pull them from under it.
    (void)m_hPort.release();
    (void)m_ReadEvent.release();
    (void)m_WriteEvent.release();
    (void)m_WaitEvent.release();
    (void)m_StopEvent.release();
  }
  // Closing a thread's handle does not disturb the thread.
  m_hWatchThread.reset();
  m_WriteAbandoned = false;
  m_WatchState.store(WatchState::kServing, std::memory_order_relaxed);
  ApplyPendingClear();
  m_LineLost.store(false, std::memory_order_relaxed);
}

std::uint32_t CSerialLink::WriteBytes(const std::uint8_t* bytes, std::uint32_t length) {
  if (!IsConnected() || !m_hPort || !m_WriteEvent || m_WriteAbandoned || bytes == nullptr || length == 0) {
    return 0;
  }
  // The driver reads from this copy, which outlives a write that has to be abandoned.
  try {
    m_WriteBuffer.assign(bytes, bytes + length);
  } catch (const std::bad_alloc&) {
    return 0;
  }
  const HANDLE port = m_hPort.get();
  m_WriteOverlapped = OVERLAPPED{};
  m_WriteOverlapped.hEvent = m_WriteEvent.get();
  ResetEvent(m_WriteEvent.get());

  // WriteFile: nonzero when the write completed at once; zero with ERROR_IO_PENDING while it
  // runs, zero with another error when it failed. The count out-parameter is not reliable with
  // an overlapped record, so the count comes from GetOverlappedResult.
  if (!WriteFile(port, m_WriteBuffer.data(), length, nullptr, &m_WriteOverlapped)) {
    if (GetLastError() != ERROR_IO_PENDING) {
      ClearLineErrors(port);
      return 0;
    }
    if (WaitForSingleObject(m_WriteEvent.get(), kit::win32::write_limit_ms(length)) != WAIT_OBJECT_0) {
      // CancelIo: nonzero when cancellation was requested (for this thread's operations, and
      // the write was started here). The write may go on owning its record and the copy until
      // it reports its end.
      CancelIo(port);
      if (WaitForSingleObject(m_WriteEvent.get(), kCancelLimitMs) != WAIT_OBJECT_0) m_WriteAbandoned = true;
      return 0;
    }
  }
  DWORD transferred = 0;
  // GetOverlappedResult without waiting: nonzero when the write ended well.
  if (!GetOverlappedResult(port, &m_WriteOverlapped, &transferred, FALSE)) ClearLineErrors(port);
  return transferred;
}

}  // namespace utility
