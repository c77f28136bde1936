#pragma once
// Owners for the window-system objects of the form, on the shared handle template: a window
// is destroyed, a GDI font deleted, when its owner goes.

#include <windows.h>

#include "shared/win32/unique_handle.h"

namespace zorntest::win32 {

struct WindowTraits {
  using pointer = HWND;
  static pointer invalid() noexcept { return nullptr; }
  static void close(pointer window) noexcept { DestroyWindow(window); }
};

struct FontTraits {
  using pointer = HFONT;
  static pointer invalid() noexcept { return nullptr; }
  static void close(pointer font) noexcept { DeleteObject(font); }
};

using UniqueWindow = kit::win32::UniqueHandle<WindowTraits>;
using UniqueFont = kit::win32::UniqueHandle<FontTraits>;
using kit::win32::UniqueKernelHandle;

// The program's strings are UTF-16 on both sides; wchar_t is 16 bits wide on Windows.
inline std::wstring ToWide(std::u16string_view text) { return {text.begin(), text.end()}; }
inline std::u16string ToU16(std::wstring_view text) { return {text.begin(), text.end()}; }

}  // namespace zorntest::win32
