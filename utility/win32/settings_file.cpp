#include "utility/core/disk_settings_file.h"

// On Windows: CreateFileA with OPEN_EXISTING, so only an existing file is written, over its
// start, sharing it with readers and writers as the C runtime's fopen does. The name is in the
// system's ANSI code page.

#include <windows.h>

#include <string>

#include "shared/win32/unique_handle.h"

namespace utility {

SettingsFile::Result DiskSettingsFile::OverwriteStart(std::string_view fileName,
                                                      std::span<const std::uint8_t> bytes) {
  const std::string path(fileName);
  const kit::win32::UniqueFileHandle file(::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.is_valid()) {
    // Only a missing file is "no file"; one that exists but refuses writing (read-only, no
    // write access, held by another program without sharing) is a failure.
    const DWORD error = ::GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? Result::NotOpened
                                                                          : Result::WriteFailed;
  }
  std::size_t written = 0;
  while (written < bytes.size()) {
    DWORD count = 0;
    const auto chunk = static_cast<DWORD>(bytes.size() - written);
    if (!::WriteFile(file.get(), bytes.data() + written, chunk, &count, nullptr) || count == 0) {
      return Result::WriteFailed;
    }
    written += count;
  }
  return Result::Written;
}

}  // namespace utility
