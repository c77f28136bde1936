#include "tests/support/tester_process.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "tester/core/form_controls.h"
#include "tests/support/process_window.h"

namespace kit::tester_test {
namespace {

// Every message to the other process gives up after this long: a hung program fails the test
// instead of holding it.
constexpr UINT kMessageTimeoutMs = 20000;
constexpr DWORD kPollMs = 20;

LRESULT send(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  DWORD_PTR answer = 0;
  if (SendMessageTimeoutW(window, message, wparam, lparam, SMTO_ABORTIFHUNG, kMessageTimeoutMs, &answer) ==
      0) {
    return -1;
  }
  return static_cast<LRESULT>(answer);
}

// Whether a message box shows an icon: a visible static control of style SS_ICON holding one.
bool shows_icon(HWND box) {
  for (HWND child = GetWindow(box, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    std::array<wchar_t, 16> class_name{};
    GetClassNameW(child, class_name.data(), static_cast<int>(class_name.size()));
    const auto style = static_cast<DWORD>(GetWindowLongPtrW(child, GWL_STYLE));
    if (_wcsicmp(class_name.data(), L"Static") == 0 && (style & SS_TYPEMASK) == SS_ICON &&
        IsWindowVisible(child)) {
      return send(child, STM_GETICON, 0, 0) != 0;
    }
  }
  return false;
}

}  // namespace

std::wstring WindowsPath(const char* unix_path) {
  std::wstring path = L"Z:";
  for (const char* c = unix_path; *c != '\0'; ++c)
    path.push_back(*c == '/' ? L'\\' : static_cast<wchar_t>(*c));
  return path;
}

RegisteredServer::RegisteredServer(const std::wstring& path) : library_(LoadLibraryW(path.c_str())) {
  registered_ = library_ != nullptr && call("DllRegisterServer") == S_OK;
}

RegisteredServer::~RegisteredServer() {
  if (registered_) call("DllUnregisterServer");
  if (library_ != nullptr) FreeLibrary(library_);
}

HRESULT RegisteredServer::call(const char* entry) const {
  using Entry = HRESULT(STDAPICALLTYPE*)();
  const auto function = reinterpret_cast<Entry>(reinterpret_cast<void*>(GetProcAddress(library_, entry)));
  return function == nullptr ? E_NOTIMPL : function();
}

std::optional<TesterProcess> TesterProcess::start(const std::wstring& exe_path) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started{};
  std::wstring command_line = L"\"" + exe_path + L"\"";
  if (!CreateProcessW(exe_path.c_str(), command_line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &started)) {
    return std::nullopt;
  }
  CloseHandle(started.hThread);
  return TesterProcess(started.hProcess, started.dwProcessId);
}

TesterProcess::~TesterProcess() {
  // A program a test left running is ended, so that it cannot hold the next test's instance.
  if (process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT) {
    TerminateProcess(process_.get(), 99);
    WaitForSingleObject(process_.get(), 10000);
  }
}

HWND TesterProcess::find_form() const {
  const std::u16string_view caption = zorntest::kFormCaption;
  return test_support::find_process_window(process_id_, std::wstring(caption.begin(), caption.end()));
}

HWND TesterProcess::wait_for_form(DWORD timeout_ms) {
  const ULONGLONG deadline = GetTickCount64() + timeout_ms;
  std::vector<HWND> answered;
  while (GetTickCount64() < deadline) {
    if ((form_ = find_form()) != nullptr) return form_;
    HWND box = test_support::find_message_box({process_id_});
    if (box != nullptr) {
      // A box already answered may stay visible for a moment: it is not read twice.
      if (std::find(answered.begin(), answered.end(), box) == answered.end()) {
        answered.push_back(box);
        boxes_.push_back({test_support::read_message_box(box), shows_icon(box)});
      }
      PostMessageW(box, WM_COMMAND, IDOK, 0);
    }
    if (WaitForSingleObject(process_.get(), kPollMs) == WAIT_OBJECT_0) return nullptr;
  }
  return nullptr;
}

std::optional<DWORD> TesterProcess::wait_for_exit(DWORD timeout_ms) {
  if (WaitForSingleObject(process_.get(), timeout_ms) != WAIT_OBJECT_0) return std::nullopt;
  DWORD code = 0;
  GetExitCodeProcess(process_.get(), &code);
  return code;
}

std::wstring TesterProcess::text(int id) const {
  std::array<wchar_t, 512> buffer{};
  const LRESULT length =
      send(control(id), WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()));
  return length > 0 ? std::wstring(buffer.data(), static_cast<std::size_t>(length)) : std::wstring();
}

void TesterProcess::set_text(int id, const std::wstring& text) const {
  send(control(id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

std::vector<std::wstring> TesterProcess::items(int combo_id) const {
  std::vector<std::wstring> items;
  const LRESULT count = send(control(combo_id), CB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    std::array<wchar_t, 256> buffer{};
    if (send(control(combo_id), CB_GETLBTEXTLEN, i, 0) >= static_cast<LRESULT>(buffer.size())) {
      items.emplace_back(L"<too long>");
      continue;
    }
    send(control(combo_id), CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(buffer.data()));
    items.emplace_back(buffer.data());
  }
  return items;
}

int TesterProcess::selection(int combo_id) const {
  return static_cast<int>(send(control(combo_id), CB_GETCURSEL, 0, 0));
}

void TesterProcess::select(int combo_id, int index) const {
  send(control(combo_id), CB_SETCURSEL, index, 0);
  send(form_, WM_COMMAND, MAKEWPARAM(combo_id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(control(combo_id)));
}

void TesterProcess::type_into_combo(int combo_id, const std::wstring& text) const {
  // The edit field is the combo box's child window.
  HWND edit = FindWindowExW(control(combo_id), nullptr, L"Edit", nullptr);
  send(edit, EM_SETSEL, 0, -1);
  for (const wchar_t c : text) send(edit, WM_CHAR, c, 1);
}

void TesterProcess::click(int button_id) const { PostMessageW(control(button_id), BM_CLICK, 0, 0); }

std::optional<std::wstring> TesterProcess::press(int button_id, DWORD timeout_ms) const {
  set_text(zorntest::control_id::kText5, L"");
  click(button_id);
  // The form answers messages only between two of its operations, so the status read is the
  // one the whole press left.
  const ULONGLONG deadline = GetTickCount64() + timeout_ms;
  while (GetTickCount64() < deadline) {
    std::wstring status = text(zorntest::control_id::kText5);
    if (!status.empty()) return status;
    Sleep(kPollMs);
  }
  return std::nullopt;
}

void TesterProcess::close() const { PostMessageW(form_, WM_CLOSE, 0, 0); }

}  // namespace kit::tester_test
