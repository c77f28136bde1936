#include <algorithm>
#include <array>

#include "shared/win32/serial_port.h"
#include "utility/win32/serial_link.h"

namespace utility {

CSerialLink::BurstEnd CSerialLink::ReadBurst(LPARAM& lastPosition) {
  std::array<std::uint8_t, kReadChunk> chunk;  // the receive path allocates nothing
  for (;;) {
    ReadEnd readEnd = ReadEnd::kRead;
    const std::uint32_t count = ReadAvailable(chunk.data(), kReadChunk, readEnd);
    if (readEnd == ReadEnd::kParked) return BurstEnd::kParked;
    if (readEnd == ReadEnd::kLineLost) return BurstEnd::kLineLost;
    if (count >= static_cast<std::uint32_t>(CByteQueue::kSlots - m_QueueRead.Count())) {
      // The chunk would leave more than 8191 bytes queued: drop all of it, have the consumer
      // empty the ring, and stop serving the port until the owner closes it.
      m_ClearRequested.store(true, std::memory_order_release);
      m_bConnected.store(false, std::memory_order_release);
      return BurstEnd::kOverflow;
    }
    for (std::uint32_t i = 0; i < count; ++i) m_QueueRead.Put(chunk[i]);
    if (count > 0) lastPosition = static_cast<LPARAM>(count - 1);
    // The read that finds nothing is paused after too, as the burst ends.
    Sleep(kBurstPauseMs);
    if (count == 0 || !IsConnected()) return BurstEnd::kDone;
  }
}

std::uint32_t CSerialLink::ReadAvailable(std::uint8_t* buffer, std::uint32_t capacity, ReadEnd& end) {
  end = ReadEnd::kRead;
  const HANDLE port = m_hPort.get();
  DWORD errors = 0;
  COMSTAT status{};
  // ClearCommError: nonzero on success. Only a read of bytes the driver already holds is made:
  // with these time-outs some drivers wait for data instead of returning nothing.
  if (!ClearCommError(port, &errors, &status)) {
    if (kit::win32::is_port_gone_error(GetLastError())) end = ReadEnd::kLineLost;
    return 0;
  }
  if (status.cbInQue == 0) return 0;

  m_ReadOverlapped = OVERLAPPED{};
  m_ReadOverlapped.hEvent = m_ReadEvent.get();
  ResetEvent(m_ReadEvent.get());
  // Our own cancel ends the read with ERROR_OPERATION_ABORTED, which then says nothing of the port.
  bool cancelled = false;
  // ReadFile: nonzero when the read completed at once; zero with ERROR_IO_PENDING while it runs,
  // zero with another error when it failed.
  if (!ReadFile(port, buffer, capacity, nullptr, &m_ReadOverlapped)) {
    const DWORD error = GetLastError();
    if (error != ERROR_IO_PENDING) {
      if (kit::win32::is_port_gone_error(error)) end = ReadEnd::kLineLost;
      ClearLineErrors(port);
      return 0;
    }
    if (WaitForSingleObject(m_ReadEvent.get(), kReadLimitMs) != WAIT_OBJECT_0) {
      CancelIo(port);
      cancelled = true;
      if (WaitForSingleObject(m_ReadEvent.get(), kCancelLimitMs) != WAIT_OBJECT_0) {
        ParkUntilReadEnds();
        end = ReadEnd::kParked;
        return 0;
      }
    }
  }
  DWORD transferred = 0;
  // GetOverlappedResult without waiting: nonzero when the read ended well.
  if (!GetOverlappedResult(port, &m_ReadOverlapped, &transferred, FALSE)) {
    if (!cancelled && kit::win32::is_port_gone_error(GetLastError())) end = ReadEnd::kLineLost;
    ClearLineErrors(port);
    return 0;
  }
  return std::min<std::uint32_t>(transferred, capacity);
}

void CSerialLink::ParkUntilReadEnds() {
  const HANDLE stop = m_StopEvent.get();
  const HANDLE readEnded = m_ReadEvent.get();
  m_bConnected.store(false, std::memory_order_release);
  m_WatchState.store(WatchState::kParked, std::memory_order_release);
  // The read still owns the caller's buffer on this stack, so the thread may not end yet. From
  // here on nothing of the object is touched; both events stay open until the thread has ended
  // (CloseLink leaks them otherwise). Releasing the port ends the read.
  WaitForSingleObject(stop, INFINITE);
  WaitForSingleObject(readEnded, INFINITE);
}

}  // namespace utility
