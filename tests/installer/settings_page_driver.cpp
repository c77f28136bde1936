// Drives the setup program's settings page from another process, as a person would: reads what
// the page offers, types a name that must be refused and reads the message box that says so,
// types the name of another service object's device and answers No to the question whether to
// replace it, then types a good name, picks a port and a speed, installs, and closes the
// finished program.
//
//   settings_page_driver.exe BAD_NAME TAKEN_NAME GOOD_NAME PORT_ENTRY SPEED_ENTRY
//
// Prints one line per step for the test to compare:
//   page: name=<name field> port=<port list> speed=<speed list>
//   refused: <text of the message box>
//   asked: <text of the question>
//   finished: <text of the button that closes the program>
// Exit code 0 when every step happened, 1 (with the step on stderr) when one did not within a
// minute, 2 on a wrong command line.

#include <windows.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>

namespace {

constexpr auto kStepTimeout = std::chrono::seconds(60);
constexpr auto kPollInterval = std::chrono::milliseconds(50);
// The dialog class of the setup program's window and of its message boxes.
constexpr const wchar_t* kDialogClass = L"#32770";
// The setup program's Next / Install / Close button.
constexpr int kNextButton = 1;
// The text control of a message box.
constexpr int kMessageBoxText = 0xFFFF;

// Control text through WM_GETTEXT, which also reaches controls of another process.
std::wstring text_of(HWND window) {
  std::array<wchar_t, 1024> buffer{};
  SendMessageW(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()));
  return buffer.data();
}

std::string narrow(const std::wstring& text) {
  std::string out;
  for (const wchar_t c : text) out.push_back(c < 0x80 ? static_cast<char>(c) : '?');
  return out;
}

bool has_class(HWND window, const wchar_t* class_name) {
  std::array<wchar_t, 64> buffer{};
  return GetClassNameW(window, buffer.data(), static_cast<int>(buffer.size())) > 0 &&
         std::wstring(buffer.data()) == class_name;
}

// Polls `found` until it answers a window, or says which step did not happen and answers null
// when the step's time is up.
HWND wait_for(const char* step, const std::function<HWND()>& found) {
  const auto deadline = std::chrono::steady_clock::now() + kStepTimeout;
  while (std::chrono::steady_clock::now() < deadline) {
    if (HWND window = found()) return window;
    std::this_thread::sleep_for(kPollInterval);
  }
  std::fprintf(stderr, "settings page driver: gave up waiting for %s\n", step);
  return nullptr;
}

struct TopLevelSearch {
  DWORD process = 0;  // 0: any process
  HWND exclude = nullptr;
  bool want_page = false;  // a window with an edit field (the setup window on its settings page)
  HWND found = nullptr;
};

BOOL CALLBACK find_descendant_edit(HWND window, LPARAM out) {
  if (!has_class(window, L"Edit")) return TRUE;
  // EnumChildWindows hands our pointer back as an integer.
  *reinterpret_cast<HWND*>(out) = window;  // NOLINT(performance-no-int-to-ptr)
  return FALSE;
}

HWND edit_field_of(HWND window) {
  HWND edit = nullptr;
  EnumChildWindows(window, find_descendant_edit, reinterpret_cast<LPARAM>(&edit));
  return edit;
}

BOOL CALLBACK find_top_level(HWND window, LPARAM out) {
  auto& search = *reinterpret_cast<TopLevelSearch*>(out);  // NOLINT(performance-no-int-to-ptr)
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (window == search.exclude || !IsWindowVisible(window) || !has_class(window, kDialogClass)) return TRUE;
  if (search.process != 0 && process != search.process) return TRUE;
  if (search.want_page && edit_field_of(window) == nullptr) return TRUE;
  search.found = window;
  return FALSE;
}

