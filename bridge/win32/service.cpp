#include "bridge/win32/service.h"

#include <windows.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>
#include <ostream>
#include <sstream>
#include <thread>
#include <utility>

#include "bridge/core/service_control.h"

namespace bridge::win32 {
namespace {

static_assert(static_cast<DWORD>(ServiceState::kStopped) == SERVICE_STOPPED);
static_assert(static_cast<DWORD>(ServiceState::kStartPending) == SERVICE_START_PENDING);
static_assert(static_cast<DWORD>(ServiceState::kStopPending) == SERVICE_STOP_PENDING);
static_assert(static_cast<DWORD>(ServiceState::kRunning) == SERVICE_RUNNING);
static_assert(kAcceptStop == SERVICE_ACCEPT_STOP && kAcceptShutdown == SERVICE_ACCEPT_SHUTDOWN);
static_assert(SERVICE_CONTROL_STOP == 1 && SERVICE_CONTROL_INTERROGATE == 4 && SERVICE_CONTROL_SHUTDOWN == 5);

// A stop that has not ended within this time ends the process: the service manager must never
// wait on the bridge for longer.
constexpr std::chrono::seconds kStopBound{30};

std::string utf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                       nullptr, nullptr);
  std::string result(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
  if (size > 0)
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), size, nullptr,
                        nullptr);
  return result;
}

std::filesystem::path program_folder() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      return std::filesystem::path(path).parent_path();
    }
    path.resize(path.size() * 2);
  }
}

// The service's status handle and the reports made through it. The handle belongs to the
// service manager and is never closed.
class StatusReporter {
 public:
  explicit StatusReporter(SERVICE_STATUS_HANDLE handle) : handle_(handle) {}

  void report(ServiceState state, std::uint32_t exit_code = 0) {
    const std::lock_guard guard(lock_);
    current_ = reports_.next(state, exit_code);
    send();
  }
  // The status once more, for an interrogation.
  void repeat() {
    const std::lock_guard guard(lock_);
    send();
  }

 private:
  void send() {
    SERVICE_STATUS status{};
    status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    status.dwCurrentState = static_cast<DWORD>(current_.state);
    status.dwControlsAccepted = current_.controls_accepted;
    status.dwCheckPoint = current_.checkpoint;
    status.dwWaitHint = current_.wait_hint_ms;
    // A run that failed says so through a service-specific code: the program's exit code.
    status.dwWin32ExitCode = current_.exit_code == 0 ? NO_ERROR : ERROR_SERVICE_SPECIFIC_ERROR;
    status.dwServiceSpecificExitCode = current_.exit_code;
    SetServiceStatus(handle_, &status);
  }

  SERVICE_STATUS_HANDLE handle_;
  std::mutex lock_;
  ServiceReports reports_;
  ServiceReport current_;
};

