#include "tests/support/simulator_process.h"

#include <signal.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace test_support {
namespace {

constexpr auto kPollInterval = std::chrono::milliseconds(5);

std::vector<std::string> simulator_command(const SimulatorProcess::Options& options,
                                           const TempDirectory& directory) {
  std::vector<std::string> argv = {simulator_path(), "--quiet",
                                   "--link",         directory.file("port"),
                                   "--state",        directory.file("state"),
                                   "--trace",        directory.file("trace")};
  if (!options.device.empty()) {
    argv.push_back("--device");
    argv.push_back(options.device);
  }
  argv.insert(argv.end(), options.extra_args.begin(), options.extra_args.end());
  return argv;
}

bool link_exists(const std::string& path) {
  struct stat status {};
  return ::lstat(path.c_str(), &status) == 0;
}

}  // namespace

const char* simulator_path() { return KIT_SIMULATOR_PATH; }

std::string read_file(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream content;
  content << file.rdbuf();
  return content.str();
}

SimulatorProcess::SimulatorProcess(const Options& options)
    : directory_("pole_display_sim"),
      port_path_(directory_.file("port")),
      process_(simulator_command(options, directory_), directory_.file("stdout"), directory_.file("stderr")) {
  const auto deadline = std::chrono::steady_clock::now() + options.startup_timeout;
  while (!link_exists(port_path_)) {
    if (!running()) {
      throw std::runtime_error("the simulator ended before it was ready: " + error_output());
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      throw std::runtime_error("the simulator was not ready in time: " + error_output());
    }
    std::this_thread::sleep_for(kPollInterval);
  }
}

void SimulatorProcess::signal(int signal) const { ::kill(process_.pid(), signal); }

std::string SimulatorProcess::tty_path() const {
  std::error_code error;
  return std::filesystem::read_symlink(port_path_, error).string();
}

std::vector<std::string> SimulatorProcess::trace_lines() const {
  const std::string content = read_file(directory_.file("trace"));
  std::vector<std::string> lines;
  std::size_t start = 0;
  // A line still being written has no line end yet and is left for later.
  for (std::size_t end = content.find('\n'); end != std::string::npos; end = content.find('\n', start)) {
    lines.push_back(content.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

std::vector<std::string> SimulatorProcess::wait_for_trace_lines(std::size_t count,
                                                                std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  std::vector<std::string> lines = trace_lines();
  while (lines.size() < count && running() && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(kPollInterval);
    lines = trace_lines();
  }
  return lines;
}

sim::ObservableState SimulatorProcess::state() const {
  const std::string path = directory_.file("state");
  const sim::Parsed<sim::ObservableState> parsed = sim::parse_state(read_file(path));
  if (!parsed.value)
    throw std::runtime_error("cannot read the simulator state " + path + ": " + parsed.error);
  return *parsed.value;
}

std::string SimulatorProcess::error_output() const { return read_file(directory_.file("stderr")); }

RunResult run_simulator(const std::vector<std::string>& arguments, std::chrono::milliseconds timeout) {
  const TempDirectory directory("pole_display_sim_run");
  std::vector<std::string> argv = {simulator_path()};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  RunResult result;
  {
    ChildProcess process(argv, directory.file("stdout"), directory.file("stderr"));
    if (std::optional<int> code = process.wait_exit(timeout)) result.exit_code = *code;
  }  // a child still running is ended here
  result.output = read_file(directory.file("stdout"));
  result.errors = read_file(directory.file("stderr"));
  return result;
}

}  // namespace test_support