HWND find_window(TopLevelSearch search) {
  EnumWindows(find_top_level, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// The n-th (from 0) combo box on the page, in the order the page made them.
HWND combo_box(HWND setup, int n) {
  HWND page = GetParent(edit_field_of(setup));
  HWND combo = nullptr;
  for (int i = 0; i <= n; ++i) combo = FindWindowExW(page, combo, L"ComboBox", nullptr);
  return combo;
}

// Selects the entry with `text` the way a person does: by its position in the list.
bool select_entry(HWND combo, const std::wstring& text) {
  const auto count = SendMessageW(combo, CB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    std::array<wchar_t, 256> entry{};
    if (SendMessageW(combo, CB_GETLBTEXTLEN, i, 0) >= static_cast<LRESULT>(entry.size())) continue;
    SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(entry.data()));
    if (text == entry.data()) return SendMessageW(combo, CB_SETCURSEL, i, 0) == i;
  }
  return false;
}

// A click on a button of `window`: the notification the button sends its dialog.
void click(HWND window, int button) {
  PostMessageW(window, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(window, button)));
}

void print_line(const char* label, const std::string& text) {
  std::printf("%s: %s\n", label, text.c_str());
  std::fflush(stdout);
}

// Types a name the page must not take as it is, reads the message box that says so (printed
// after `label`), and dismisses it with `answer`.
bool enter_name_met_by_a_box(HWND setup, DWORD process, const std::wstring& name, const char* label,
                             int answer) {
  SendMessageW(edit_field_of(setup), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(name.c_str()));
  click(setup, kNextButton);
  HWND box = wait_for("the message box about the name",
                      [&] { return find_window({.process = process, .exclude = setup}); });
  if (box == nullptr) return false;
  print_line(label, narrow(text_of(GetDlgItem(box, kMessageBoxText))));
  click(box, answer);
  return wait_for("the message box to close", [&] { return IsWindow(box) ? nullptr : setup; }) != nullptr;
}

// Fills the page with good settings and installs; answers the button that then closes.
HWND install(HWND setup, const std::wstring& name, const std::wstring& port, const std::wstring& speed) {
  SendMessageW(edit_field_of(setup), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(name.c_str()));
  if (!select_entry(combo_box(setup, 0), port) || !select_entry(combo_box(setup, 1), speed)) {
    std::fprintf(stderr, "settings page driver: the lists offer no entry %s or %s\n", narrow(port).c_str(),
                 narrow(speed).c_str());
    return nullptr;
  }
  click(setup, kNextButton);
  // When the installation is over, the button that went on becomes the one that closes.
  return wait_for("the installation to finish", [&] {
    HWND button = GetDlgItem(setup, kNextButton);
    return IsWindowEnabled(button) && text_of(button).find(L"Close") != std::wstring::npos ? button : nullptr;
  });
}

bool close_setup(HWND setup, HWND close) {
  // The button shows "Close" a moment before the program takes the click; a person whose
  // click did nothing clicks again.
  auto next_click = std::chrono::steady_clock::now();
  return wait_for("the setup program to close", [&]() -> HWND {
           if (!IsWindow(setup)) return close;
           if (std::chrono::steady_clock::now() >= next_click) {
             click(setup, kNextButton);
             next_click += std::chrono::seconds(1);
           }
           return nullptr;
         }) != nullptr;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 6) {
    std::fprintf(stderr,
                 "usage: settings_page_driver BAD_NAME TAKEN_NAME GOOD_NAME PORT_ENTRY SPEED_ENTRY\n");
    return 2;
  }
  HWND setup = wait_for("the settings page", [] { return find_window({.want_page = true}); });
  if (setup == nullptr) return 1;
  DWORD process = 0;
  GetWindowThreadProcessId(setup, &process);
  std::printf("page: name=%s port=%s speed=%s\n", narrow(text_of(edit_field_of(setup))).c_str(),
              narrow(text_of(combo_box(setup, 0))).c_str(), narrow(text_of(combo_box(setup, 1))).c_str());
  std::fflush(stdout);

  if (!enter_name_met_by_a_box(setup, process, argv[1], "refused", IDOK)) return 1;
  if (!enter_name_met_by_a_box(setup, process, argv[2], "asked", IDNO)) return 1;
  HWND close = install(setup, argv[3], argv[4], argv[5]);
  if (close == nullptr) return 1;
  print_line("finished", narrow(text_of(close)));
  return close_setup(setup, close) ? 0 : 1;
}
