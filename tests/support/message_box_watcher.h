#pragma once
// Message boxes as the user sees them: a watcher thread in the test process finds each box,
// reads its caption and text, and presses OK, the way a user would. Works for boxes raised
// inside a DLL the process has loaded.

#include <windows.h>

#include <array>
#include <atomic>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace test_support {

struct SeenBox {
  std::wstring caption;
  std::wstring text;
  bool has_ok_button = false;
  bool has_cancel_button = false;
};

// What find_message_box looks for, and what it found.
struct MessageBoxSearch {
  DWORD process = 0;
  HWND found = nullptr;
};

// EnumWindows callback: stops at the first visible #32770 window of the searched process.
inline BOOL CALLBACK find_message_box_callback(HWND window, LPARAM out) {
  // EnumWindows hands our pointer back as an integer.
  auto* search = reinterpret_cast<MessageBoxSearch*>(out);  // NOLINT(performance-no-int-to-ptr)
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  std::array<wchar_t, 16> class_name{};
  if (process == search->process && IsWindowVisible(window) &&
      GetClassNameW(window, class_name.data(), static_cast<int>(class_name.size())) > 0 &&
      std::wstring_view(class_name.data()) == L"#32770") {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

// A visible message box (a #32770 window) of `process` (by default this one), or null. Boxes of
// another process are read and dismissed the same way: their text is asked for with messages.
inline HWND find_message_box(DWORD process = GetCurrentProcessId()) {
  MessageBoxSearch search{process, nullptr};
  EnumWindows(find_message_box_callback, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// What the user sees in `box`: caption, text and buttons.
inline SeenBox read_message_box(HWND box) {
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
  return seen;
}

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
  void watch(DWORD timeout_ms) {
    const ULONGLONG deadline = GetTickCount64() + timeout_ms;
    while (GetTickCount64() < deadline) {
      HWND box = find_message_box();
      if (box != nullptr) {
        seen_.push_back(read_message_box(box));
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

// Watches from its own thread for message boxes of this process, records each and presses OK,
// until stop(). Nothing a test does can leave a box waiting for a user.
class MessageBoxCollector {
 public:
  MessageBoxCollector() : thread_([this] { watch(); }) {}
  ~MessageBoxCollector() { stop(); }
  MessageBoxCollector(const MessageBoxCollector&) = delete;
  MessageBoxCollector& operator=(const MessageBoxCollector&) = delete;

  // Every box seen so far (a shown box is always answered before the call that showed it
  // returns, so after that call it is here).
  std::vector<SeenBox> seen() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return seen_;
  }
  void clear() {
    const std::lock_guard<std::mutex> lock(mutex_);
    seen_.clear();
  }
  void stop() {
    running_.store(false);
    if (thread_.joinable()) thread_.join();
  }

 private:
  void watch() {
    // A box already answered may stay visible for a moment: it is pressed again, not recorded again.
    std::set<HWND> answered;
    while (running_.load()) {
      HWND box = find_message_box();
      if (box == nullptr) {
        Sleep(20);
        continue;
      }
      if (answered.insert(box).second) {
        SeenBox seen = read_message_box(box);
        const std::lock_guard<std::mutex> lock(mutex_);
        seen_.push_back(std::move(seen));
      }
      PostMessageW(box, WM_COMMAND, IDOK, 0);
      Sleep(20);
    }
  }

  mutable std::mutex mutex_;
  std::vector<SeenBox> seen_;
  std::atomic<bool> running_{true};
  std::thread thread_;
};

}  // namespace test_support
