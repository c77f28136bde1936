#pragma once

#include <array>
#include <atomic>
#include <cstdint>

namespace utility {

// The receive ring between the watch thread and the dialog.
//
// 8192 slots; one always stays free so that a full ring can be told from an
// empty one, hence at most 8191 bytes are held. head is the next slot to be
// written, tail the next slot to be read; Count is (head - tail) mod 8192.
//
// Threads: exactly one producer (Put) and one consumer (Get, Clear). Each
// index has a single writer: head is stored only by Put, tail only by Get and
// Clear. The producer publishes a byte with a release store of head after
// writing its slot; the consumer's acquire load of head makes that byte
// visible before it reads the slot. The same pairing on tail hands freed
// slots back to the producer. No lock is taken and no call blocks.
//
// Clear runs on the consumer side: it discards what is queued by moving tail
// up to the head it observes, instead of resetting both indices to 0. Zeroing
// head from the consumer would race with a Put in progress (the producer
// could publish a byte into a slot the consumer has just declared empty, or
// overwrite the reset). Bytes the producer publishes after Clear has read
// head stay queued, which is what a reader expects from "empty, then receive".
// Calling Clear from the producer thread while a consumer runs is not allowed.
class CByteQueue {
 public:
  static constexpr std::int32_t kSlots = 8192;
  static constexpr std::int32_t kCapacity = kSlots - 1;

  CByteQueue() = default;
  CByteQueue(const CByteQueue&) = delete;
  CByteQueue& operator=(const CByteQueue&) = delete;

  // Number of bytes queued, 0 to 8191. Safe from either thread; from the
  // producer it may underestimate free space, from the consumer it may
  // underestimate the bytes waiting, never the other way round.
  std::int32_t Count() const;

  // Producer only. Stores the byte and returns true; returns false and
  // stores nothing when 8191 bytes are queued.
  bool Put(std::uint8_t byte);

  // Consumer only. Moves the oldest byte to `byte` and returns true; returns
  // false and leaves `byte` untouched when the queue is empty.
  bool Get(std::uint8_t& byte);

  // Consumer only. Copies the oldest byte to `byte` without taking it and
  // returns true; returns false and leaves `byte` untouched when empty.
  bool Peek(std::uint8_t& byte) const;

  // Consumer only. Discards every queued byte (see the class comment).
  // The discarded slots are zeroed so no stale reply bytes linger.
  void Clear();

 private:
  static constexpr std::int32_t kIndexMask = kSlots - 1;
  static_assert((kSlots & kIndexMask) == 0, "slot count must be a power of two");

  std::array<std::uint8_t, kSlots> buffer_{};
  std::atomic<std::int32_t> head_{0};
  std::atomic<std::int32_t> tail_{0};
};

}  // namespace utility
