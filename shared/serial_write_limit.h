#pragma once
// Shared by the deliverables' serial layers on every platform: header only, standard C++ only.
// How long one write to the display's port may take before the layer gives up on it.

#include <chrono>
#include <cstddef>
#include <cstdint>

namespace kit {

// 1000 ms plus 10 ms per byte: ten times what a byte takes at the slowest speed the kit
// sets (9600 bit/s, about 1 ms a byte), and a second for the driver and flow-control pauses.
inline constexpr std::uint32_t kWriteLimitBaseMs = 1000;
inline constexpr std::uint32_t kWriteLimitPerByteMs = 10;

// The time limit of one write of `byte_count` bytes.
constexpr std::chrono::milliseconds serial_write_limit(std::size_t byte_count) {
  return std::chrono::milliseconds(kWriteLimitBaseMs) +
         std::chrono::milliseconds(kWriteLimitPerByteMs) * static_cast<std::int64_t>(byte_count);
}

}  // namespace kit
