// A registry key taken and restored: whatever was changed below it in between, the key is as it
// was taken afterwards. In a key of the test's own below HKEY_CURRENT_USER.

#include "service_object/win32/com/registry_snapshot.h"

#include <windows.h>
#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <map>
#include <string>

#include "shared/win32/unique_handle.h"

namespace varnel::com {
namespace {

using kit::win32::UniqueRegistryKey;

// Everything below a key: "path|value" -> "type:data bytes", "path" -> "<key>".
using Dump = std::map<std::wstring, std::wstring>;

void dump_into(HKEY parent, const std::wstring& path, Dump& dump) {
  UniqueRegistryKey key;
  if (RegOpenKeyExW(parent, path.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) return;
  dump[path] = L"<key>";
  for (DWORD index = 0;; ++index) {
    std::array<wchar_t, 256> name{};
    std::array<BYTE, 1024> data{};
    DWORD name_length = static_cast<DWORD>(name.size());
    DWORD size = static_cast<DWORD>(data.size());
    DWORD type = 0;
    if (RegEnumValueW(key.get(), index, name.data(), &name_length, nullptr, &type, data.data(), &size) !=
        ERROR_SUCCESS) {
      break;
    }
    std::wstring shown = std::to_wstring(type) + L":";
    for (DWORD i = 0; i < size; ++i) shown += std::to_wstring(data[i]) + L",";
    dump[path + L"|" + name.data()] = shown;
  }
  for (DWORD index = 0;; ++index) {
    std::array<wchar_t, 256> name{};
    DWORD name_length = static_cast<DWORD>(name.size());
    if (RegEnumKeyExW(key.get(), index, name.data(), &name_length, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS) {
      break;
    }
    dump_into(parent, path + L"\\" + name.data(), dump);
  }
}

Dump dump_of(const std::wstring& path) {
  Dump dump;
  dump_into(HKEY_CURRENT_USER, path, dump);
  return dump;
}

void set_text(const std::wstring& path, const wchar_t* name, const std::wstring& text, DWORD type = REG_SZ) {
  UniqueRegistryKey key;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            key.put(), nullptr),
            ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExW(key.get(), name, 0, type, reinterpret_cast<const BYTE*>(text.c_str()),
                           static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))),
            ERROR_SUCCESS);
}

void delete_tree(const std::wstring& path) { RegDeleteTreeW(HKEY_CURRENT_USER, path.c_str()); }

class RegistrySnapshotTest : public ::testing::Test {
 protected:
  void SetUp() override {
    delete_tree(root_);
    set_text(root_, nullptr, L"root default");
    set_text(root_, L"Kept", L"same");
    set_text(root_ + L"\\Child", L"Value", L"child value");
    set_text(root_ + L"\\Child\\Grandchild", L"Deep", L"deep", REG_EXPAND_SZ);
    DWORD number = 42;
    UniqueRegistryKey key;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, root_.c_str(), 0, KEY_SET_VALUE, key.put()), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(key.get(), L"Number", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                             sizeof number),
              ERROR_SUCCESS);
  }
  void TearDown() override { delete_tree(root_); }

  const std::wstring root_ = L"Software\\KitSnapshotTest" + std::to_wstring(GetCurrentProcessId());
};

TEST_F(RegistrySnapshotTest, RestoreUndoesEveryKindOfChange) {
  const std::wstring& root = root_;
  const struct {
    const char* what;
    std::function<void()> change;
  } cases[] = {
      {"value added", [&] { set_text(root, L"Added", L"new"); }},
      {"value changed", [&] { set_text(root, L"Kept", L"other"); }},
      {"value's type changed", [&] { set_text(root, L"Kept", L"same", REG_EXPAND_SZ); }},
      {"default value changed", [&] { set_text(root, nullptr, L"other default"); }},
      {"value removed", [&] { RegDeleteKeyValueW(HKEY_CURRENT_USER, root.c_str(), L"Number"); }},
      {"subkey added", [&] { set_text(root + L"\\New\\Deeper", L"x", L"y"); }},
      {"value added deep down", [&] { set_text(root + L"\\Child\\Grandchild", L"More", L"more"); }},
      {"subkey removed", [&] { delete_tree(root + L"\\Child"); }},
      {"key removed", [&] { delete_tree(root); }},
  };
  for (const auto& c : cases) {
    const Dump before = dump_of(root);
    const RegistrySnapshot snapshot = RegistrySnapshot::take(HKEY_CURRENT_USER, root, 0);
    c.change();
    ASSERT_NE(dump_of(root), before) << c.what << ": the change did not happen";
    EXPECT_EQ(snapshot.restore(), S_OK) << c.what;
    EXPECT_EQ(dump_of(root), before) << c.what;
  }
}

TEST_F(RegistrySnapshotTest, AnAbsentKeyIsDeletedAgainAndOnlyExistenceLeavesTheRestAlone) {
  const std::wstring absent = root_ + L"\\Absent";
  const RegistrySnapshot none = RegistrySnapshot::take(HKEY_CURRENT_USER, absent, 0);
  set_text(absent + L"\\Below", L"x", L"y");
  EXPECT_EQ(none.restore(), S_OK);
  EXPECT_TRUE(dump_of(absent).empty());
  EXPECT_EQ(none.restore(), S_OK) << "deleting what is not there is no failure";

  const RegistrySnapshot existence =
      RegistrySnapshot::take(HKEY_CURRENT_USER, root_, 0, RegistrySnapshot::Depth::existence);
  set_text(root_ + L"\\Other", L"x", L"y");
  EXPECT_EQ(existence.restore(), S_OK);
  EXPECT_EQ(dump_of(root_ + L"\\Other").size(), 2u) << "a key taken for its existence keeps what is below it";
}

}  // namespace
}  // namespace varnel::com
