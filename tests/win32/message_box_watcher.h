#pragma once
// Message boxes as the user sees them: a watcher thread in the test process finds each box,
// reads its caption and text, and presses OK, the way a user would. Works for boxes raised
// inside a DLL the process has loaded.

#include <windows.h>

#include <array>
#include <atomic>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace varnel::test {

struct SeenBox {
  std::wstring caption;
  std::wstring text;
  bool has_ok_button = false;
  bool has_cancel_button = false;
};

// Watches for visible dialog-class windows (#32770, the class of message boxes) owned by this
// process, records each and dismisses it with OK, until `count` boxes were seen or `timeout_ms`
// has passed.
class MessageBoxWatcher {
 public:
  explicit MessageBoxWatcher(DWORD timeout_ms, std::size_t count = 1)
      : count_(count), thread_([this, timeout_ms] { watch(timeout_ms); }) {}
  ~MessageBoxWatcher() { finish(); }
  MessageBoxWatcher(const MessageBoxWatcher&) = delete;
  MessageBoxWatcher& operator=(const MessageBoxWatcher&) = delete;

  // True once a box has been read and OK pressed.
  bool dismissed() const { return dismissed_.load(); }

  // Waits for the watch to end; the first box seen, if any.
  std::optional<SeenBox> finish() {
    const std::vector<SeenBox> all = finish_all();
    if (all.empty()) return std::nullopt;
    return all.front();
  }

  // Waits for the watch to end; every box seen, in order.
  std::vector<SeenBox> finish_all() {
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
        seen_.push_back(seen);
        dismissed_.store(true);
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        if (seen_.size() == count_) return;
        // The box goes away when its owner handles the click: wait for that before looking
        // again, or the same box would be counted twice.
        for (int i = 0; i < 100 && IsWindow(box) && IsWindowVisible(box); ++i) Sleep(10);
        continue;
      }
      Sleep(20);
    }
  }

  const std::size_t count_;
  std::vector<SeenBox> seen_;
  std::atomic<bool> dismissed_{false};
  std::thread thread_;
};

}  // namespace varnel::test
