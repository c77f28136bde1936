#include "service_object/win32/readonly_file_reader.h"

#include <windows.h>

#include <algorithm>
#include <array>
#include <climits>
#include <new>

#include "shared/win32/unique_handle.h"
#include "shared/win32/utf16.h"

namespace varnel {

std::optional<std::string> Win32TextFileReader::read(std::u16string_view path, std::size_t max_bytes) {
  if (kit::win32::has_embedded_nul(path)) return std::nullopt;
  const std::wstring wide_path = kit::win32::to_wide(path);
  // CreateFileW: INVALID_HANDLE_VALUE on failure. A folder fails too (no backup semantics).
  const kit::win32::UniqueFileHandle file(
      CreateFileW(wide_path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return std::nullopt;

  try {
    std::string content;
    std::array<char, 4096> chunk;
    while (content.size() < max_bytes) {
      const auto wanted = static_cast<DWORD>(std::min<std::size_t>(chunk.size(), max_bytes - content.size()));
      DWORD got = 0;
      // ReadFile: nonzero on success; 0 bytes read at the end of the file.
      if (!ReadFile(file.get(), chunk.data(), wanted, &got, nullptr)) return std::nullopt;
      if (got == 0) break;
      content.append(chunk.data(), got);
    }
    return content;
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
}

std::u16string Win32TextFileReader::widen(std::string_view text) {
  if (text.empty() || text.size() > static_cast<std::size_t>(INT_MAX)) return {};
  const int size = static_cast<int>(text.size());
  // MultiByteToWideChar: the characters written, or 0 on failure; with no buffer, the count
  // needed.
  const int needed = MultiByteToWideChar(CP_ACP, 0, text.data(), size, nullptr, 0);
  if (needed <= 0) return {};
  std::wstring wide(static_cast<std::size_t>(needed), L'\0');
  const int written = MultiByteToWideChar(CP_ACP, 0, text.data(), size, wide.data(), needed);
  wide.resize(static_cast<std::size_t>(std::max(written, 0)));
  return kit::win32::to_u16(wide);
}

}  // namespace varnel
