#pragma once
// What zorn-display-bridge.exe decides as a Windows service without asking the system: the
// settings file's options, the status it reports to the service manager at each step, and the
// hand-over of a stop request to the HTTP server once the server exists. bridge/win32/service.cpp
// makes the system calls.
//
// The settings file (zorn-display-bridge.conf next to the program) holds the command line's
// options, one a line, with or without the leading "--":
//
//   # the display of till 1
//   --display pos=COM3,baud=9600,code-page=858
//   allow-origin https://pos.example.com
//
// Blank lines and lines starting with '#' are skipped; the value is the rest of the line.

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace bridge {

struct SettingsFileArguments {
  std::optional<std::vector<std::string>> arguments;  // the options, as a command line
  std::string error;                                  // why the file was refused, when empty
};

// The command-line arguments a settings file's text (UTF-8, a byte-order mark allowed) stands for.
[[nodiscard]] SettingsFileArguments arguments_from_settings_file(const std::string& text);

// The service manager's numbers (winsvc.h): bridge/win32/service.cpp checks them at compile time.
enum class ServiceState : std::uint32_t {
  kStopped = 1,
  kStartPending = 2,
  kStopPending = 3,
  kRunning = 4,
};
inline constexpr std::uint32_t kAcceptStop = 0x1;
inline constexpr std::uint32_t kAcceptShutdown = 0x4;

struct ServiceReport {
  ServiceState state = ServiceState::kStopped;
  std::uint32_t controls_accepted = 0;
  std::uint32_t checkpoint = 0;
  std::uint32_t wait_hint_ms = 0;
  std::uint32_t exit_code = 0;  // the program's exit code (bridge_program.h), with kStopped only
};

// The reports of one run, in order. While a state is pending, each report raises the checkpoint,
// so the service manager sees progress; the wait hint bounds the next one. Stop and shut-down
// are accepted only while running.
class ServiceReports {
 public:
  static constexpr std::uint32_t kStartHintMs = 30000;
  static constexpr std::uint32_t kStopHintMs = 10000;

  [[nodiscard]] ServiceReport next(ServiceState state, std::uint32_t exit_code = 0);

 private:
  ServiceState last_ = ServiceState::kStopped;
  std::uint32_t checkpoint_ = 0;
};

// A control from the service manager, as the service answers it.
enum class ControlAnswer {
  kStop,            // stop and shut-down: report stop-pending and stop the server
  kReport,          // interrogate: report the current status again
  kNotImplemented,  // anything else
};
[[nodiscard]] ControlAnswer answer_control(std::uint32_t control);

// Hands a stop request to the server whichever comes first: a stop asked before the server
// listens stops it as soon as it is armed. Thread-safe; the stopper runs under the latch's lock,
// so once disarm() returns it is not running and never runs again (it must be quick and must not
// use the latch).
class StopLatch {
 public:
  // Gives the way to stop the server (once it listens). Calls it at once if a stop was asked.
  void arm(std::function<void()> stopper);
  // Takes the stopper back (before the server ends).
  void disarm();
  // Asks for a stop. Returns true for the first request.
  bool request();
  [[nodiscard]] bool requested() const;

 private:
  mutable std::mutex lock_;
  std::function<void()> stopper_;
  bool requested_ = false;
};

}  // namespace bridge
