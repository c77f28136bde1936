#pragma once
// Owners for Win32 kernel handles. One template; the kinds differ only in their "no handle"
// value: CreateFileA answers INVALID_HANDLE_VALUE on failure while CreateEventA and CreateThread
// answer null, so a file handle and an event handle are different types.

#include <windows.h>

#include <utility>

namespace zorn {

template <typename Traits>
class UniqueHandle {
 public:
  UniqueHandle() noexcept = default;
  explicit UniqueHandle(HANDLE value) noexcept : value_(value) {}
  ~UniqueHandle() { reset(); }

  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  UniqueHandle(UniqueHandle&& other) noexcept : value_(other.release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }

  HANDLE get() const noexcept { return value_; }
  bool is_valid() const noexcept { return value_ != Traits::invalid(); }
  explicit operator bool() const noexcept { return is_valid(); }

  // Gives up ownership without closing: the handle stays open for good.
  HANDLE release() noexcept { return std::exchange(value_, Traits::invalid()); }

  // Closes the held handle (if any) and takes `value`; GetLastError survives the close.
  void reset(HANDLE value = Traits::invalid()) noexcept {
    const HANDLE old = std::exchange(value_, value);
    if (old != Traits::invalid()) {
      const DWORD last_error = GetLastError();
      CloseHandle(old);
      SetLastError(last_error);
    }
  }

 private:
  HANDLE value_ = Traits::invalid();
};

// CreateFileA: failure is INVALID_HANDLE_VALUE.
struct FileHandleTraits {
  static HANDLE invalid() noexcept { return INVALID_HANDLE_VALUE; }
};

// Events and threads: failure is null.
struct KernelHandleTraits {
  static HANDLE invalid() noexcept { return nullptr; }
};

using UniqueFileHandle = UniqueHandle<FileHandleTraits>;
using UniqueKernelHandle = UniqueHandle<KernelHandleTraits>;

}  // namespace zorn
