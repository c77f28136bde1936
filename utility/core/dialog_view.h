#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "utility/core/program_search.h"

namespace utility {

// What the utility's dialog behaviour needs from the world around it: the
// window's controls, message boxes and timers (DialogView), the settings file
// left for the firmware tool (SettingsFile) and the start of that tool
// (ProgramStarter). The Windows dialog implements them with its window; the
// command-line front end with its own state; tests with recorders.

// Control identifiers of the main dialog.
namespace control_id {
inline constexpr int kPortOpen = 1005;
inline constexpr int kChange = 1006;
inline constexpr int kInputString = 1007;
inline constexpr int kSetCommandSet = 1010;
inline constexpr int kSetDefaultFont = 1011;
inline constexpr int kInformation = 1013;
inline constexpr int kProgramDownLoad = 1014;
inline constexpr int kExit = 1015;
inline constexpr int kClose = 1016;
inline constexpr int kCurrentBaud = 1020;
inline constexpr int kChangingBaud = 1022;
inline constexpr int kPortList = 1023;
inline constexpr int kCommandSetList = 1024;
inline constexpr int kDefaultFontList = 1025;
inline constexpr int kLine1 = 1050;
inline constexpr int kLanguageGroup = 1051;
inline constexpr int kLine2 = 1052;
inline constexpr int kLanguageList = 1053;
inline constexpr int kFontSet = 1054;
}  // namespace control_id

// The message box icons the utility uses.
enum class MessageIcon { Information, Error, Warning };

class DialogView {
 public:
  virtual ~DialogView() = default;

  virtual void EnableControl(int controlId, bool enabled) = 0;

  // List boxes: filled once at start-up; the handlers use only the index of
  // the selected entry, -1 when none is selected.
  virtual void AddListEntry(int listId, std::string_view entry) = 0;
  virtual void SelectListEntry(int listId, int index) = 0;
  virtual int SelectedIndex(int listId) const = 0;

  // The text of an edit box, at most `maxChars` characters (bytes of the
  // system's ANSI code page on Windows).
  virtual std::string EditText(int editId, std::size_t maxChars) const = 0;

  // A modal message box with an OK button; returns once it is dismissed.
  virtual void ShowMessage(std::string_view text, std::string_view title, MessageIcon icon) = 0;

  // Starting a timer whose identifier runs already replaces it.
  virtual void StartTimer(unsigned timerId, unsigned periodMs) = 0;
  virtual void StopTimer(unsigned timerId) = 0;

  // Ends the dialog the way its close box does.
  virtual void EndDialog() = 0;
};

class SettingsFile {
 public:
  enum class Result {
    NotOpened,    // no such file: nothing written, nothing created
    Written,      // the bytes replaced the start of the file
    WriteFailed,  // the file exists but cannot be opened for writing (read-only,
                  // no write access, held by another program) or the bytes
                  // could not all be written
  };
  virtual ~SettingsFile() = default;
  // Opens an existing file for reading and writing (never creates or
  // truncates it) and writes `bytes` over its start; later bytes stay.
  virtual Result OverwriteStart(std::string_view fileName, std::span<const std::uint8_t> bytes) = 0;
};

// The firmware tool's start. The platform names the places a program may be
// started from and whether a file there is one; the search rule over them is
// LocateProgram's (program_search.h).
class ProgramStarter {
 public:
  struct Places {
    std::string ownFolder;                   // the running program's own folder
    std::vector<std::string> searchFolders;  // the search path's folders, in order
    PathStyle style = PathStyle::Posix;
  };
  virtual ~ProgramStarter() = default;
  virtual Places SearchPlaces() const = 0;
  // True when `path` names a program file that can be started.
  virtual bool IsProgramFile(const std::string& path) const = 0;
  // Starts the program at the full path `path`, with nothing on its command
  // line but its own name; does not wait for it. Answers whether it started.
  virtual bool Start(const std::string& path) = 0;
};

}  // namespace utility
