#pragma once
// ZornTest.exe run as a technician runs it, driven from this process: its form found among the
// top-level windows, its controls reached by their identifiers, clicks posted the way a click
// arrives, texts read and written with window messages, its start-up message boxes read and
// answered. Every wait is bounded.

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "shared/win32/unique_handle.h"
#include "tests/support/message_box_watcher.h"

namespace kit::tester_test {

// A Unix path (as CMake gives it) as a Windows program under Wine sees it: on drive Z:.
std::wstring WindowsPath(const char* unix_path);

// A library registered through its own DllRegisterServer while the object lives, and
// unregistered afterwards.
class RegisteredServer {
 public:
  explicit RegisteredServer(const std::wstring& path);
  ~RegisteredServer();
  RegisteredServer(const RegisteredServer&) = delete;
  RegisteredServer& operator=(const RegisteredServer&) = delete;
  [[nodiscard]] bool registered() const { return registered_; }

 private:
  HRESULT call(const char* entry) const;
  HMODULE library_ = nullptr;
  bool registered_ = false;
};

// A message box as the user meets it, and whether it shows an icon (which one cannot be told
// from another process: icon handles are the process's own).
struct StartupBox {
  test_support::SeenBox box;
  bool has_icon = false;
};

class TesterProcess {
 public:
  // Starts the program; nothing when it cannot be started.
  static std::optional<TesterProcess> start(const std::wstring& exe_path);
  ~TesterProcess();
  TesterProcess(TesterProcess&&) noexcept = default;
  TesterProcess& operator=(TesterProcess&&) noexcept = default;
  TesterProcess(const TesterProcess&) = delete;
  TesterProcess& operator=(const TesterProcess&) = delete;

  // Waits until the form is shown, reading and answering (OK) every message box that comes
  // before it. The form, or null when it did not show within `timeout_ms` (the boxes seen so far
  // are in start_boxes() all the same) or the program ended.
  HWND wait_for_form(DWORD timeout_ms = 30000);
  [[nodiscard]] const std::vector<StartupBox>& start_boxes() const { return boxes_; }

  // Waits for the program to end; its exit code, or nothing when it still runs.
  std::optional<DWORD> wait_for_exit(DWORD timeout_ms = 30000);

  [[nodiscard]] HWND form() const { return form_; }
  [[nodiscard]] HWND control(int id) const { return GetDlgItem(form_, id); }
  [[nodiscard]] DWORD process_id() const { return process_id_; }

  std::wstring text(int id) const;
  void set_text(int id, const std::wstring& text) const;
  [[nodiscard]] bool enabled(int id) const { return IsWindowEnabled(control(id)) != FALSE; }
  [[nodiscard]] bool visible(int id) const { return IsWindowVisible(control(id)) != FALSE; }
  std::vector<std::wstring> items(int combo_id) const;
  int selection(int combo_id) const;
  // Selects an item as the mouse does: the selection, then the notification to the form.
  void select(int combo_id, int index) const;
  // Types `text` into a combo box's edit field, character by character.
  void type_into_combo(int combo_id, const std::wstring& text) const;

  // Clicks the button as a user does (posted BM_CLICK) after emptying the status box, and waits
  // until the form has written a status; the status, or nothing after `timeout_ms`.
  std::optional<std::wstring> press(int button_id, DWORD timeout_ms = 30000) const;
  // Clicks without waiting for anything.
  void click(int button_id) const;
  // The close box.
  void close() const;

 private:
  TesterProcess(HANDLE process, DWORD process_id) : process_(process), process_id_(process_id) {}
  HWND find_form() const;

  kit::win32::UniqueKernelHandle process_;
  DWORD process_id_ = 0;
  HWND form_ = nullptr;
  std::vector<StartupBox> boxes_;
};

}  // namespace kit::tester_test
