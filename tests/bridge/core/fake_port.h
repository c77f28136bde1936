#pragma once
// A serial port in memory for the bridge's writer: thread-safe, with a gate that holds writes
// back and a switch that takes the port away as an unplugged adapter would.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

#include "service_object/core/serial_port.h"
#include "sim/model/display_firmware.h"

namespace bridge::testing {

using Bytes = std::vector<std::uint8_t>;

class FakePort final : public varnel::SerialPort {
 public:
  bool open(std::u16string_view, varnel::ParitySelector, std::int32_t) override {
    const std::lock_guard guard(lock_);
    ++opens_;
    held_ = plugged_;
    return held_;
  }
  bool write(std::span<const std::uint8_t> bytes) override {
    return write_within(bytes, std::nullopt) == varnel::WriteResult::kWritten;
  }
  varnel::WriteResult write_within(std::span<const std::uint8_t> bytes,
                                   std::optional<std::chrono::milliseconds>) override {
    std::unique_lock guard(lock_);
    ++writes_started_;
    changed_.notify_all();
    changed_.wait(guard, [&] { return !gated_; });
    if (!held_ || bytes.empty()) return varnel::WriteResult::kFailed;
    if (!plugged_) return varnel::WriteResult::kPortLost;
    if (stalled_) return varnel::WriteResult::kTimedOut;
    writes_.emplace_back(bytes.begin(), bytes.end());
    display_.receive(bytes);
    return varnel::WriteResult::kWritten;
  }
  void close() override {
    const std::lock_guard guard(lock_);
    held_ = false;
  }
  bool is_open() const override {
    const std::lock_guard guard(lock_);
    return held_;
  }

  void set_plugged(bool plugged) {
    const std::lock_guard guard(lock_);
    plugged_ = plugged;
  }
  void set_stalled(bool stalled) {
    const std::lock_guard guard(lock_);
    stalled_ = stalled;
  }
  void set_gated(bool gated) {
    {
      const std::lock_guard guard(lock_);
      gated_ = gated;
    }
    changed_.notify_all();
  }
  // Waits (bounded) until `count` writes have begun, counting those held at the gate.
  bool wait_for_writes_started(int count) {
    std::unique_lock guard(lock_);
    return changed_.wait_for(guard, std::chrono::seconds(10), [&] { return writes_started_ >= count; });
  }
  std::vector<Bytes> writes() const {
    const std::lock_guard guard(lock_);
    return writes_;
  }
  int opens() const {
    const std::lock_guard guard(lock_);
    return opens_;
  }
  // The two rows the display shows after every byte written so far.
  std::array<std::string, 2> shown() const {
    const std::lock_guard guard(lock_);
    const auto& rows = display_.state().rows;
    return {std::string(rows[0].begin(), rows[0].end()), std::string(rows[1].begin(), rows[1].end())};
  }

 private:
  mutable std::mutex lock_;
  std::condition_variable changed_;
  bool plugged_ = true;
  bool held_ = false;
  bool stalled_ = false;
  bool gated_ = false;
  int opens_ = 0;
  int writes_started_ = 0;
  std::vector<Bytes> writes_;
  sim::DisplayFirmware display_;
};

}  // namespace bridge::testing
