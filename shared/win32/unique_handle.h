#pragma once
// Shared by the deliverables: header only, nothing to link.
// Owners for Win32 handles. One template, one small traits struct per kind of handle, one alias
// per handle type. The kinds differ in their "no handle" value: CreateFileW answers
// INVALID_HANDLE_VALUE on failure while CreateEventW and RegOpenKeyExW leave null, so a file
// handle and an event handle are different types and cannot be mixed up.

#include <windows.h>

#include <utility>

namespace kit::win32 {

template <typename Traits>
class UniqueHandle {
 public:
  using pointer = typename Traits::pointer;

  UniqueHandle() noexcept = default;
  explicit UniqueHandle(pointer value) noexcept : value_(value) {}
  ~UniqueHandle() { reset(); }

  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  UniqueHandle(UniqueHandle&& other) noexcept : value_(other.release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }

  pointer get() const noexcept { return value_; }
  bool is_valid() const noexcept { return value_ != Traits::invalid(); }
  explicit operator bool() const noexcept { return is_valid(); }

  // Gives up ownership without closing.
  pointer release() noexcept { return std::exchange(value_, Traits::invalid()); }

  // Closes the held handle (if any) and takes `value`. The caller's GetLastError survives the
  // close, so `handle.reset(); return GetLastError();` reports the failure that came before.
  void reset(pointer value = Traits::invalid()) noexcept {
    const pointer old = std::exchange(value_, value);
    if (old != Traits::invalid()) {
      const DWORD last_error = GetLastError();
      Traits::close(old);
      SetLastError(last_error);
    }
  }

  // For out-parameters (RegOpenKeyExW(..., key.put())): frees the old handle first, so a second
  // use cannot leak the first.
  pointer* put() noexcept {
    reset();
    return &value_;
  }

 private:
  pointer value_ = Traits::invalid();
};

// CreateFileW: failure is INVALID_HANDLE_VALUE.
struct FileHandleTraits {
  using pointer = HANDLE;
  static pointer invalid() noexcept { return INVALID_HANDLE_VALUE; }
  static void close(pointer handle) noexcept { CloseHandle(handle); }
};

// Events, threads, processes: failure is null.
struct KernelHandleTraits {
  using pointer = HANDLE;
  static pointer invalid() noexcept { return nullptr; }
  static void close(pointer handle) noexcept { CloseHandle(handle); }
};

// Registry keys: null when not opened; closed with RegCloseKey, not CloseHandle.
struct RegistryKeyTraits {
  using pointer = HKEY;
  static pointer invalid() noexcept { return nullptr; }
  static void close(pointer key) noexcept { RegCloseKey(key); }
};

using UniqueFileHandle = UniqueHandle<FileHandleTraits>;
using UniqueEvent = UniqueHandle<KernelHandleTraits>;
using UniqueKernelHandle = UniqueHandle<KernelHandleTraits>;
using UniqueRegistryKey = UniqueHandle<RegistryKeyTraits>;

}  // namespace kit::win32
