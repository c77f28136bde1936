// pole_display_sim: a simulated customer pole display on a pseudo-terminal.
#include <cstdio>
#include <exception>
#include <string_view>
#include <vector>

#include "sim/runtime/sim_options.h"
#include "sim/runtime/simulator.h"

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string_view> arguments(argv + 1, argv + argc);
  const sim::Parsed<sim::SimOptions> parsed = sim::parse_options(arguments);
  if (!parsed.value) {
    std::fprintf(stderr, "pole_display_sim: %s\n\n%s", parsed.error.c_str(), sim::usage_text().c_str());
    return kExitUsage;
  }
  if (parsed.value->help) {
    std::fputs(sim::usage_text().c_str(), stdout);
    return 0;
  }
  try {
    return sim::run_simulator(*parsed.value);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "pole_display_sim: %s\n", error.what());
    return kExitFailure;
  }
}
