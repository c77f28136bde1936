// UniqueHandle closes exactly the handle it owns, knows each kind's "no handle" value, and keeps
// the caller's last error.

#include "shared/win32/unique_handle.h"

#include <windows.h>
#include <gtest/gtest.h>

namespace kit::win32 {
namespace {

bool is_open(HANDLE handle) {
  DWORD flags = 0;
  // GetHandleInformation: nonzero for a handle this process holds.
  return GetHandleInformation(handle, &flags) != 0;
}

HANDLE new_event() { return CreateEventW(nullptr, TRUE, FALSE, nullptr); }

TEST(UniqueHandleTest, ClosesWhatItOwnsWhicheverWayOwnershipEnds) {
  struct Case {
    const char* what;
    // Ends the ownership of `handle`; answers whether `handle` was closed and `other` left open.
    bool (*run)(HANDLE handle, HANDLE other);
  };
  const Case cases[] = {
      {"scope end",
       [](HANDLE handle, HANDLE other) {
         { const UniqueEvent owner(handle); }
         return !is_open(handle) && is_open(other);
       }},
      {"reset()",
       [](HANDLE handle, HANDLE other) {
         UniqueEvent owner(handle);
         owner.reset();
         return !is_open(handle) && is_open(other) && !owner;
       }},
      {"put() for an out-parameter",
       [](HANDLE handle, HANDLE other) {
         UniqueEvent owner(handle);
         *owner.put() = other;
         const bool closed_only_handle = !is_open(handle) && is_open(other);
         owner.release();
         return closed_only_handle;
       }},
      {"moved over",
       [](HANDLE handle, HANDLE other) {
         UniqueEvent owner(handle);
         owner = UniqueEvent(other);
         const bool closed_only_handle = !is_open(handle) && is_open(other) && owner.get() == other;
         owner.release();
         return closed_only_handle;
       }},
  };
  for (const Case& c : cases) {
    const HANDLE handle = new_event();
    const HANDLE other = new_event();
    ASSERT_TRUE(handle != nullptr && other != nullptr);
    EXPECT_TRUE(c.run(handle, other)) << c.what;
    CloseHandle(other);
  }
}

TEST(UniqueHandleTest, EachKindKnowsItsNoHandleValue) {
  EXPECT_FALSE(UniqueEvent());
  EXPECT_FALSE(UniqueRegistryKey());
  EXPECT_FALSE(UniqueFileHandle());
  // A failed CreateFileW answers INVALID_HANDLE_VALUE: its owner holds nothing to close.
  const UniqueFileHandle missing(
      CreateFileW(L"Z:\\no\\such\\file", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  EXPECT_FALSE(missing);
  EXPECT_FALSE(UniqueEvent(nullptr));
}

TEST(UniqueHandleTest, ClosingKeepsTheCallersLastError) {
  UniqueEvent owner(new_event());
  ASSERT_TRUE(owner);
  SetLastError(ERROR_ACCESS_DENIED);
  owner.reset();
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

TEST(UniqueHandleTest, RegistryKeysAreClosed) {
  UniqueRegistryKey key;
  // RegOpenKeyExW: ERROR_SUCCESS or an error code.
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software", 0, KEY_READ, key.put()), ERROR_SUCCESS);
  const HKEY raw = key.get();
  key.reset();
  DWORD subkeys = 0;
  EXPECT_NE(RegQueryInfoKeyW(raw, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr,
                             nullptr, nullptr, nullptr),
            ERROR_SUCCESS)
      << "the key is closed";
}

}  // namespace
}  // namespace kit::win32
