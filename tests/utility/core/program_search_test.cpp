// Where the firmware tool is started from: the utility's own folder, then the
// PATH's folders in order, never the current folder.
#include "utility/core/program_search.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace utility {
namespace {

using Folders = std::vector<std::string>;

TEST(SearchPathFolders, KeepsAbsoluteFoldersInOrderAndDropsWhatNamesTheCurrentFolder) {
  struct Case {
    const char* path;
    PathStyle style;
    Folders folders;
  };
  const std::vector<Case> cases = {
      {"/usr/local/bin:/usr/bin", PathStyle::Posix, {"/usr/local/bin", "/usr/bin"}},
      // Empty entries (leading, trailing, doubled) and relative ones mean the current folder.
      {":/usr/bin::.:bin:/opt/zorn/:", PathStyle::Posix, {"/usr/bin", "/opt/zorn/"}},
      {"/usr/bin:/usr/bin", PathStyle::Posix, {"/usr/bin"}},
      {"", PathStyle::Posix, {}},
      {R"(C:\Windows\system32;"C:\Program Files\Tool";;.;Tools;\Rooted;C:Drive;\\server\share;D:/x)",
       PathStyle::Windows,
       {R"(C:\Windows\system32)", R"(C:\Program Files\Tool)", R"(\\server\share)", "D:/x"}},
      // A colon is part of a Windows folder; a semicolon of a POSIX one.
      {R"(C:\A;C:\B)", PathStyle::Posix, {}},
      {"/a;/b:/c", PathStyle::Posix, {"/a;/b", "/c"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SearchPathFolders(c.path, c.style), c.folders) << c.path;
  }
}

TEST(LocateProgram, OwnFolderFirstThenThePathInOrderNeverTheCurrentFolder) {
  struct Case {
    const char* name;
    std::string ownFolder;
    Folders searchFolders;
    PathStyle style;
    std::set<std::string> files;
    std::string found;  // empty: not found
  };
  const std::vector<Case> cases = {
      {"own folder wins",
       R"(C:\Zorn)",
       {R"(C:\Tools)"},
       PathStyle::Windows,
       {R"(C:\Zorn\NuvoISP.exe)", R"(C:\Tools\NuvoISP.exe)"},
       R"(C:\Zorn\NuvoISP.exe)"},
      {"first PATH folder that holds it",
       R"(C:\Zorn\)",
       {R"(C:\A)", R"(C:\B\)", R"(C:\C)"},
       PathStyle::Windows,
       {R"(C:\B\NuvoISP.exe)", R"(C:\C\NuvoISP.exe)"},
       R"(C:\B\NuvoISP.exe)"},
      {"POSIX",
       "/opt/zorn",
       {"/usr/local/bin", "/usr/bin"},
       PathStyle::Posix,
       {"/usr/bin/NuvoISP.exe"},
       "/usr/bin/NuvoISP.exe"},
      {"only in the current folder",
       R"(C:\Zorn)",
       {R"(C:\A)"},
       PathStyle::Windows,
       {"NuvoISP.exe", R"(.\NuvoISP.exe)"},
       ""},
      {"relative folders are not looked at",
       ".",
       {"bin", ""},
       PathStyle::Posix,
       {"./NuvoISP.exe", "bin/NuvoISP.exe", "NuvoISP.exe", "/NuvoISP.exe"},
       ""},
      {"own folder unknown",
       "",
       {"/usr/bin"},
       PathStyle::Posix,
       {"/usr/bin/NuvoISP.exe"},
       "/usr/bin/NuvoISP.exe"},
      {"nowhere", "/opt/zorn", {}, PathStyle::Posix, {}, ""},
  };
  for (const Case& c : cases) {
    std::vector<std::string> asked;
    const auto found =
        LocateProgram("NuvoISP.exe", c.ownFolder, c.searchFolders, c.style, [&](const std::string& path) {
          asked.push_back(path);
          return c.files.count(path) != 0;
        });
    EXPECT_EQ(found.value_or(""), c.found) << c.name;
    for (const std::string& path : asked) {
      EXPECT_TRUE(IsAbsolutePath(path, c.style)) << c.name << ": asked about " << path;
    }
  }
}

}  // namespace
}  // namespace utility
