#include "service_object/win32/com/registry_snapshot.h"

#include <algorithm>

#include "shared/win32/unique_handle.h"

namespace varnel::com {
namespace {

using kit::win32::UniqueRegistryKey;

// Registry trees this deep are not ours; the walk stops there rather than recursing without end.
constexpr int kMaxDepth = 32;

bool same_name(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

std::wstring below(const std::wstring& path, const std::wstring& name) {
  std::wstring child = path;
  child += L'\\';
  child += name;
  return child;
}

HRESULT from_status(LSTATUS status) { return status == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(status); }

// Names of the values (or, with `subkeys`, of the subkeys) of an open key.
std::vector<std::wstring> names_in(HKEY key, bool subkeys) {
  DWORD count = 0;
  DWORD longest = 0;
  // RegQueryInfoKeyW: ERROR_SUCCESS or the error; the longest name comes without its NUL.
  const LSTATUS status = subkeys ? RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &count, &longest, nullptr,
                                                    nullptr, nullptr, nullptr, nullptr, nullptr)
                                 : RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                                    &count, &longest, nullptr, nullptr, nullptr);
  std::vector<std::wstring> names;
  if (status != ERROR_SUCCESS) return names;
  std::vector<wchar_t> buffer(longest + 1);
  for (DWORD index = 0; index < count; ++index) {
    DWORD length = static_cast<DWORD>(buffer.size());
    const LSTATUS found =
        subkeys ? RegEnumKeyExW(key, index, buffer.data(), &length, nullptr, nullptr, nullptr, nullptr)
                : RegEnumValueW(key, index, buffer.data(), &length, nullptr, nullptr, nullptr, nullptr);
    if (found == ERROR_SUCCESS) names.emplace_back(buffer.data(), length);
  }
  return names;
}

// Deletes `path` below `parent` with everything below it; an absent key counts as deleted.
HRESULT delete_tree(HKEY parent, const std::wstring& path, REGSAM view) {
  UniqueRegistryKey key;
  LSTATUS status = RegOpenKeyExW(parent, path.c_str(), 0, KEY_ALL_ACCESS | view, key.put());
  if (status == ERROR_FILE_NOT_FOUND) return S_OK;
  if (status != ERROR_SUCCESS) return from_status(status);
  // RegDeleteTreeW with no subkey name: empties the key (its values and subkeys) but keeps it.
  status = RegDeleteTreeW(key.get(), nullptr);
  key.reset();
  if (status != ERROR_SUCCESS) return from_status(status);
  status = RegDeleteKeyExW(parent, path.c_str(), view, 0);
  return status == ERROR_FILE_NOT_FOUND ? S_OK : from_status(status);
}

}  // namespace

bool RegistrySnapshot::read(HKEY handle, REGSAM view, int depth, Key& into) {
  for (const std::wstring& name : names_in(handle, false)) {
    Value value{name, REG_NONE, {}};
    DWORD size = 0;
    // RegQueryValueExW: ERROR_SUCCESS or the error; with no buffer, the size the data needs.
    if (RegQueryValueExW(handle, name.c_str(), nullptr, &value.type, nullptr, &size) != ERROR_SUCCESS)
      return false;
    value.data.resize(size);
    if (RegQueryValueExW(handle, name.c_str(), nullptr, &value.type, value.data.data(), &size) !=
        ERROR_SUCCESS) {
      return false;
    }
    value.data.resize(size);
    into.values.push_back(std::move(value));
  }
  if (depth >= kMaxDepth) return true;
  for (const std::wstring& name : names_in(handle, true)) {
    UniqueRegistryKey child;
    if (RegOpenKeyExW(handle, name.c_str(), 0, KEY_READ | view, child.put()) != ERROR_SUCCESS) return false;
    Key subkey{name, {}, {}};
    if (!read(child.get(), view, depth + 1, subkey)) return false;
    into.subkeys.push_back(std::move(subkey));
  }
  return true;
}

RegistrySnapshot RegistrySnapshot::take(HKEY root, std::wstring path, REGSAM view, Depth depth) {
  RegistrySnapshot snapshot(root, std::move(path), view);
  UniqueRegistryKey key;
  const LSTATUS status = RegOpenKeyExW(root, snapshot.path_.c_str(), 0, KEY_READ | view, key.put());
  if (status == ERROR_FILE_NOT_FOUND) {
    snapshot.state_ = State::absent;
    return snapshot;
  }
  if (status != ERROR_SUCCESS) return snapshot;  // unknown
  if (depth == Depth::existence) {
    snapshot.state_ = State::present;
    return snapshot;
  }
  Key whole{{}, {}, {}};
  if (!read(key.get(), view, 0, whole)) return snapshot;  // unknown
  snapshot.key_ = std::move(whole);
  snapshot.state_ = State::present;
  return snapshot;
}

void RegistrySnapshot::restore_key(const std::wstring& path, const Key& wanted,
                                   HRESULT& first_failure) const {
  const auto note = [&first_failure](HRESULT result) {
    if (FAILED(result) && SUCCEEDED(first_failure)) first_failure = result;
  };
  UniqueRegistryKey key;
  // RegCreateKeyExW: opens the key, or makes it again when it was deleted.
  const LSTATUS status = RegCreateKeyExW(root_, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view_, nullptr,
                                         key.put(), nullptr);
  if (status != ERROR_SUCCESS) {
    note(from_status(status));
    return;
  }
  for (const std::wstring& name : names_in(key.get(), false)) {
    const bool kept = std::any_of(wanted.values.begin(), wanted.values.end(),
                                  [&](const Value& value) { return same_name(value.name, name); });
    if (!kept) note(from_status(RegDeleteValueW(key.get(), name.c_str())));
  }
  for (const Value& value : wanted.values) {
    note(from_status(RegSetValueExW(key.get(), value.name.c_str(), 0, value.type, value.data.data(),
                                    static_cast<DWORD>(value.data.size()))));
  }
  for (const std::wstring& name : names_in(key.get(), true)) {
    const bool kept = std::any_of(wanted.subkeys.begin(), wanted.subkeys.end(),
                                  [&](const Key& subkey) { return same_name(subkey.name, name); });
    if (!kept) note(delete_tree(root_, below(path, name), view_));
  }
  for (const Key& subkey : wanted.subkeys) restore_key(below(path, subkey.name), subkey, first_failure);
}

HRESULT RegistrySnapshot::restore() const {
  switch (state_) {
    case State::unknown: return S_OK;
    case State::absent: return delete_tree(root_, path_, view_);
    case State::present: break;
  }
  if (!key_) return S_OK;  // only its existence was taken: what is below it is not ours to restore
  HRESULT first_failure = S_OK;
  restore_key(path_, *key_, first_failure);
  return first_failure;
}

}  // namespace varnel::com
