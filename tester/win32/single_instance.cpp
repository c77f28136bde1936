#include "tester/win32/single_instance.h"

#include <windows.h>

namespace zorntest::win32 {

std::wstring ExecutableBaseName() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    // Answers the length written, or the buffer's size when the path was cut.
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return L"ZornTest";
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(path.size() * 2);
  }
  const std::size_t slash = path.find_last_of(L"\\/");
  std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
  const std::size_t dot = name.rfind(L'.');
  if (dot != std::wstring::npos && dot > 0) name.resize(dot);
  return name;
}

SingleInstance::SingleInstance() : name_(ExecutableBaseName()) {}

bool SingleInstance::PreviousInstanceRunning() {
  // File names are compared without regard to case, so the mutex name is too.
  std::wstring key = name_;
  CharLowerBuffW(key.data(), static_cast<DWORD>(key.size()));
  const std::wstring mutex_name = L"Local\\KelvoDravon.OposTester." + key;
  // CreateMutexW hands out the existing mutex and sets ERROR_ALREADY_EXISTS when another
  // process made it first.
  HANDLE mutex = CreateMutexW(nullptr, FALSE, mutex_name.c_str());
  const DWORD error = GetLastError();
  mutex_.reset(mutex);
  return mutex != nullptr && error == ERROR_ALREADY_EXISTS;
}

}  // namespace zorntest::win32
