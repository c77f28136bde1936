#include "bridge/core/service_control.h"

#include <utility>

namespace bridge {
namespace {

std::string trimmed(const std::string& text) {
  const auto first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

constexpr std::uint32_t kControlStop = 1;
constexpr std::uint32_t kControlInterrogate = 4;
constexpr std::uint32_t kControlShutdown = 5;

}  // namespace

SettingsFileArguments arguments_from_settings_file(const std::string& text) {
  static const std::string kByteOrderMark = "\xEF\xBB\xBF";
  std::string rest = text.rfind(kByteOrderMark, 0) == 0 ? text.substr(kByteOrderMark.size()) : text;
  std::vector<std::string> arguments;
  for (int number = 1; !rest.empty(); ++number) {
    const auto end = rest.find('\n');
    const std::string line = trimmed(rest.substr(0, end));
    rest = end == std::string::npos ? "" : rest.substr(end + 1);
    if (line.empty() || line.front() == '#') continue;
    const auto space = line.find_first_of(" \t");
    std::string option = line.substr(0, space);
    if (option.rfind("--", 0) != 0) option.insert(0, "--");
    const std::string value = space == std::string::npos ? "" : trimmed(line.substr(space));
    std::string where = "line ";
    where += std::to_string(number);
    where += ": ";
    if (option == "--service")
      return {std::nullopt, where + "--service belongs on the service's command line"};
    if (value.empty()) return {std::nullopt, where + option + " needs a value"};
    arguments.push_back(option);
    arguments.push_back(value);
  }
  return {std::move(arguments), {}};
}

ServiceReport ServiceReports::next(ServiceState state, std::uint32_t exit_code) {
  const bool pending = state == ServiceState::kStartPending || state == ServiceState::kStopPending;
  checkpoint_ = pending && state == last_ ? checkpoint_ + 1 : (pending ? 1 : 0);
  last_ = state;
  ServiceReport report;
  report.state = state;
  report.checkpoint = checkpoint_;
  report.controls_accepted = state == ServiceState::kRunning ? kAcceptStop | kAcceptShutdown : 0;
  report.wait_hint_ms = state == ServiceState::kStartPending  ? kStartHintMs
                        : state == ServiceState::kStopPending ? kStopHintMs
                                                              : 0;
  report.exit_code = state == ServiceState::kStopped ? exit_code : 0;
  return report;
}

ControlAnswer answer_control(std::uint32_t control) {
  switch (control) {
    case kControlStop:
    case kControlShutdown: return ControlAnswer::kStop;
    case kControlInterrogate: return ControlAnswer::kReport;
    default: return ControlAnswer::kNotImplemented;
  }
}

void StopLatch::arm(std::function<void()> stopper) {
  const std::lock_guard guard(lock_);
  if (requested_) {
    if (stopper) stopper();
  } else {
    stopper_ = std::move(stopper);
  }
}

void StopLatch::disarm() {
  const std::lock_guard guard(lock_);
  stopper_ = nullptr;
}

bool StopLatch::request() {
  const std::lock_guard guard(lock_);
  if (requested_) return false;
  requested_ = true;
  if (stopper_) stopper_();
  stopper_ = nullptr;
  return true;
}

bool StopLatch::requested() const {
  const std::lock_guard guard(lock_);
  return requested_;
}

}  // namespace bridge
