// What an application is told when the line to an enabled display fails: a write that times
// out, a stalled line that fails fast until it moves again, a port that vanishes and comes back,
// and the same failures on a device that is not enabled (which keeps answering success).

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>

#include "service_object/core/line_output.h"
#include "tests/fixtures/service_fakes.h"

namespace varnel::testing {
namespace {

using namespace opos;
using std::chrono::milliseconds;

constexpr WriteResult kOk = WriteResult::kWritten;
constexpr WriteResult kTimedOut = WriteResult::kTimedOut;
constexpr WriteResult kLost = WriteResult::kPortLost;
constexpr WriteResult kFailed = WriteResult::kFailed;

// One output call and what it should answer.
struct Step {
  std::function<std::int32_t(ID_TARVO_VARNEL&)> call;
  std::int32_t answer;
};

Step text(std::int32_t answer) {
  return {[](auto& so) { return so.DisplayText(u"9.99", 0); }, answer};
}
Step text_at(std::int32_t answer) {
  return {[](auto& so) { return so.DisplayTextAt(1, 0, u"9.99", 0); }, answer};
}
Step clear(std::int32_t answer) {
  return {[](auto& so) { return so.ClearText(); }, answer};
}
Step blink(std::int32_t answer) {
  return {[](auto& so) {
            so.SetPropertyNumber(PIDXDisp_BlinkRate, 500);
            return so.result_code();
          },
          answer};
}

struct FaultCase {
  const char* name;
  std::vector<WriteResult> results;  // what the port's writes answer, in order
  std::vector<Step> steps;
  std::vector<bool> limited;  // per write attempt: was it given the short stalled limit
  int opens;                  // including the enable's
  bool port_held;
};

void PrintTo(const FaultCase& c, std::ostream* os) { *os << c.name; }

class LineFault : public ::testing::TestWithParam<FaultCase> {};

TEST_P(LineFault, IsReportedAndRecoveredFrom) {
  const FaultCase& c = GetParam();
  FakeWorld world;
  ID_TARVO_VARNEL so(world.module);
  open_claim_enable(so);
  ASSERT_TRUE(so.enabled());
  world.port.results.assign(c.results.begin(), c.results.end());

  for (std::size_t i = 0; i < c.steps.size(); ++i) {
    EXPECT_EQ(c.steps[i].call(so), c.steps[i].answer) << "step " << i;
    EXPECT_EQ(so.result_code(), c.steps[i].answer) << "step " << i;
  }
  std::vector<bool> limited;
  for (const auto& limit : world.port.limits) limited.push_back(limit.has_value());
  EXPECT_EQ(limited, c.limited);
  EXPECT_EQ(static_cast<int>(world.port.opens.size()), c.opens);
  EXPECT_EQ(world.port.held, c.port_held);
  EXPECT_EQ(world.module.state().port_open, c.port_held);
  EXPECT_TRUE(so.enabled()) << "no failure of the line disables the device";
  EXPECT_TRUE(world.messages.shown.empty()) << "write failures show no box";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LineFault,
    ::testing::Values(
        FaultCase{"WritesThatGoThroughAnswerSuccess",
                  {},
                  {text(0), text_at(0), clear(0), blink(0)},
                  {false, false, false, false, false},
                  1,
                  true},
        FaultCase{"FailedWrite", {kFailed}, {text(OPOS_E_FAILURE), text(0)}, {false, false}, 1, true},
        FaultCase{"TimedOutThenStalledUntilTheLineMoves",
                  {kTimedOut, kTimedOut, kTimedOut, kOk, kOk},
                  {text(OPOS_E_TIMEOUT), text(OPOS_E_TIMEOUT), clear(OPOS_E_TIMEOUT), text(0), text(0)},
                  {false, true, true, true, false},
                  1,
                  true},
        FaultCase{"StalledPropertyCommand",
                  {kTimedOut, kTimedOut},
                  {text(OPOS_E_TIMEOUT), blink(OPOS_E_TIMEOUT)},
                  {false, true},
                  1,
                  true},
        FaultCase{
            "TextAtStopsAfterAFailedCursorWrite", {kTimedOut}, {text_at(OPOS_E_TIMEOUT)}, {false}, 1, true},
        FaultCase{"TextAtTextWriteFails", {kOk, kFailed}, {text_at(OPOS_E_FAILURE)}, {false, false}, 1, true},
        FaultCase{"LostPortIsOpenedAgainAtTheNextCall",
                  {kLost},
                  {text(OPOS_E_NOHARDWARE), text(0), clear(0)},
                  {false, false, false},
                  2,
                  true},
        FaultCase{"LostWhileStalled",
                  {kTimedOut, kLost},
                  {text(OPOS_E_TIMEOUT), text(OPOS_E_NOHARDWARE), text(0)},
                  {false, true, false},
                  2,
                  true},
        FaultCase{"EmptyTextTouchesNoLostPort",
                  {kLost},
                  {text(OPOS_E_NOHARDWARE), {[](auto& so) { return so.DisplayText(u"", 0); }, 0}},
                  {false},
                  1,
                  false}),
    [](const auto& info) { return std::string(info.param.name); });

// While the adapter is unplugged every call tries one open and answers at once; once it is back,
// the next call opens the port again with the name and speed of the enable.
TEST(LostPort, EachCallTriesOneOpenUntilTheAdapterIsBack) {
  FakeWorld world;
  world.set_device_values(u"19200", u"4");
  ID_TARVO_VARNEL so(world.module);
  open_claim_enable(so);
  world.port.results = {kLost};
  EXPECT_EQ(so.DisplayText(u"A", 0), OPOS_E_NOHARDWARE);
  world.port.available_ports.clear();  // unplugged
  EXPECT_EQ(so.DisplayText(u"B", 0), OPOS_E_NOHARDWARE);
  EXPECT_EQ(so.ClearText(), OPOS_E_NOHARDWARE);
  EXPECT_EQ(world.port.opens.size(), 3u);
  world.port.available_ports.insert(u"COM4");  // plugged in again
  EXPECT_EQ(so.DisplayText(u"C", 0), OPOS_SUCCESS);
  ASSERT_EQ(world.port.opens.size(), 4u);
  EXPECT_EQ(world.port.opens.back().name, u"COM4");
  EXPECT_EQ(world.port.opens.back().baud, 19200);
  // The display is cleared and shows the model again (the clear of the calls that failed), then C.
  EXPECT_EQ(world.port.writes, (std::vector<Bytes>{{0x0C, 'C'}}));

  so.SetPropertyNumber(PIDX_DeviceEnabled, 0);
  EXPECT_FALSE(world.port.held);
  EXPECT_FALSE(world.module.state().port_open);
}

TEST(LostPort, DisablingWhileLostForgetsThePort) {
  FakeWorld world;
  ID_TARVO_VARNEL so(world.module);
  open_claim_enable(so);
  world.port.results = {kLost};
  EXPECT_EQ(so.ClearText(), OPOS_E_NOHARDWARE);
  so.SetPropertyNumber(PIDX_DeviceEnabled, 0);
  EXPECT_EQ(so.ClearText(), OPOS_SUCCESS);
  EXPECT_EQ(world.port.opens.size(), 1u) << "a disabled device wants no port back";
  EXPECT_EQ(world.module.state().line, LineCondition::kGood);
}

// An object that is not enabled answers success and keeps its result code, whatever happens on
// a port another object of the process holds.
TEST(NotEnabled, FailuresOnASharedPortLeaveItsAnswersAlone) {
  FakeWorld world;
  ID_TARVO_VARNEL enabled(world.module);
  ID_TARVO_VARNEL bystander(world.module);
  open_claim_enable(enabled);
  bystander.ClaimDevice(0);  // closed: leaves 101
  for (const WriteResult failure : {kFailed, kTimedOut, kLost}) {
    world.port.results = {failure};
    EXPECT_EQ(bystander.DisplayText(u"x", 0), OPOS_SUCCESS);
    EXPECT_EQ(bystander.result_code(), OPOS_E_CLOSED);
  }
  EXPECT_EQ(enabled.result_code(), OPOS_SUCCESS);
}

TEST(StalledWriteLimit, CoversTheLineTimeTwiceAndAMargin) {
  const struct {
    std::size_t bytes;
    std::int32_t baud;
    long long ms;
  } cases[] = {
      {1, 9600, 53}, {20, 9600, 92},    {64, 9600, 184}, {64, 115200, 62},
      {64, 0, 1330}, {64, -9600, 1330}, {0, 9600, 50},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(stalled_write_limit(c.bytes, c.baud), milliseconds(c.ms)) << c.bytes << " bytes at " << c.baud;
  }
}

}  // namespace
}  // namespace varnel::testing
