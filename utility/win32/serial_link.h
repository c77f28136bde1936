#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "shared/win32/unique_handle.h"
#include "utility/core/utility_link.h"
#include "utility/core/utility_title.h"

namespace utility {

// The utility's serial port on Windows: 8 data bits, no parity, one stop bit, no XON/XOFF, held
// without sharing, opened overlapped. The owner (the dialog) calls every public member and is the
// only consumer of m_QueueRead (Count, Get, Clear); the watch thread is the ring's only producer.
// Reads use only m_ReadOverlapped and writes only m_WriteOverlapped, so both may be in flight
// together. Rules the code follows where its design leaves a choice: docs/developer.md.
class CSerialLink final : public UtilityLink {
 public:
  // Shows `text` to the user and returns when the user has closed it.
  using ShowMessageFunction = void (*)(const std::string& text);

  static constexpr UINT kReceiveMessage = WM_USER + 1;
  static constexpr DWORD kReadChunk = 2068;
  static constexpr DWORD kBurstPauseMs = 15;
  static constexpr DWORD kWaitFailurePauseMs = 50;
  static constexpr DWORD kThreadStopLimitMs = 2000;
  static constexpr DWORD kReadLimitMs = 1000;
  static constexpr DWORD kCancelLimitMs = 500;
  static constexpr DWORD kDriverQueueBytes = 4096;
  static constexpr DWORD kDrainPollMs = 2;
  static constexpr DWORD kUartFifoBytes = 16;
  static constexpr const char* kMessageCaption = kUtilityTitle;

  // The default shows a modal message box with the utility's caption and an OK button.
  static void ShowMessageBox(const std::string& text);

  explicit CSerialLink(ShowMessageFunction showMessage = &CSerialLink::ShowMessageBox);
  CSerialLink(const CSerialLink&) = delete;
  CSerialLink& operator=(const CSerialLink&) = delete;
  // CloseLink. The owner may destroy the link at any time, also while the watch thread shows its
  // message box or is parked on a read.
  ~CSerialLink() override;

  // Opens `deviceName` ("COM4", or a device path) at `baudRate` and starts the watch thread. A link
  // that is open is closed first. On failure nothing stays open or running. The owner then calls
  // AttachNotifications, and eventually CloseLink (or destroys the link) to release the port.
  bool OpenLink(const std::string& deviceName, std::int32_t baudRate, std::uint16_t portNumber) override;
  // Signals the stop event and waits for the watch thread at most kThreadStopLimitMs, then purges
  // and releases the port; harmless when nothing is open. The transmit queue is purged only when
  // it still holds bytes (the owner drains it with WaitUntilSent first). A thread that has not
  // ended keeps the port and events it may use: they are left open (a small leak), never closed
  // under it; a thread showing its message box or parked on a read has let go of the port, which
  // is then released without waiting. The ring keeps its bytes unless an overflow asked for them
  // to go (the pending clear is applied here, as in OpenLink).
  void CloseLink() override;
  bool IsConnected() const override { return m_bConnected.load(std::memory_order_acquire); }
  // Points notifications at the window given to SetNotifyWindow. Call after each OpenLink.
  void AttachNotifications() override;
  CByteQueue& ReceiveQueue() override { return m_QueueRead; }
  // Owner's thread: empties the ring when the watch thread dropped a chunk that did not fit, and
  // answers whether it did, so the owner can tell the user (the link shows no box for it). The
  // link stays disconnected until CloseLink releases the port.
  bool ApplyPendingClear() override;
  // Answers once whether the watch thread found the port gone (is_port_gone_error); the link is
  // then disconnected and the owner releases the port with CloseLink.
  bool TakeLineLost() override;
  // Polls the driver's output queue (ClearCommError) until it is empty, then allows the wire time
  // of a UART's transmit FIFO, which the queue does not count; never longer than `limitMs`.
  bool WaitUntilSent(std::uint32_t limitMs) override;
  // Writes a copy of the bytes within kit::win32::write_limit_ms; returns how many the driver
  // took, 0 when closed, on failure or on expiry. An expired write is cancelled (bounded by
  // kCancelLimitMs); one whose cancel never completes still owns the copy, so later writes answer
  // 0 until the port is closed.
  std::uint32_t WriteBytes(const std::uint8_t* bytes, std::uint32_t length) override;

  // The window that AttachNotifications hands to the watch thread.
  void SetNotifyWindow(HWND window) { m_hDialogWnd = window; }

  const std::string& PortName() const { return m_PortName; }
  std::uint16_t PortNumber() const { return m_PortNumber; }
  // The open port's handle (INVALID_HANDLE_VALUE while closed), for inspecting its settings.
  HANDLE NativeHandle() const { return m_hPort.get(); }
  // The watch thread's identifier while it is owned, 0 otherwise.
  DWORD WatchThreadId() const;

