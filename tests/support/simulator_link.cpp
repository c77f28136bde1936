#include "tests/support/simulator_link.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <sstream>

#include "shared/win32/unique_handle.h"

namespace test_support {

// Wine shows the Unix root as drive Z:.
std::wstring windows_path_of_unix_path(const std::wstring& unix_path) {
  std::wstring path = L"Z:";
  for (wchar_t c : unix_path) path.push_back(c == L'/' ? L'\\' : c);
  return path;
}

namespace {

std::optional<std::string> read_whole_file(const std::wstring& path) {
  // Shared for writing: the simulator keeps appending while we read.
  const kit::win32::UniqueFileHandle file(CreateFileW(path.c_str(), GENERIC_READ,
                                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return std::nullopt;
  std::string content;
  char chunk[4096];
  DWORD got = 0;
  while (ReadFile(file.get(), chunk, sizeof chunk, &got, nullptr) && got > 0) content.append(chunk, got);
  return content;
}

// Starts a Unix program. Wine runs a native executable named by a path on drive Z: as a Unix
// process; its handle cannot be waited for, so callers watch for the program's effect instead.
bool start_unix_command(std::wstring command_line) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started{};
  if (!CreateProcessW(nullptr, command_line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &started)) {
    return false;
  }
  const kit::win32::UniqueKernelHandle process(started.hProcess);
  const kit::win32::UniqueKernelHandle thread(started.hThread);
  return true;
}

// The state letter of a Linux process from /proc/<pid>/stat ('T' when stopped).
char process_state(unsigned long pid) {
  const std::optional<std::string> stat = read_whole_file(L"Z:\\proc\\" + std::to_wstring(pid) + L"\\stat");
  if (!stat) return '?';
  const std::size_t name_end = stat->rfind(')');  // the program name may hold blanks
  if (name_end == std::string::npos || name_end + 2 >= stat->size()) return '?';
  return (*stat)[name_end + 2];
}

// Wine passes the Unix environment through to Windows programs.
std::optional<std::wstring> environment_variable(const std::wstring& name) {
  std::wstring value(1024, L'\0');
  const DWORD length = GetEnvironmentVariableW(name.c_str(), value.data(), static_cast<DWORD>(value.size()));
  if (length == 0 || length >= value.size()) return std::nullopt;
  value.resize(length);
  return value;
}

// Whether `signal_number` waits, blocked or not yet delivered, for the process: the SigPnd and
// ShdPnd masks of /proc/<pid>/status (bit n-1 for signal n).
bool signal_pending(unsigned long pid, int signal_number) {
  const std::optional<std::string> status =
      read_whole_file(L"Z:\\proc\\" + std::to_wstring(pid) + L"\\status");
  if (!status) return false;
  std::istringstream lines(*status);
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("SigPnd:", 0) != 0 && line.rfind("ShdPnd:", 0) != 0) continue;
    const unsigned long long mask = std::strtoull(line.c_str() + 7, nullptr, 16);
    if ((mask >> (signal_number - 1)) & 1u) return true;
  }
  return false;
}

constexpr int kSigusr1 = 10;  // Linux numbers

}  // namespace

std::optional<SimulatorLink> SimulatorLink::for_port(int port) {
  const std::wstring prefix = L"KIT_SIM_COM" + std::to_wstring(port);
  const std::optional<std::wstring> trace = environment_variable(prefix + L"_TRACE");
  const std::optional<std::wstring> state = environment_variable(prefix + L"_STATE");
  const std::optional<std::wstring> capture = environment_variable(prefix + L"_CAPTURE");
  const std::optional<std::wstring> pid = environment_variable(prefix + L"_PID");
  if (!trace || !pid) return std::nullopt;
  return SimulatorLink(windows_path_of_unix_path(*trace), state ? windows_path_of_unix_path(*state) : L"",
                       capture ? windows_path_of_unix_path(*capture) : L"",
                       std::wcstoul(pid->c_str(), nullptr, 10));
}

