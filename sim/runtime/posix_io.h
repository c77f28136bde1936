// Small POSIX helpers that throw std::system_error with the failing call named.
#pragma once

#include <string>
#include <string_view>

namespace sim {

// Throws std::system_error for the current errno, prefixed with `what`.
[[noreturn]] void throw_errno(const std::string& what);

// Writes all of `data`, retrying after interruptions and short writes.
void write_all(int fd, std::string_view data, const std::string& what);

}  // namespace sim