  // The path CreateFileA is given: "COM" followed by digits gets the \\.\ prefix, which
  // COM10 and above need and every COM port accepts; anything else is used as it is.
  static std::string DevicePath(const std::string& deviceName);

  CByteQueue m_QueueRead;

 private:
  enum class WaitResult { kEvent, kStop, kFailed };
  enum class BurstEnd { kDone, kOverflow, kParked, kLineLost };
  enum class ReadEnd { kRead, kParked, kLineLost };
  // What the watch thread still uses. kDetached: nothing of the object (it shows the message box
  // or has ended its work). kParked: only its read's event and the stop event, while the read it
  // could not cancel still owns its stack buffer; releasing the port ends that read.
  enum class WatchState { kServing, kDetached, kParked };

  // serial_link.cpp: opening and closing, writing.
  // Sets the line (framing, speed, no software flow control) and the driver's queues and time-outs;
  // every other DCB field keeps what the driver reported.
  bool ConfigurePort(std::int32_t baudRate);
  // Clears a pending line error (framing, overrun, break) so that the port goes on working.
  static void ClearLineErrors(HANDLE port);

  // serial_link_watch.cpp: the watch thread. No exception leaves it.
  static DWORD WINAPI WatchThreadEntry(LPVOID link);
  // Waits for received bytes and reads each burst (ReadBurst), then posts kReceiveMessage (wParam
  // the port number, lParam the position of the burst's last byte within its read) to the window
  // of AttachNotifications, once per burst; posted, never sent. Ends on the stop event, after an
  // overflow or a lost line (each with one last notification; the loss is published before the
  // link turns disconnected), or parked (ParkUntilReadEnds). Should its event mask fail to set,
  // it shows "Error while creating ThreadWatchComm, " + m_PortName through m_ShowMessage and ends,
  // detached first: the owner may close or destroy the object while the box waits for the user.
  DWORD ThreadWatchComm();
  // The overlapped event wait, waited for together with the stop event (unbounded: the idle line
  // has nothing to do). Stopping cancels the wait, bounded by kCancelLimitMs. A failed wait on a
  // port that still answers is retried by the caller after kWaitFailurePauseMs, which the stop
  // event cuts short.
  WaitResult WaitForReceiveEvent(DWORD& events);
  // Whether the driver no longer answers for the port (is_port_gone_error).
  static bool PortIsGone(HANDLE port);

  // serial_link_read.cpp: reading, on the watch thread only.
  // Reads one burst into the ring in rounds (read what the driver holds, pause kBurstPauseMs)
  // until a read finds nothing, so a notification follows the last byte by at least
  // 2 * kBurstPauseMs. A chunk that does not fit in the ring is dropped whole: the link turns
  // disconnected and asks the owner to empty the ring (ApplyPendingClear).
  BurstEnd ReadBurst(LPARAM& lastPosition);
  // Reads what the driver holds (ClearCommError's cbInQue), at most `capacity` bytes, within
  // kReadLimitMs; 0 when nothing waits or the read failed. `end` tells a read that could not be
  // cancelled (see ParkUntilReadEnds) and a port that has gone away.
  std::uint32_t ReadAvailable(std::uint8_t* buffer, std::uint32_t capacity, ReadEnd& end);
  // A read whose cancel never completes still owns the caller's buffer on the thread's stack: the
  // thread turns the link disconnected, touches nothing of the object any more and waits until
  // the owner's CloseLink releases the port, which ends the read.
  void ParkUntilReadEnds();

  kit::win32::UniqueFileHandle m_hPort;
  std::string m_PortName;
  std::atomic<bool> m_bConnected{false};
  OVERLAPPED m_ReadOverlapped{};
  OVERLAPPED m_WriteOverlapped{};
  kit::win32::UniqueKernelHandle m_hWatchThread;
  std::uint16_t m_PortNumber = 0;
  std::atomic<HWND> m_hNotifyWnd{nullptr};

  HWND m_hDialogWnd = nullptr;
  ShowMessageFunction m_ShowMessage;
  kit::win32::UniqueKernelHandle m_ReadEvent;
  kit::win32::UniqueKernelHandle m_WriteEvent;
  kit::win32::UniqueKernelHandle m_WaitEvent;
  kit::win32::UniqueKernelHandle m_StopEvent;
  OVERLAPPED m_WaitOverlapped{};
  DWORD m_WaitMask = 0;
  std::vector<std::uint8_t> m_WriteBuffer;
  bool m_WriteAbandoned = false;
  std::atomic<bool> m_ClearRequested{false};
  std::atomic<bool> m_LineLost{false};
  std::int32_t m_BaudRate = 0;
  std::atomic<WatchState> m_WatchState{WatchState::kServing};
};

}  // namespace utility
