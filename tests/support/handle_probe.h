#pragma once
// Leak checks for Win32 handles. Wine hands out the lowest free slots of the process's handle
// table, so the first free slots after some work are the same as before it exactly when the work
// left no handle of its own open among them. (GetProcessHandleCount answers 0 under Wine.)

#include <windows.h>

#include <vector>

namespace test_support {

// The values of the next `count` handles the process would get.
inline std::vector<HANDLE> free_handle_slots(std::size_t count = 64) {
  std::vector<HANDLE> events;
  for (std::size_t i = 0; i < count; ++i) events.push_back(CreateEventW(nullptr, FALSE, FALSE, nullptr));
  for (HANDLE event : events) CloseHandle(event);
  return events;
}

// Runs `work` twice (Wine opens some handles of its own on first use, and keeps them) and
// answers whether the second run left the handle table as it found it.
template <typename Work>
bool leaves_no_handle_open(Work work) {
  work();
  const std::vector<HANDLE> before = free_handle_slots();
  work();
  return free_handle_slots() == before;
}

}  // namespace test_support