// While a stop is under way: reports progress each second and, past kStopBound, reports the
// service stopped and ends the process. The thread ends with the object.
class StopWatch {
 public:
  explicit StopWatch(StatusReporter& status) : status_(status) {}
  ~StopWatch() {
    {
      const std::lock_guard guard(lock_);
      finished_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
  }
  StopWatch(const StopWatch&) = delete;
  StopWatch& operator=(const StopWatch&) = delete;

  void start() {
    const std::lock_guard guard(lock_);
    if (thread_.joinable() || finished_) return;
    thread_ = std::thread([this] { watch(); });
  }

 private:
  void watch() {
    const auto deadline = std::chrono::steady_clock::now() + kStopBound;
    std::unique_lock guard(lock_);
    while (!finished_) {
      if (std::chrono::steady_clock::now() >= deadline) {
        status_.report(ServiceState::kStopped, 4);
        ExitProcess(4);
      }
      if (!wake_.wait_for(guard, std::chrono::seconds(1), [this] { return finished_; }))
        status_.report(ServiceState::kStopPending);
    }
  }

  StatusReporter& status_;
  std::mutex lock_;
  std::condition_variable wake_;
  bool finished_ = false;
  std::thread thread_;
};

// What ServiceMain needs from run_service: the service manager calls it with no context.
struct Service {
  std::vector<std::string> arguments;  // after --service on the command line
  const PortFactory* make_port = nullptr;
  int exit_code = 0;
};
Service* the_service = nullptr;

// What the control handler reaches, on the service manager's thread.
struct Control {
  std::atomic<StatusReporter*> status = nullptr;
  std::atomic<StopWatch*> watch = nullptr;
  StopLatch latch;
};

DWORD WINAPI handle_control(DWORD control, DWORD, LPVOID, LPVOID context) {
  auto& target = *static_cast<Control*>(context);
  switch (answer_control(control)) {
    case ControlAnswer::kStop: {
      StatusReporter* status = target.status;
      StopWatch* watch = target.watch;
      // The server ends only after the request, so the watch is still there to be started.
      if (status == nullptr || watch == nullptr || target.latch.requested()) return NO_ERROR;
      status->report(ServiceState::kStopPending);
      watch->start();
      target.latch.request();
      return NO_ERROR;
    }
    case ControlAnswer::kReport:
      if (StatusReporter* status = target.status) status->repeat();
      return NO_ERROR;
    case ControlAnswer::kNotImplemented: break;
  }
  return ERROR_CALL_NOT_IMPLEMENTED;
}

// The settings: the file's options, the command line's after --service, the start parameters.
std::optional<std::vector<std::string>> service_arguments(const std::filesystem::path& folder, DWORD argc,
                                                          LPWSTR* argv, std::ostream& log) {
  const auto file = folder / L"zorn-display-bridge.conf";
  std::ifstream input(file, std::ios::binary);
  if (!input) {
    log << "zorn-display-bridge: cannot read the settings file " << utf8(file.wstring()) << "\n";
    return std::nullopt;
  }
  std::stringstream text;
  text << input.rdbuf();
  auto parsed = arguments_from_settings_file(text.str());
  if (!parsed.arguments) {
    log << "zorn-display-bridge: " << utf8(file.wstring()) << ", " << parsed.error << "\n";
    return std::nullopt;
  }
  std::vector<std::string> arguments = std::move(*parsed.arguments);
  arguments.insert(arguments.end(), the_service->arguments.begin(), the_service->arguments.end());
  for (DWORD i = 1; i < argc; ++i) arguments.push_back(utf8(argv[i]));
  return arguments;
}

void WINAPI service_main(DWORD argc, LPWSTR* argv) {
  Control control;
  // argv[0] is the name the service is registered under; the rest are its start parameters.
  const SERVICE_STATUS_HANDLE handle =
      RegisterServiceCtrlHandlerExW(argc > 0 ? argv[0] : kServiceName, handle_control, &control);
  if (handle == nullptr) {
    the_service->exit_code = 2;
    return;
  }
  StatusReporter status(handle);
  int exit_code = 2;
  {
    StopWatch watch(status);
    control.status = &status;
    control.watch = &watch;
    status.report(ServiceState::kStartPending);

    // Relative paths in the settings (the token file) are taken from the program's folder.
    const auto folder = program_folder();
    SetCurrentDirectoryW(folder.c_str());
    std::ofstream log(folder / L"zorn-display-bridge.log", std::ios::binary | std::ios::trunc);
    if (const auto arguments = service_arguments(folder, argc, argv, log)) {
      RunHooks hooks;
      hooks.stop = &control.latch;
      hooks.listening = [&status] { status.report(ServiceState::kRunning); };
      hooks.stop_on_signals = false;
      exit_code = run_bridge(*arguments, *the_service->make_port, log, log, hooks);
    }
    log.flush();
    control.watch = nullptr;
  }
  // The server and every display writer have ended with run_bridge.
  the_service->exit_code = exit_code;
  status.report(ServiceState::kStopped, static_cast<std::uint32_t>(exit_code));
}

}  // namespace

int run_service(const std::vector<std::string>& arguments, const PortFactory& make_port,
                std::ostream& errors) {
  Service service{arguments, &make_port, 0};
  the_service = &service;
  std::wstring name(kServiceName);
  const SERVICE_TABLE_ENTRYW table[] = {{name.data(), service_main}, {nullptr, nullptr}};
  if (!StartServiceCtrlDispatcherW(table)) {
    const DWORD error = GetLastError();
    the_service = nullptr;
    errors << "zorn-display-bridge: --service is for the Windows service manager"
           << (error == ERROR_FAILED_SERVICE_CONTROLLER_CONNECT ? ""
                                                                : " (error " + std::to_string(error) + ")")
           << "; register the service (sc create) and start it with sc start or net start, or run the program"
              " without --service\n";
    return 2;
  }
  the_service = nullptr;
  return service.exit_code;
}

}  // namespace bridge::win32
