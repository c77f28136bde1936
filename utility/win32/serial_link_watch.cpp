#include <array>

#include "shared/win32/serial_port.h"
#include "utility/win32/serial_link.h"

namespace utility {

// ClearCommError: nonzero on success.
bool CSerialLink::PortIsGone(HANDLE port) {
  DWORD errors = 0;
  COMSTAT status{};
  return !ClearCommError(port, &errors, &status) && kit::win32::is_port_gone_error(GetLastError());
}

DWORD WINAPI CSerialLink::WatchThreadEntry(LPVOID link) {
  // No exception may leave a thread.
  try {
    return static_cast<CSerialLink*>(link)->ThreadWatchComm();
  } catch (...) {
    return 0;
  }
}

DWORD CSerialLink::ThreadWatchComm() {
  // SetCommMask: nonzero on success.
  if (!SetCommMask(m_hPort.get(), EV_RXCHAR)) {
    const std::string text = "Error while creating ThreadWatchComm, " + m_PortName;
    const ShowMessageFunction showMessage = m_ShowMessage;
    m_WatchState.store(WatchState::kDetached, std::memory_order_release);
    // From here on nothing of the object is touched: the owner may close or destroy it while
    // the box waits for the user.
    showMessage(text);
    return 0;
  }

  LPARAM lastPosition = 0;
  while (IsConnected()) {
    DWORD events = 0;
    const WaitResult waited = WaitForReceiveEvent(events);
    if (waited == WaitResult::kStop) break;
    BurstEnd end = BurstEnd::kDone;
    if (waited == WaitResult::kFailed) {
      if (!PortIsGone(m_hPort.get())) {
        // The wait failed on a port that still answers: pause, but end the pause on a stop
        // request.
        WaitForSingleObject(m_StopEvent.get(), kWaitFailurePauseMs);
        continue;
      }
      end = BurstEnd::kLineLost;
    } else if ((events & EV_RXCHAR) == 0) {
      continue;
    } else {
      end = ReadBurst(lastPosition);
    }
    if (end == BurstEnd::kParked) return 0;  // the object is no longer ours to touch
    if (end == BurstEnd::kLineLost) {
      // Reported once. The loss is published before the link turns
      // disconnected (both release, read with acquire), so whoever sees it
      // disconnected also sees why, and the notification finds both
      // (docs/developer.md, the utility's rules).
      m_LineLost.store(true, std::memory_order_release);
      m_bConnected.store(false, std::memory_order_release);
    }
    // PostMessageA: nonzero on success. Posted, never sent: the thread does not wait for the
    // dialog, and a missing window only loses the notification.
    PostMessageA(m_hNotifyWnd.load(std::memory_order_acquire), kReceiveMessage, m_PortNumber, lastPosition);
    if (end != BurstEnd::kDone) break;
  }
  return 1;
}

CSerialLink::WaitResult CSerialLink::WaitForReceiveEvent(DWORD& events) {
  const HANDLE port = m_hPort.get();
  m_WaitMask = 0;
  m_WaitOverlapped = OVERLAPPED{};
  m_WaitOverlapped.hEvent = m_WaitEvent.get();
  ResetEvent(m_WaitEvent.get());

  // WaitCommEvent: nonzero when an event was already waiting; zero with ERROR_IO_PENDING while
  // the wait runs, zero with another error when it failed.
  if (WaitCommEvent(port, &m_WaitMask, &m_WaitOverlapped)) {
    events = m_WaitMask;
    return WaitResult::kEvent;
  }
  if (GetLastError() != ERROR_IO_PENDING) return WaitResult::kFailed;

  const std::array<HANDLE, 2> handles = {m_StopEvent.get(), m_WaitEvent.get()};
  // WaitForMultipleObjects: WAIT_OBJECT_0 + index of the first signalled handle, or WAIT_FAILED.
  // Unbounded by design: the idle line has nothing to do, and CloseLink signals the stop event.
  const DWORD waited =
      WaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(), FALSE, INFINITE);
  if (waited != WAIT_OBJECT_0 + 1) {
    // Stopping: end the pending wait before its record is used again. Should the cancel not
    // report back, the record and mask are members of the object, and releasing the port in
    // CloseLink ends the wait for good.
    CancelIo(port);
    WaitForSingleObject(m_WaitEvent.get(), kCancelLimitMs);
    return WaitResult::kStop;
  }
  DWORD unused = 0;
  // GetOverlappedResult without waiting: nonzero when the wait ended well.
  if (!GetOverlappedResult(port, &m_WaitOverlapped, &unused, FALSE)) return WaitResult::kFailed;
  events = m_WaitMask;
  return WaitResult::kEvent;
}

}  // namespace utility
