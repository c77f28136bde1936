#pragma once
// Zorn_Utility.exe as a person uses it, from another process: started in a directory of the
// test's choosing, its dialog found by caption, its controls reached by identifier (lists
// chosen, text typed, buttons clicked) and read back, its message boxes read and answered.

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "tests/support/message_box_watcher.h"

namespace zorn::test {

class UtilityProgram {
 public:
  struct Options {
    std::wstring workDirectory;  // the program's current directory; empty: the test's own
    std::wstring pathFirst;      // a folder put first on the program's PATH; empty: none
  };

  explicit UtilityProgram(const Options& options);
  UtilityProgram() : UtilityProgram(Options{}) {}
  UtilityProgram(const UtilityProgram&) = delete;
  UtilityProgram& operator=(const UtilityProgram&) = delete;
  // Ends the program if it still runs: its boxes answered, the dialog cancelled, and as a last
  // resort the process terminated.
  ~UtilityProgram();

  // The path of Zorn_Utility.exe under test.
  static std::wstring ProgramPath();
  // The visible main dialog of the program running as `processId`, or null.
  static HWND FindDialog(DWORD processId);

  // The main dialog once it is visible; null when the program did not get that far.
  HWND Dialog() const { return dialog_; }
  DWORD ProcessId() const { return processId_; }

  // The exit code once the program has ended within `limitMs`.
  std::optional<DWORD> WaitForExit(DWORD limitMs) const;

  HWND Control(int id) const;
  // Chooses entry `index` of a list the way a click in its drop-down does.
  void Select(int listId, int index) const;
  void Type(int editId, const std::wstring& text) const;
  // Presses a button (posted: the click's handler may show a box that waits for an answer).
  void Click(int buttonId) const;
  // Sends the dialog a command or message as the keyboard or the window frame would.
  void Post(UINT message, WPARAM wParam, LPARAM lParam) const;

  bool Enabled(int id) const;
  // Waits (at most `limitMs`) until the control's enable state is `enabled`.
  bool WaitUntilEnabled(int id, bool enabled, DWORD limitMs = 10000) const;
  int SelectedIndex(int listId) const;
  std::vector<std::wstring> ListEntries(int listId) const;
  static std::wstring Text(HWND window);

  // The program's own boxes: its dialog-class windows other than the main dialog.
  test_support::BoxScope Boxes() const { return {processId_, dialog_}; }
  // Waits (at most `limitMs`) for a box, reads it and presses OK.
  std::optional<test_support::SeenBox> AnswerBox(DWORD limitMs = 15000) const;

 private:
  PROCESS_INFORMATION process_{};
  DWORD processId_ = 0;
  HWND dialog_ = nullptr;
};

}  // namespace zorn::test
