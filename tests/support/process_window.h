#pragma once
// The main window of a program a test drives: the visible top-level window of that process with
// a given caption.

#include <windows.h>

#include <array>
#include <string>
#include <string_view>

namespace test_support {

namespace detail {

struct WindowSearch {
  DWORD process;
  std::wstring_view caption;
  HWND found;
};

inline BOOL CALLBACK match_process_window(HWND window, LPARAM searchAddress) {
  // EnumWindows hands our pointer back as an integer.
  auto* search = reinterpret_cast<WindowSearch*>(searchAddress);  // NOLINT(performance-no-int-to-ptr)
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process != search->process || !IsWindowVisible(window)) return TRUE;
  // GetWindowTextW reads another process's caption without sending it a message, so a hung
  // program cannot hold the search.
  std::array<wchar_t, 256> caption{};
  GetWindowTextW(window, caption.data(), static_cast<int>(caption.size()));
  if (std::wstring_view(caption.data()) != search->caption) return TRUE;
  search->found = window;
  return FALSE;
}

}  // namespace detail

// The visible top-level window of `process` captioned `caption`, or null while there is none.
inline HWND find_process_window(DWORD process, std::wstring_view caption) {
  detail::WindowSearch search{process, caption, nullptr};
  EnumWindows(detail::match_process_window, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

}  // namespace test_support