std::vector<std::string> SimulatorLink::trace() const {
  std::vector<std::string> lines;
  std::istringstream content(read_whole_file(trace_path_).value_or(""));
  for (std::string line; std::getline(content, line);) lines.push_back(line);
  return lines;
}

std::map<std::string, std::string> SimulatorLink::state() const {
  std::map<std::string, std::string> fields;
  std::istringstream content(read_whole_file(state_path_).value_or(""));
  for (std::string line; std::getline(content, line);) {
    const std::size_t equals = line.find('=');
    if (equals != std::string::npos) fields[line.substr(0, equals)] = line.substr(equals + 1);
  }
  return fields;
}

std::vector<std::string> SimulatorLink::wait_for_trace(std::size_t first, std::size_t count,
                                                       unsigned timeout_ms) const {
  const ULONGLONG deadline = GetTickCount64() + timeout_ms;
  std::vector<std::string> lines = trace();
  while (lines.size() < first + count && GetTickCount64() < deadline) {
    Sleep(10);
    lines = trace();
  }
  if (lines.size() <= first) return {};
  return std::vector<std::string>(lines.begin() + static_cast<std::ptrdiff_t>(first), lines.end());
}

bool SimulatorLink::wait_for_state(const std::string& key, const std::string& value,
                                   unsigned timeout_ms) const {
  const ULONGLONG deadline = GetTickCount64() + timeout_ms;
  for (;;) {
    const std::map<std::string, std::string> fields = state();
    if (const auto found = fields.find(key); found != fields.end() && found->second == value) return true;
    if (GetTickCount64() >= deadline) return false;
    Sleep(10);
  }
}

std::string SimulatorLink::capture() const { return read_whole_file(capture_path_).value_or(""); }

std::string SimulatorLink::wait_for_capture(std::size_t size, unsigned timeout_ms) const {
  const ULONGLONG deadline = GetTickCount64() + timeout_ms;
  std::string bytes = capture();
  while (bytes.size() < size && GetTickCount64() < deadline) {
    Sleep(10);
    bytes = capture();
  }
  return bytes;
}

bool SimulatorLink::pause() const { return signal_and_wait("STOP", true); }
bool SimulatorLink::resume() const { return signal_and_wait("CONT", false); }

bool SimulatorLink::send_signal(const char* signal) const {
  const std::wstring command =
      L"/bin/kill -" + std::wstring(signal, signal + std::strlen(signal)) + L" " + std::to_wstring(pid_);
  return start_unix_command(command);
}

bool SimulatorLink::trace_has_line_from(std::size_t first, std::string_view prefix) const {
  const std::vector<std::string> lines = trace();
  for (std::size_t i = first; i < lines.size(); ++i) {
    if (lines[i].rfind(prefix, 0) == 0) return true;
  }
  return false;
}

bool SimulatorLink::unplug() const {
  return signal_until("USR1", [this](std::size_t first) {
    return trace_has_line_from(first, "unplugged") ||
           (process_state(pid_) == 'T' && signal_pending(pid_, kSigusr1));
  });
}

bool SimulatorLink::plug_in() const {
  return signal_until("USR2", [this](std::size_t first) { return trace_has_line_from(first, "plugged in"); });
}

bool SimulatorLink::signal_and_wait(const char* signal, bool want_stopped) const {
  return signal_until(signal, [this, want_stopped](std::size_t) {
    const char state = process_state(pid_);
    return (state == 'T') == want_stopped && state != '?';
  });
}

bool SimulatorLink::signal_until(const char* signal, const std::function<bool(std::size_t)>& done) const {
  const std::size_t first = trace().size();
  if (!send_signal(signal)) return false;
  const ULONGLONG deadline = GetTickCount64() + 5000;
  while (GetTickCount64() < deadline) {
    if (done(first)) return true;
    Sleep(10);
  }
  return false;
}

}  // namespace test_support
