// The message box as the user sees it: a watcher thread in this process finds the box, reads its
// caption and text, and presses OK, the way a user would.

#include "service_object/win32/message_box.h"

#include <windows.h>
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "tests/support/message_box_watcher.h"

namespace varnel {
namespace {

using test_support::MessageBoxWatcher;
using test_support::SeenBox;

TEST(Win32MessageBox, ShowsTheTextUnderTheProgramsNameAndWaitsForOk) {
  const std::u16string texts[] = {
      u"Register Open Error", u"COM12 Open Error !", u"File open error...",
      u"\u00c4nderung \u20ac 100",  // UTF-16 beyond ASCII arrives unchanged
  };
  for (const std::u16string& text : texts) {
    MessageBoxWatcher watcher(5000);
    Win32MessageBox().show(text);
    // show() is modal: by the time it returns, the box has been seen and dismissed.
    EXPECT_TRUE(watcher.dismissed()) << "show() returned before its box was answered";
    const std::optional<SeenBox> seen = watcher.finish();
    ASSERT_TRUE(seen.has_value()) << "no message box appeared";
    EXPECT_EQ(seen->text, std::wstring(text.begin(), text.end()));
    EXPECT_EQ(seen->caption, L"" KIT_TEST_PROGRAM_NAME)
        << "caption is the module's file name without extension";
    EXPECT_TRUE(seen->has_ok_button);
    EXPECT_FALSE(seen->has_cancel_button);
  }
}

// In the shipped library the caption is the DLL's name, not the host program's.
TEST(Win32MessageBox, CaptionNamesTheDllHoldingTheCodeNotTheProgram) {
  struct LibraryOwner {
    HMODULE module;
    ~LibraryOwner() {
      if (module != nullptr) FreeLibrary(module);
    }
  } library{LoadLibraryW(L"" KIT_PROBE_DLL_FILE)};
  ASSERT_NE(library.module, nullptr) << "cannot load " KIT_PROBE_DLL_FILE ", error " << GetLastError();
  using ShowFunction = void (*)(const char16_t*);
  // Through void*: FARPROC and the real signature are unrelated function types.
  const auto show = reinterpret_cast<ShowFunction>(
      reinterpret_cast<void*>(GetProcAddress(library.module, "show_message_box_from_dll")));
  ASSERT_NE(show, nullptr);

  MessageBoxWatcher watcher(5000);
  show(u"Comport Read Error");
  const std::optional<SeenBox> seen = watcher.finish();
  ASSERT_TRUE(seen.has_value()) << "no message box appeared";
  EXPECT_EQ(seen->caption, L"" KIT_PROBE_DLL_NAME);
  EXPECT_EQ(seen->text, L"Comport Read Error");
}

// What the test surroundings below were asked to record.
std::vector<std::pair<std::wstring, std::wstring>>& recorded() {
  static std::vector<std::pair<std::wstring, std::wstring>> entries;
  return entries;
}

Win32MessageBox::Surroundings nobody_there() {
  return {[] { return false; },
          [](std::wstring_view source, std::wstring_view text) {
            recorded().emplace_back(source, text);
            return false;  // the log may refuse: the call goes on all the same
          }};
}

// Where nobody can answer a box, the text goes to the event log and show() returns at once.
TEST(Win32MessageBox, WithNobodyToAnswerRecordsTheTextAndShowsNoBox) {
  recorded().clear();
  MessageBoxWatcher watcher(500);
  Win32MessageBox(nobody_there()).show(u"Register Open Error");
  Win32MessageBox(nobody_there()).show(u"COM7 Open Error !");
  EXPECT_FALSE(watcher.finish().has_value()) << "a box appeared with nobody to answer it";
  const std::vector<std::pair<std::wstring, std::wstring>> expected = {{L"VARNEL", L"Register Open Error"},
                                                                       {L"VARNEL", L"COM7 Open Error !"}};
  EXPECT_EQ(recorded(), expected);
}

// The process's window station decides: the visible one has someone to answer, a station of
// the process's own making (as a service gets) has not, and there show() neither hangs nor
// shows anything.
TEST(Win32InteractiveSession, AHiddenWindowStationHasNobodyToAnswer) {
  EXPECT_TRUE(win32::someone_can_answer_a_box()) << "the test runs on the visible window station";
  HWINSTA visible = GetProcessWindowStation();
  const std::wstring name = L"KitHiddenStation" + std::to_wstring(GetCurrentProcessId());
  // CreateWindowStationW: a handle, or null. A new station is never the visible one.
  HWINSTA hidden = CreateWindowStationW(name.c_str(), 0, WINSTA_ALL_ACCESS, nullptr);
  ASSERT_NE(hidden, nullptr) << "error " << GetLastError();
  ASSERT_TRUE(SetProcessWindowStation(hidden));
  const bool answerable = win32::someone_can_answer_a_box();
  Win32MessageBox().show(u"Baudrate Read Error");  // returns: nothing waits for a person
  const bool logged = win32::record_in_event_log(win32::kEventSource, L"kit test entry");
  EXPECT_TRUE(SetProcessWindowStation(visible));
  CloseWindowStation(hidden);
  EXPECT_FALSE(answerable);
  EXPECT_TRUE(logged) << "the Application log refused the entry";
  EXPECT_TRUE(win32::someone_can_answer_a_box());
}

}  // namespace
}  // namespace varnel
