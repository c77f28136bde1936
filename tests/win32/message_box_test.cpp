// The message box as the user sees it: a watcher thread in this process finds the box, reads its
// caption and text, and presses OK, the way a user would.

#include <windows.h>

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <optional>
#include <string>
#include <thread>

#include "service_object/win32/message_box.h"

namespace varnel {
namespace {

struct SeenBox {
  std::wstring caption;
  std::wstring text;
  bool has_ok_button = false;
  bool has_cancel_button = false;
};

// Watches for one visible dialog-class window (#32770, the class of message boxes) owned by this
// process, records it and dismisses it with OK. Gives up after `timeout_ms`.
class MessageBoxWatcher {
 public:
  explicit MessageBoxWatcher(DWORD timeout_ms) : thread_([this, timeout_ms] { watch(timeout_ms); }) {}
  ~MessageBoxWatcher() { finish(); }
  MessageBoxWatcher(const MessageBoxWatcher&) = delete;
  MessageBoxWatcher& operator=(const MessageBoxWatcher&) = delete;

  // True once the box has been read and OK pressed.
  bool dismissed() const { return dismissed_.load(); }

  std::optional<SeenBox> finish() {
    if (thread_.joinable()) thread_.join();
    return seen_;
  }

 private:
  static BOOL CALLBACK find_box(HWND window, LPARAM found) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    std::array<wchar_t, 16> class_name{};
    if (process == GetCurrentProcessId() && IsWindowVisible(window) &&
        GetClassNameW(window, class_name.data(), static_cast<int>(class_name.size())) > 0 &&
        std::wstring_view(class_name.data()) == L"#32770") {
      // EnumWindows hands our pointer back as an integer.
      *reinterpret_cast<HWND*>(found) = window;  // NOLINT(performance-no-int-to-ptr)
      return FALSE;
    }
    return TRUE;
  }

  void watch(DWORD timeout_ms) {
    const ULONGLONG deadline = GetTickCount64() + timeout_ms;
    while (GetTickCount64() < deadline) {
      HWND box = nullptr;
      EnumWindows(find_box, reinterpret_cast<LPARAM>(&box));
      if (box != nullptr) {
        SeenBox seen;
        std::array<wchar_t, 1024> buffer{};
        GetWindowTextW(box, buffer.data(), static_cast<int>(buffer.size()));
        seen.caption = buffer.data();
        buffer.fill(L'\0');
        GetDlgItemTextW(box, 0xFFFF, buffer.data(), static_cast<int>(buffer.size()));
        seen.text = buffer.data();
        const auto visible = [box](int id) {
          HWND button = GetDlgItem(box, id);
          return button != nullptr && IsWindowVisible(button);
        };
        seen.has_ok_button = visible(IDOK);
        seen.has_cancel_button = visible(IDCANCEL);
        seen_ = seen;
        dismissed_.store(true);
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        return;
      }
      Sleep(20);
    }
  }

  std::optional<SeenBox> seen_;
  std::atomic<bool> dismissed_{false};
  std::thread thread_;
};

TEST(Win32MessageBox, ShowsTheTextUnderTheProgramsNameAndWaitsForOk) {
  const std::u16string texts[] = {
      u"Register Open Error",
      u"COM12 Open Error !",
      u"File open error...",
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
    EXPECT_EQ(seen->caption, L"" KIT_TEST_PROGRAM_NAME) << "caption is the module's file name without extension";
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
