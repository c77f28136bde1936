#include "service_object/win32/module_name.h"

#include <vector>

namespace varnel::win32 {

std::wstring file_stem(std::wstring_view path) {
  const std::size_t folder_end = path.find_last_of(L"\\/");
  std::wstring_view name = folder_end == std::wstring_view::npos ? path : path.substr(folder_end + 1);
  const std::size_t dot = name.rfind(L'.');
  if (dot != std::wstring_view::npos) name = name.substr(0, dot);
  return std::wstring(name);
}

std::wstring module_path(HMODULE module) {
  // GetModuleFileNameW: the length copied, 0 on failure; a result equal to the buffer size means
  // the path was cut short, so the buffer grows and the call is repeated.
  std::vector<wchar_t> path(MAX_PATH);
  for (int attempt = 0; attempt < 6; ++attempt) {
    const DWORD length = GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) return std::wstring(path.data(), length);
    path.resize(path.size() * 4);
  }
  return {};
}

std::wstring this_module_stem() {
  // GetModuleHandleExW: nonzero on success. FROM_ADDRESS finds the module holding the given
  // code address; UNCHANGED_REFCOUNT means there is nothing to release afterwards.
  HMODULE module = nullptr;
  if (!GetModuleHandleExW(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          reinterpret_cast<LPCWSTR>(&this_module_stem), &module)) {
    return {};
  }
  return file_stem(module_path(module));
}

}  // namespace varnel::win32
