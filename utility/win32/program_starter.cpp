#include "utility/win32/program_starter.h"

#include <windows.h>

#include <string>
#include <vector>

#include "shared/win32/unique_handle.h"
#include "utility/core/program_search.h"

namespace utility {

namespace {

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return {};
  // WideCharToMultiByte: the bytes needed (or written), 0 on failure.
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                       nullptr, nullptr);
  if (size <= 0) return {};
  std::string bytes(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size, nullptr,
                      nullptr);
  return bytes;
}

std::wstring Wide(const std::string& text) {
  if (text.empty()) return {};
  // MultiByteToWideChar: the characters needed (or written), 0 on failure.
  const int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (size <= 0) return {};
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
  return wide;
}

std::wstring ModulePath() {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    // GetModuleFileNameW: the length copied; the buffer's size when the path was cut.
    const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return {};
    if (length < buffer.size()) return std::wstring(buffer.data(), length);
    if (buffer.size() >= 32768) return {};
    buffer.resize(buffer.size() * 2);
  }
}

std::wstring EnvironmentPath() {
  // GetEnvironmentVariableW: the size needed with its terminating zero, 0 when not set.
  const DWORD size = GetEnvironmentVariableW(L"PATH", nullptr, 0);
  if (size == 0) return {};
  std::wstring value(size, L'\0');
  const DWORD length = GetEnvironmentVariableW(L"PATH", value.data(), size);
  value.resize(length < size ? length : 0);
  return value;
}

}  // namespace

ProgramStarter::Places Win32ProgramStarter::SearchPlaces() const {
  Places places;
  places.style = PathStyle::Windows;
  const std::wstring self = ModulePath();
  const std::size_t slash = self.find_last_of(L"\\/");
  if (slash != std::wstring::npos) places.ownFolder = Utf8(self.substr(0, slash + 1));
  places.searchFolders = SearchPathFolders(Utf8(EnvironmentPath()), PathStyle::Windows);
  return places;
}

bool Win32ProgramStarter::IsProgramFile(const std::string& path) const {
  // GetFileAttributesW: INVALID_FILE_ATTRIBUTES when nothing is there.
  const DWORD attributes = GetFileAttributesW(Wide(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool Win32ProgramStarter::Start(const std::string& path) {
  const std::wstring application = Wide(path);
  // The tool gets its own quoted path as its command line, as a start from Explorer gives it.
  std::wstring commandLine = L"\"" + application + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOW;
  PROCESS_INFORMATION process{};
  // CreateProcessW with the application named: no search of its own, the current folder included.
  if (!CreateProcessW(application.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    return false;
  }
  const kit::win32::UniqueKernelHandle processHandle(process.hProcess);
  const kit::win32::UniqueKernelHandle threadHandle(process.hThread);
  return true;
}

}  // namespace utility
