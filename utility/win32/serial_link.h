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
// without sharing. A watch thread, ThreadWatchComm, collects received bytes into m_QueueRead and
// posts WM_USER+1 (wParam the port number, lParam the position of the burst's last queued byte
// within its read) to m_hNotifyWnd once per burst. A burst is read in rounds: read what the
// driver holds, pause 15 ms, and again, until a read finds nothing; so a notification follows
// the last byte by at least 30 ms and a steady stream gives one notification at its end.
//
// Threads: the owner (the dialog) calls OpenLink, CloseLink, WriteBytes, AttachNotifications
// and ApplyPendingClear, and is the only consumer of m_QueueRead (Count, Get, Clear). The watch
// thread is the ring's only producer (Put) and the only caller of ReadAvailable. Reads use only
// m_ReadOverlapped and writes only m_WriteOverlapped, so both may be in flight together.
//
// How the port is used, and why:
// - The event wait is overlapped, with its own manual-reset event, and is waited for together
//   with a stop event. On a handle opened with FILE_FLAG_OVERLAPPED, WaitCommEvent without an
//   overlapped record is not valid, and the stop event lets CloseLink end an idle wait at once.
//   When the wait itself fails the thread asks the driver whether the port is still there: a
//   port that answers is waited on again after a 50 ms pause, instead of spinning (Wine's wait
//   gives up at once on a line without modem lines).
// - Line lost: when the driver answers with the errors a removed port gives (a USB adapter
//   unplugged, the far end of a pseudo-terminal closed under Wine), the thread marks the line
//   lost (IsConnected turns false), posts one last notification and ends. The owner learns of
//   it through TakeLineLost and releases the port with CloseLink.
// - CloseLink clears m_bConnected, signals the stop event, clears the event mask and then waits
//   for the watch thread (at most kThreadStopLimitMs) before it releases the port: the thread
//   never uses a released handle. Should the thread not end in time, the port handle and the
//   events it may still use are deliberately left open (a small leak) rather than closed under
//   it; the thread handle itself is closed, which does not disturb the thread. Every wait of
//   the serving thread is bounded or ends on the stop event; a thread that shows the message
//   box below, or is parked on a read it could not cancel, has let go of the port first, and
//   CloseLink then releases the port without waiting for the user.
// - WriteBytes copies the bytes into the object and waits for the overlapped write at most
//   1000 ms + 10 ms per byte. On expiry it cancels the write, waits a bounded time for the
//   cancel and answers 0. A write whose cancel never completes still owns the record and the
//   copy, so later writes are refused until the port is closed.
// - Overflow: when a received chunk does not fit in m_QueueRead the whole chunk is dropped, the
//   link counts as disconnected (IsConnected false, WriteBytes 0), the notification is posted
//   and the thread ends. The thread cannot empty the ring itself, because CByteQueue::Clear
//   belongs to the consumer: it raises a flag that ApplyPendingClear honours on the owner's
//   thread, which answers true so the owner can tell the user. The link shows no box for it.
//   The port handle is released by the owner's CloseLink (or the next OpenLink, or the
//   destructor); OpenLink and CloseLink apply a pending clear too.
// - Should the watch thread fail to set its event mask it shows
//   "Error while creating ThreadWatchComm, " + m_PortName in a message box and ends; the port
//   stays open and m_bConnected true, but nothing is received. The box is shown through a
//   replaceable function so that tests can see it.
// - Reads are made only when ClearCommError reports bytes in the driver's input queue, and are
//   bounded like writes. A read whose cancel never completes would still own the thread's
//   receive buffer: the thread then stops using the port and stays parked until the owner's
//   CloseLink releases the handle, which ends the read.
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
  ~CSerialLink() override;

  // Opens `deviceName` ("COM4") at `baudRate` and starts the watch thread. A link that is open
  // is closed first. On failure nothing stays open or running.
  bool OpenLink(const std::string& deviceName, std::int32_t baudRate, std::uint16_t portNumber) override;
  // Stops the watch thread (bounded), then releases the port. Harmless when nothing is open.
  // The ring keeps its bytes unless an overflow asked for them to go.
  void CloseLink() override;
  bool IsConnected() const override { return m_bConnected.load(std::memory_order_acquire); }
  // Points notifications at the window given to SetNotifyWindow. Call after each OpenLink.
  void AttachNotifications() override;
  CByteQueue& ReceiveQueue() override { return m_QueueRead; }
  bool ApplyPendingClear() override;
  bool TakeLineLost() override;
  // Polls the driver's output queue (ClearCommError) until it is empty, then allows the wire time
  // of a UART's transmit FIFO, which the queue does not count; never longer than `limitMs`.
  bool WaitUntilSent(std::uint32_t limitMs) override;
  // Writes the bytes within 1000 ms + 10 ms per byte; returns how many the driver took, 0 when
  // closed, on failure or on expiry.
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

  static DWORD WINAPI WatchThreadEntry(LPVOID link);
  DWORD ThreadWatchComm();
  WaitResult WaitForReceiveEvent(DWORD& events);
  // Reads one burst into the ring, until a read finds nothing.
  BurstEnd ReadBurst(LPARAM& lastPosition);
  // Reads what the driver holds, at most `capacity` bytes; 0 when nothing waits or the read
  // failed. `end` tells a read that could not be cancelled (see ParkUntilReadEnds) and a port
  // that has gone away.
  std::uint32_t ReadAvailable(std::uint8_t* buffer, std::uint32_t capacity, ReadEnd& end);
  bool ConfigurePort(std::int32_t baudRate);
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
