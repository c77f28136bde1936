#include "utility/core/byte_queue.h"

namespace utility {

std::int32_t CByteQueue::Count() const {
  const std::int32_t tail = tail_.load(std::memory_order_acquire);
  const std::int32_t head = head_.load(std::memory_order_acquire);
  return (head - tail + kSlots) & kIndexMask;
}

bool CByteQueue::Put(std::uint8_t byte) {
  // head is ours: a relaxed load sees our own last store.
  const std::int32_t head = head_.load(std::memory_order_relaxed);
  const std::int32_t next = (head + 1) & kIndexMask;
  if (next == tail_.load(std::memory_order_acquire)) {
    return false;
  }
  buffer_[static_cast<std::size_t>(head)] = byte;
  head_.store(next, std::memory_order_release);
  return true;
}

bool CByteQueue::Get(std::uint8_t& byte) {
  const std::int32_t tail = tail_.load(std::memory_order_relaxed);
  if (tail == head_.load(std::memory_order_acquire)) {
    return false;
  }
  byte = buffer_[static_cast<std::size_t>(tail)];
  tail_.store((tail + 1) & kIndexMask, std::memory_order_release);
  return true;
}

bool CByteQueue::Peek(std::uint8_t& byte) const {
  const std::int32_t tail = tail_.load(std::memory_order_relaxed);
  if (tail == head_.load(std::memory_order_acquire)) {
    return false;
  }
  byte = buffer_[static_cast<std::size_t>(tail)];
  return true;
}

void CByteQueue::Clear() {
  // Slots from tail up to the observed head belong to the consumer until
  // tail moves past them, so zeroing them cannot meet a concurrent Put.
  const std::int32_t head = head_.load(std::memory_order_acquire);
  for (std::int32_t slot = tail_.load(std::memory_order_relaxed); slot != head;
       slot = (slot + 1) & kIndexMask) {
    buffer_[static_cast<std::size_t>(slot)] = 0;
  }
  tail_.store(head, std::memory_order_release);
}

}  // namespace utility
