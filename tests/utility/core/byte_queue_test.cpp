#include "utility/core/byte_queue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <thread>

namespace utility {
namespace {

void PutN(CByteQueue& queue, int n, std::uint8_t first = 0) {
  for (int i = 0; i < n; ++i) {
    ASSERT_TRUE(queue.Put(static_cast<std::uint8_t>(first + i)));
  }
}

void GetN(CByteQueue& queue, int n) {
  std::uint8_t byte = 0;
  for (int i = 0; i < n; ++i) {
    ASSERT_TRUE(queue.Get(byte));
  }
}

TEST(ByteQueueTest, EmptyQueueHasNothingAndLeavesCallerByteUntouched) {
  CByteQueue queue;
  EXPECT_EQ(queue.Count(), 0);
  std::uint8_t byte = 0x5A;
  EXPECT_FALSE(queue.Get(byte));
  EXPECT_EQ(byte, 0x5A);
  EXPECT_FALSE(queue.Peek(byte));
  EXPECT_EQ(byte, 0x5A);
}

TEST(ByteQueueTest, PeekShowsTheOldestByteAndLeavesItQueued) {
  CByteQueue queue;
  PutN(queue, 8191, 7);
  GetN(queue, 8190);  // the last byte sits just before the wrap
  ASSERT_TRUE(queue.Put(0x42));
  std::uint8_t byte = 0;
  for (const std::uint8_t expected : {std::uint8_t(7 + 8190), std::uint8_t(0x42)}) {
    ASSERT_TRUE(queue.Peek(byte));
    EXPECT_EQ(byte, expected);
    ASSERT_TRUE(queue.Peek(byte));
    EXPECT_EQ(queue.Count(), expected == 0x42 ? 1 : 2);
    ASSERT_TRUE(queue.Get(byte));
    EXPECT_EQ(byte, expected);
  }
}

TEST(ByteQueueTest, HoldsAtMost8191BytesAndRefusesTheNext) {
  CByteQueue queue;
  PutN(queue, 8191);
  EXPECT_EQ(queue.Count(), 8191);
  EXPECT_FALSE(queue.Put(0xEE));
  EXPECT_EQ(queue.Count(), 8191);

  // The refused byte left no trace: the queue drains in order.
  for (int i = 0; i < 8191; ++i) {
    std::uint8_t byte = 0;
    ASSERT_TRUE(queue.Get(byte));
    ASSERT_EQ(byte, static_cast<std::uint8_t>(i));
  }
  EXPECT_EQ(queue.Count(), 0);
}

TEST(ByteQueueTest, CountsAcrossTheWrapWhenHeadIsBelowTail) {
  CByteQueue queue;
  PutN(queue, 8190);
  GetN(queue, 8190);     // tail = head = 8190
  PutN(queue, 7, 0xA0);  // head wraps to 5
  EXPECT_EQ(queue.Count(), 7);
  for (int i = 0; i < 7; ++i) {
    std::uint8_t byte = 0;
    ASSERT_TRUE(queue.Get(byte));
    EXPECT_EQ(byte, 0xA0 + i);
  }
  // Still a full 8191 bytes fit once wrapped.
  PutN(queue, 8191);
  EXPECT_FALSE(queue.Put(0));
}

TEST(ByteQueueTest, ClearEmptiesAndTheQueueWorksAfterwards) {
  CByteQueue queue;
  PutN(queue, 100);
  queue.Clear();
  EXPECT_EQ(queue.Count(), 0);
  std::uint8_t byte = 0x11;
  EXPECT_FALSE(queue.Get(byte));
  EXPECT_EQ(byte, 0x11);

  ASSERT_TRUE(queue.Put(0x42));
  ASSERT_TRUE(queue.Get(byte));
  EXPECT_EQ(byte, 0x42);

  // After a clear of a full queue the whole capacity is free again.
  PutN(queue, 8191);
  queue.Clear();
  PutN(queue, 8191);
  EXPECT_EQ(queue.Count(), 8191);
}

TEST(ByteQueueTest, ProducerAndConsumerThreadsKeepOrderAndCount) {
  constexpr int kTotal = 200000;
  CByteQueue queue;
  std::thread producer([&queue] {
    for (int i = 0; i < kTotal; ++i) {
      while (!queue.Put(static_cast<std::uint8_t>(i * 7))) {
        std::this_thread::yield();
      }
    }
  });

  int received = 0;
  int outOfOrder = 0;
  while (received < kTotal) {
    std::uint8_t byte = 0;
    if (queue.Get(byte)) {
      if (byte != static_cast<std::uint8_t>(received * 7)) {
        ++outOfOrder;
      }
      ++received;
    } else {
      std::this_thread::yield();
    }
  }
  producer.join();
  EXPECT_EQ(received, kTotal);
  EXPECT_EQ(outOfOrder, 0);
  EXPECT_EQ(queue.Count(), 0);
}

TEST(ByteQueueTest, ConsumerClearDuringProductionKeepsLaterBytesInOrder) {
  // The producer writes a running sequence while the consumer clears now
  // and then. Between clears the bytes read must follow on one from another:
  // a clear may drop bytes but must never leave a torn or reordered run.
  constexpr int kTotal = 100000;
  CByteQueue queue;
  std::atomic<bool> done{false};
  std::thread producer([&queue, &done] {
    for (int i = 0; i < kTotal; ++i) {
      while (!queue.Put(static_cast<std::uint8_t>(i % 251))) {
        std::this_thread::yield();
      }
    }
    done.store(true, std::memory_order_release);
  });

  int lastSeen = -1;
  int breaks = 0;
  int received = 0;
  for (int step = 1; !done.load(std::memory_order_acquire) || queue.Count() > 0; ++step) {
    std::uint8_t byte = 0;
    if (queue.Get(byte)) {
      if (lastSeen >= 0 && byte != (lastSeen + 1) % 251) {
        ++breaks;
      }
      lastSeen = byte;
      ++received;
    }
    if (step % 997 == 0) {
      queue.Clear();
      lastSeen = -1;
    }
  }
  producer.join();
  EXPECT_EQ(breaks, 0);
  EXPECT_LE(received, kTotal);
  EXPECT_EQ(queue.Count(), 0);
}

}  // namespace
}  // namespace utility
