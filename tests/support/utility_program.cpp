#include "tests/support/utility_program.h"

#include <array>
#include <string_view>

#include "tests/support/process_window.h"
#include "tests/support/simulator_link.h"

namespace zorn::test {
namespace {

constexpr DWORD kStartLimitMs = 30000;
constexpr DWORD kSendLimitMs = 10000;
constexpr const wchar_t* kCaption = L"Zorn Utility Ver 2.03";

// The test's environment with PATH starting at `folder`, as a block for CreateProcessW.
std::wstring EnvironmentWithPathFirst(const std::wstring& folder) {
  std::wstring block;
  const LPWCH strings = GetEnvironmentStringsW();
  bool pathSeen = false;
  for (const wchar_t* entry = strings; *entry != L'\0'; entry += std::wstring_view(entry).size() + 1) {
    std::wstring line(entry);
    if (_wcsnicmp(line.c_str(), L"PATH=", 5) == 0) {
      line.insert(5, folder + L";");
      pathSeen = true;
    }
    block += line;
    block.push_back(L'\0');
  }
  FreeEnvironmentStringsW(strings);
  if (!pathSeen) {
    block += L"PATH=" + folder;
    block.push_back(L'\0');
  }
  block.push_back(L'\0');
  return block;
}

LRESULT SendBounded(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  DWORD_PTR result = 0;
  // SendMessageTimeoutW: zero when the window did not answer in time.
  SendMessageTimeoutW(window, message, wParam, lParam, SMTO_NORMAL, kSendLimitMs, &result);
  return static_cast<LRESULT>(result);
}

}  // namespace

HWND UtilityProgram::FindDialog(DWORD processId) {
  return test_support::find_process_window(processId, kCaption);
}

std::wstring UtilityProgram::ProgramPath() {
  const std::string unixPath = KIT_ZORN_UTILITY_EXE;
  return test_support::windows_path_of_unix_path(std::wstring(unixPath.begin(), unixPath.end()));
}

UtilityProgram::UtilityProgram(const Options& options) {
  std::wstring commandLine = L"\"" + ProgramPath() + L"\"";
  std::wstring environment;
  if (!options.pathFirst.empty()) environment = EnvironmentWithPathFirst(options.pathFirst);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT,
                      environment.empty() ? nullptr : environment.data(),
                      options.workDirectory.empty() ? nullptr : options.workDirectory.c_str(), &startup,
                      &process_)) {
    return;
  }
  processId_ = process_.dwProcessId;
  const ULONGLONG deadline = GetTickCount64() + kStartLimitMs;
  while (dialog_ == nullptr && GetTickCount64() < deadline) {
    dialog_ = FindDialog(processId_);
    if (dialog_ == nullptr && WaitForSingleObject(process_.hProcess, 20) == WAIT_OBJECT_0) break;
  }
}

UtilityProgram::~UtilityProgram() {
  if (process_.hProcess == nullptr) return;
  if (!WaitForExit(0)) {
    // Boxes first, so that the cancel reaches a dialog that is not waiting for an answer.
    const test_support::MessageBoxCollector answer(Boxes());
    if (dialog_ != nullptr) Post(WM_COMMAND, IDCANCEL, 0);
    if (!WaitForExit(10000)) TerminateProcess(process_.hProcess, 1);
  }
  WaitForSingleObject(process_.hProcess, 5000);
  CloseHandle(process_.hThread);
  CloseHandle(process_.hProcess);
}

std::optional<DWORD> UtilityProgram::WaitForExit(DWORD limitMs) const {
  if (process_.hProcess == nullptr || WaitForSingleObject(process_.hProcess, limitMs) != WAIT_OBJECT_0) {
    return std::nullopt;
  }
  DWORD code = 0;
  GetExitCodeProcess(process_.hProcess, &code);
  return code;
}

HWND UtilityProgram::Control(int id) const { return GetDlgItem(dialog_, id); }

void UtilityProgram::Select(int listId, int index) const {
  const HWND list = Control(listId);
  SendBounded(list, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
  SendBounded(dialog_, WM_COMMAND, MAKEWPARAM(listId, CBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
}

void UtilityProgram::Type(int editId, const std::wstring& text) const {
  SendBounded(Control(editId), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void UtilityProgram::Click(int buttonId) const { PostMessageW(Control(buttonId), BM_CLICK, 0, 0); }

void UtilityProgram::Post(UINT message, WPARAM wParam, LPARAM lParam) const {
  PostMessageW(dialog_, message, wParam, lParam);
}

bool UtilityProgram::Enabled(int id) const { return IsWindowEnabled(Control(id)) != FALSE; }

bool UtilityProgram::WaitUntilEnabled(int id, bool enabled, DWORD limitMs) const {
  const ULONGLONG deadline = GetTickCount64() + limitMs;
  while (Enabled(id) != enabled) {
    if (GetTickCount64() >= deadline) return false;
    Sleep(10);
  }
  return true;
}

int UtilityProgram::SelectedIndex(int listId) const {
  return static_cast<int>(SendBounded(Control(listId), CB_GETCURSEL, 0, 0));
}

std::vector<std::wstring> UtilityProgram::ListEntries(int listId) const {
  const HWND list = Control(listId);
  const auto count = static_cast<int>(SendBounded(list, CB_GETCOUNT, 0, 0));
  std::vector<std::wstring> entries;
  for (int index = 0; index < count; ++index) {
    std::array<wchar_t, 256> text{};
    if (SendBounded(list, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0) >=
        static_cast<LRESULT>(text.size())) {
      entries.emplace_back(L"(too long)");
      continue;
    }
    SendBounded(list, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
    entries.emplace_back(text.data());
  }
  return entries;
}

std::wstring UtilityProgram::Text(HWND window) {
  // From another process the text must be asked for with WM_GETTEXT.
  std::array<wchar_t, 512> text{};
  SendBounded(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
  return text.data();
}

std::optional<test_support::SeenBox> UtilityProgram::AnswerBox(DWORD limitMs) const {
  return test_support::MessageBoxWatcher(limitMs, 1, Boxes()).finish();
}

}  // namespace zorn::test
