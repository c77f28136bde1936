#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace utility {

// Where the utility looks for the firmware tool before it starts it. The
// current folder is never searched: a program planted in the folder the
// utility happens to run in (where config.data lies) must not run in the
// tool's place. The technician's guide states the rule.

// How a platform spells its paths and its search path.
enum class PathStyle {
  Posix,    // '/' between names, ':' between PATH entries
  Windows,  // '\' (or '/') between names, ';' between PATH entries, which may be quoted
};

// True for a path that does not depend on the current folder: "/bin" on
// POSIX; "C:\Tools" or "\\server\share" on Windows ("\Tools" and "C:Tools"
// depend on the current drive or folder and do not count).
bool IsAbsolutePath(std::string_view path, PathStyle style);

// The folders of a search path value (PATH), in order, each once. Entries
// that stand for the current folder are left out: empty ones (the current
// folder on POSIX) and relative ones such as "." or "bin".
std::vector<std::string> SearchPathFolders(std::string_view pathValue, PathStyle style);

// `name` in `folder`.
std::string JoinPath(std::string_view folder, std::string_view name, PathStyle style);

// The full path `program` is started from: the running program's own folder
// first, then the search path's folders in order, the first that holds it
// (`isProgramFile` answers for one full path). Nothing when none does. A
// relative own folder or search folder is never looked at.
std::optional<std::string> LocateProgram(std::string_view program, std::string_view ownFolder,
                                         const std::vector<std::string>& searchFolders, PathStyle style,
                                         const std::function<bool(const std::string&)>& isProgramFile);

}  // namespace utility
