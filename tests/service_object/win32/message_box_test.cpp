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

}  // namespace
}  // namespace varnel
