#include "utility/core/program_search.h"

#include <algorithm>

namespace utility {

namespace {

bool IsSeparator(char c, PathStyle style) { return c == '/' || (style == PathStyle::Windows && c == '\\'); }

bool IsDriveLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

std::string_view TrimQuotes(std::string_view entry) {
  // Windows lets a PATH entry be quoted, and a quote may sit anywhere in it.
  while (!entry.empty() && entry.front() == '"') {
    entry.remove_prefix(1);
  }
  while (!entry.empty() && entry.back() == '"') {
    entry.remove_suffix(1);
  }
  return entry;
}

}  // namespace

bool IsAbsolutePath(std::string_view path, PathStyle style) {
  if (style == PathStyle::Posix) {
    return !path.empty() && path.front() == '/';
  }
  if (path.size() >= 3 && IsDriveLetter(path[0]) && path[1] == ':' && IsSeparator(path[2], style)) {
    return true;
  }
  return path.size() >= 2 && IsSeparator(path[0], style) && IsSeparator(path[1], style);
}

std::vector<std::string> SearchPathFolders(std::string_view pathValue, PathStyle style) {
  const char listSeparator = style == PathStyle::Windows ? ';' : ':';
  std::vector<std::string> folders;
  std::size_t start = 0;
  while (start <= pathValue.size()) {
    const std::size_t end = std::min(pathValue.find(listSeparator, start), pathValue.size());
    std::string_view entry = pathValue.substr(start, end - start);
    if (style == PathStyle::Windows) {
      entry = TrimQuotes(entry);
    }
    if (IsAbsolutePath(entry, style) && std::find(folders.begin(), folders.end(), entry) == folders.end()) {
      folders.emplace_back(entry);
    }
    start = end + 1;
  }
  return folders;
}

std::string JoinPath(std::string_view folder, std::string_view name, PathStyle style) {
  std::string path(folder);
  if (!path.empty() && !IsSeparator(path.back(), style)) {
    path += style == PathStyle::Windows ? '\\' : '/';
  }
  path += name;
  return path;
}

std::optional<std::string> LocateProgram(std::string_view program, std::string_view ownFolder,
                                         const std::vector<std::string>& searchFolders, PathStyle style,
                                         const std::function<bool(const std::string&)>& isProgramFile) {
  std::vector<std::string_view> folders;
  folders.reserve(searchFolders.size() + 1);
  folders.push_back(ownFolder);
  folders.insert(folders.end(), searchFolders.begin(), searchFolders.end());
  for (const std::string_view folder : folders) {
    if (!IsAbsolutePath(folder, style)) {
      continue;
    }
    std::string candidate = JoinPath(folder, program, style);
    if (isProgramFile(candidate)) {
      return candidate;
    }
  }
  return std::nullopt;
}

}  // namespace utility
