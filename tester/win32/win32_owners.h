#pragma once
// Owners for the window-system objects of the form, on the shared handle template: a window
// is destroyed, a GDI font deleted, when its owner goes.

#include <windows.h>

#include "shared/win32/unique_handle.h"
#include "shared/win32/utf16.h"

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

}  // namespace zorntest::win32
