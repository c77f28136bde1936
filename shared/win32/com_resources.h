#pragma once
// Shared by the deliverables: header only, nothing to link.
// Owners for the automation resources a COM client or server handles: BSTRs, VARIANTs and
// interface references. Each frees what it holds when it goes out of scope.

#include <windows.h>
#include <oleauto.h>

#include <utility>

namespace kit::win32 {

// A BSTR this code allocated or was handed: freed with SysFreeString (which accepts null).
class UniqueBstr {
 public:
  UniqueBstr() noexcept = default;
  explicit UniqueBstr(BSTR value) noexcept : value_(value) {}
  ~UniqueBstr() { SysFreeString(value_); }
  UniqueBstr(const UniqueBstr&) = delete;
  UniqueBstr& operator=(const UniqueBstr&) = delete;
  UniqueBstr(UniqueBstr&& other) noexcept : value_(other.release()) {}
  UniqueBstr& operator=(UniqueBstr&& other) noexcept {
    if (this != &other) SysFreeString(std::exchange(value_, other.release()));
    return *this;
  }

  [[nodiscard]] BSTR get() const noexcept { return value_; }
  // Hands the string to the caller, who frees it from then on.
  BSTR release() noexcept { return std::exchange(value_, nullptr); }
  // For out-parameters: frees the old string first.
  BSTR* put() noexcept {
    SysFreeString(std::exchange(value_, nullptr));
    return &value_;
  }

 private:
  BSTR value_ = nullptr;
};

// A VARIANT that starts empty and is cleared (freeing what it holds) at the end of its scope.
class UniqueVariant {
 public:
  UniqueVariant() noexcept { VariantInit(&value_); }
  ~UniqueVariant() { VariantClear(&value_); }
  UniqueVariant(const UniqueVariant&) = delete;
  UniqueVariant& operator=(const UniqueVariant&) = delete;

  VARIANT* get() noexcept { return &value_; }
  [[nodiscard]] const VARIANT& operator*() const noexcept { return value_; }
  const VARIANT* operator->() const noexcept { return &value_; }
  // Clears the old value first, for out-parameters.
  VARIANT* put() noexcept {
    VariantClear(&value_);
    return &value_;
  }

 private:
  VARIANT value_;
};

// One reference on a COM interface. It never AddRefs on its own: put() receives a reference an
// API call hands out, attach() takes over one the caller holds. Release happens in reset() and at
// destruction.
template <typename Interface>
class ComPtr {
 public:
  ComPtr() noexcept = default;
  ~ComPtr() { reset(); }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ComPtr(ComPtr&& other) noexcept : value_(other.detach()) {}
  ComPtr& operator=(ComPtr&& other) noexcept {
    if (this != &other) {
      reset();
      value_ = other.detach();
    }
    return *this;
  }

  static ComPtr attach(Interface* value) noexcept {
    ComPtr owner;
    owner.value_ = value;
    return owner;
  }

  [[nodiscard]] Interface* get() const noexcept { return value_; }
  Interface* operator->() const noexcept { return value_; }
  explicit operator bool() const noexcept { return value_ != nullptr; }

  // Releases the old reference first, so a second use cannot leak the first.
  Interface** put() noexcept {
    reset();
    return &value_;
  }
  // For QueryInterface and friends, which take void**.
  void** put_void() noexcept { return reinterpret_cast<void**>(put()); }

  Interface* detach() noexcept { return std::exchange(value_, nullptr); }
  void reset() noexcept {
    if (Interface* old = std::exchange(value_, nullptr)) old->Release();
  }

 private:
  Interface* value_ = nullptr;
};

}  // namespace kit::win32
