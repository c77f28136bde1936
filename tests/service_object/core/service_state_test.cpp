// The open / claim / enable / release / close state machine, its result codes and messages,
// driven as an application would drive it, against in-memory fakes.

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <sstream>

#include "service_object/core/opos_properties.h"
#include "tests/fixtures/service_fakes.h"

namespace varnel::testing {
namespace {

using namespace opos;

// Runs one step of a script and answers the method's return value.
std::int32_t run_step(ID_TARVO_VARNEL& so, const std::string& step) {
  if (step == "open") return so.OpenService(u"LineDisplay", u"AnyName");
  if (step == "claim") return so.ClaimDevice(1000);
  const std::map<std::string, std::int32_t> enable_numbers{
      {"enable", 1}, {"disable", 0}, {"disable-neg", -5}};
  if (const auto it = enable_numbers.find(step); it != enable_numbers.end()) {
    so.SetPropertyNumber(PIDX_DeviceEnabled, it->second);
    return 0;
  }
  if (step == "release") return so.ReleaseDevice();
  if (step == "close") return so.CloseService();
  ADD_FAILURE() << "unknown step " << step;
  return 0;
}

std::string state_of(const ID_TARVO_VARNEL& so) {
  if (so.enabled()) return "Enabled";
  if (so.claimed()) return "Claimed";
  if (so.opened()) return "Opened";
  return "Closed";
}

struct StateCase {
  const char* name;
  std::function<void(FakeWorld&)> arrange;  // may be empty
  const char* script;                       // steps separated by blanks
  std::int32_t last_return;                 // return of the last step
  const char* state;
  std::int32_t result_code;
  std::vector<std::u16string_view> messages;
  bool port_held;
};

void PrintTo(const StateCase& c, std::ostream* os) { *os << c.name; }

class StateMachine : public ::testing::TestWithParam<StateCase> {};

TEST_P(StateMachine, EndsInExpectedState) {
  const StateCase& c = GetParam();
  FakeWorld world;
  if (c.arrange) c.arrange(world);
  ID_TARVO_VARNEL so(world.module);

  std::int32_t last = 0;
  std::istringstream steps(c.script);
  for (std::string step; steps >> step;) last = run_step(so, step);

  EXPECT_EQ(last, c.last_return);
  EXPECT_EQ(state_of(so), c.state);
  EXPECT_EQ(so.result_code(), c.result_code);
  EXPECT_EQ(so.GetPropertyNumber(PIDX_ResultCode), c.result_code);
  EXPECT_EQ(world.messages.shown, std::vector<std::u16string>(c.messages.begin(), c.messages.end()));
  EXPECT_EQ(world.port.held, c.port_held);
  EXPECT_EQ(world.module.state().port_open, c.port_held);
  EXPECT_EQ(world.registry.open_keys, 0) << "the device key must be closed after the enable";
}

const auto kMissingBaud = [](FakeWorld& w) { w.set_device_values(std::nullopt, u"3"); };
const auto kNoDeviceFile = [](FakeWorld& w) { w.files.files.clear(); };

constexpr std::u16string_view kFileOpen = messages::kFileOpenError;
constexpr std::u16string_view kRegOpen = messages::kRegisterOpenError;
constexpr std::u16string_view kBaudRead = messages::kBaudrateReadError;
constexpr std::u16string_view kPortRead = messages::kComportReadError;

INSTANTIATE_TEST_SUITE_P(
    Cases, StateMachine,
    ::testing::Values(
        StateCase{"FreshObject", {}, "", 0, "Closed", OPOS_SUCCESS, {}, false},
        StateCase{"Open", {}, "open", 0, "Opened", OPOS_SUCCESS, {}, false},
        StateCase{"OpenTwice", {}, "open open", 0, "Opened", OPOS_SUCCESS, {}, false},
        StateCase{"Claim", {}, "open claim", 0, "Claimed", OPOS_SUCCESS, {}, false},
        StateCase{"ClaimTwice", {}, "open claim claim", 0, "Claimed", OPOS_SUCCESS, {}, false},
        StateCase{"ClaimClosedFails", {}, "claim", -1, "Closed", OPOS_E_CLOSED, {}, false},
        StateCase{"Enable", {}, "open claim enable", 0, "Enabled", OPOS_SUCCESS, {}, true},
        StateCase{"EnableClosedIsNotClaimed", {}, "enable", 0, "Closed", OPOS_E_NOTCLAIMED, {}, false},
        StateCase{"EnableUnclaimed", {}, "open enable", 0, "Opened", OPOS_E_NOTCLAIMED, {}, false},
        StateCase{"DisableUnclaimed", {}, "open disable", 0, "Opened", OPOS_E_NOTCLAIMED, {}, false},
        StateCase{"Disable", {}, "open claim enable disable", 0, "Claimed", OPOS_SUCCESS, {}, false},
        StateCase{
            "DisableNegative", {}, "open claim enable disable-neg", 0, "Claimed", OPOS_SUCCESS, {}, false},
        StateCase{"ReleaseEnabled", {}, "open claim enable release", 0, "Opened", OPOS_SUCCESS, {}, false},
        StateCase{
            "ReleaseUnclaimedKeepsCode", {}, "claim open release", 0, "Opened", OPOS_SUCCESS, {}, false},
        StateCase{"ReleaseClosedKeepsCode", {}, "claim release", 0, "Closed", OPOS_E_CLOSED, {}, false},
        StateCase{"CloseEnabled", {}, "open claim enable close", 0, "Closed", OPOS_SUCCESS, {}, false},
        StateCase{"CloseKeepsResultCode", {}, "claim close", 0, "Closed", OPOS_E_CLOSED, {}, false},
        StateCase{"ReopenAfterClose",
                  {},
                  "open claim enable close open claim enable",
                  0,
                  "Enabled",
                  OPOS_SUCCESS,
                  {},
                  true},
        // An enable that cannot proceed for the configuration's sake reports a configuration
        // error; one whose port does not open reports the device disabled.
        StateCase{"MissingBaudrate",
                  kMissingBaud,
                  "open claim enable",
                  0,
                  "Claimed",
                  OPOS_E_NOSERVICE,
                  {kBaudRead},
                  false},
        StateCase{"BaudrateNotANumber",
                  [](FakeWorld& w) { w.set_device_values(u"abc", u"3"); },
                  "open claim enable",
                  0,
                  "Claimed",
                  OPOS_E_NOSERVICE,
                  {},
                  false},
        StateCase{"BaudrateZero",
                  [](FakeWorld& w) { w.set_device_values(u"0", u"3"); },
                  "open claim enable",
                  0,
                  "Claimed",
                  OPOS_E_NOSERVICE,
                  {},
                  false},
        StateCase{"BaudrateNegative",
                  [](FakeWorld& w) { w.set_device_values(u"-9600", u"3"); },
                  "open claim enable",
                  0,
                  "Claimed",
                  OPOS_E_NOSERVICE,
                  {},
                  false},
        StateCase{"FailedEnableThenSuccessfulOne",
                  [](FakeWorld& w) { w.set_device_values(u"abc", u"3"); },
                  "open claim enable claim",
                  0,
                  "Claimed",
                  OPOS_SUCCESS,
                  {},
                  false},
        StateCase{"MissingComport",
                  [](FakeWorld& w) { w.set_device_values(u"9600", std::nullopt); },
                  "open claim enable",
                  0,
                  "Claimed",
                  OPOS_E_DISABLED,
                  {kPortRead, u"COM Open Error !"},
                  false},
        StateCase{"ComportNotANumber",
                  [](FakeWorld& w) { w.set_device_values(u"9600", u"3x"); },
                  "open claim enable",
                  0,
                  "Claimed",
                  OPOS_E_DISABLED,
                  {u"COM3x Open Error !"},
                  false},
        StateCase{"ComportAPath",
                  [](FakeWorld& w) { w.set_device_values(u"9600", u"3\\..\\..\\boot.ini"); },
                  "open claim enable",
                  0,
                  "Claimed",
                  OPOS_E_DISABLED,
                  {u"COM3\\..\\..\\boot.ini Open Error !"},
                  false},
        StateCase{"ComportZero",
                  [](FakeWorld& w) { w.set_device_values(u"9600", u"0"); },
                  "open claim enable",
                  0,
                  "Claimed",
                  OPOS_E_DISABLED,
                  {u"COM0 Open Error !"},
                  false},
        StateCase{"PortAbsent",
                  [](FakeWorld& w) { w.set_device_values(u"9600", u"9"); },
                  "open claim enable",
                  0,
                  "Claimed",
                  OPOS_E_DISABLED,
                  {u"COM9 Open Error !"},
                  false},
        StateCase{"MissingKey",
                  [](FakeWorld& w) { w.registry.keys.clear(); },
                  "open claim enable",
                  0,
                  "Claimed",
                  OPOS_E_NOSERVICE,
                  {kRegOpen, kBaudRead, kPortRead},
                  false},
        StateCase{"MissingDeviceFile",
                  kNoDeviceFile,
                  "open claim enable",
                  0,
                  "Claimed",
                  OPOS_E_NOSERVICE,
                  {kFileOpen, kRegOpen, kBaudRead, kPortRead},
                  false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(StateMachineDetail, SecondEnableKeepsResultCodeAndDoesNotReread) {
  FakeWorld world;
  ID_TARVO_VARNEL so(world.module);
  so.OpenService(u"", u"");
  so.ClaimDevice(0);
  so.SetPropertyNumber(PIDX_DeviceEnabled, 1);
  so.SetPropertyString(0, u"");  // no action
  so.SetPropertyNumber(12345, 0);
  const auto keys_read = world.registry.opened_paths.size();
  so.SetPropertyNumber(PIDX_DeviceEnabled, 1);
  EXPECT_EQ(world.registry.opened_paths.size(), keys_read);
  EXPECT_EQ(world.port.opens.size(), 1u);
  EXPECT_TRUE(so.enabled());
}

TEST(StateMachineDetail, FailedEnableLeavesClaimedAndRetryReadsRegistryAgain) {
  FakeWorld world;
  world.set_device_values(u"9600", u"9");  // no such port
  ID_TARVO_VARNEL so(world.module);
  so.OpenService(u"", u"");
  so.ClaimDevice(0);
  so.SetPropertyNumber(PIDX_DeviceEnabled, 1);
  EXPECT_EQ(so.result_code(), OPOS_E_DISABLED);
  world.set_device_values(u"19200", u"4");
  so.SetPropertyNumber(PIDX_DeviceEnabled, 1);
  EXPECT_EQ(so.result_code(), OPOS_SUCCESS);
  EXPECT_TRUE(so.enabled());
  ASSERT_EQ(world.port.opens.size(), 2u);
  EXPECT_EQ(world.port.opens[1].name, u"COM4");
  EXPECT_EQ(world.port.opens[1].baud, 19200);
  EXPECT_EQ(world.port.opens[1].parity, ParitySelector::kNone);
}

TEST(StateMachineDetail, EnableOpensComFollowedByPortTextAtConfiguredRate) {
  const struct {
    std::u16string baud, port, expected_name;
    std::int32_t expected_baud;
  } cases[] = {
      {u"9600", u"3", u"COM3", 9600},
      {u"19200 ", u"4", u"COM4", 19200},
      {u"  115200x", u"10", u"COM10", 115200},
      {u"9600", u" 7 ", u"COM7", 9600},  // blanks around the number are no part of it
      {u"9600", u"007", u"COM7", 9600},
      {u"9600", u"256", u"COM256", 9600},
  };
  for (const auto& c : cases) {
    FakeWorld world;
    world.set_device_values(c.baud, c.port);
    world.port.available_ports.insert(c.expected_name);
    ID_TARVO_VARNEL so(world.module);
    so.OpenService(u"", u"");
    so.ClaimDevice(0);
    so.SetPropertyNumber(PIDX_DeviceEnabled, 1);
    ASSERT_EQ(world.port.opens.size(), 1u);
    EXPECT_EQ(world.port.opens[0].name, c.expected_name);
    EXPECT_EQ(world.port.opens[0].baud, c.expected_baud);
    EXPECT_TRUE(so.enabled());
  }
}

TEST(StateMachineDetail, PortClosedOnceOnEveryPathOut) {
  for (const char* last : {"disable", "release", "close"}) {
    FakeWorld world;
    ID_TARVO_VARNEL so(world.module);
    for (const char* step : {"open", "claim", "enable", last, last}) run_step(so, step);
    EXPECT_EQ(world.port.closes, 1) << last;
  }
}

// The application released the enabled object without CloseService: the port goes with it.
TEST(StateMachineDetail, DestroyingTheLastEnabledObjectClosesThePort) {
  FakeWorld world;
  {
    ID_TARVO_VARNEL so(world.module);
    for (const char* step : {"open", "claim", "enable"}) run_step(so, step);
    EXPECT_EQ(world.module.lock().count(), 1);
  }
  EXPECT_EQ(world.module.lock().count(), 0);
  EXPECT_FALSE(world.port.held);
  EXPECT_FALSE(world.module.state().port_open);
  EXPECT_EQ(world.port.closes, 1);
}

TEST(StateMachineDetail, SecondObjectSharesTheModulePort) {
  FakeWorld world;
  ID_TARVO_VARNEL first(world.module);
  ID_TARVO_VARNEL second(world.module);
  for (const char* step : {"open", "claim", "enable"}) run_step(first, step);
  second.ClearText();  // the port is the library's: the second object's output reaches it
  EXPECT_EQ(world.port.all_bytes(), Bytes{0x0C});
  EXPECT_EQ(world.module.lock().count(), 2);
}

// ---------------------------------------------------------------------------------------------
// Property answers

TEST(Properties, NumericAnswersInEveryState) {
  FakeWorld world;
  ID_TARVO_VARNEL so(world.module);
  struct Expect {
    const char* after;
    std::int32_t claimed, enabled, state;
  };
  for (const Expect& e : {Expect{"", 0, 0, OPOS_S_CLOSED}, Expect{"open", 0, 0, OPOS_S_IDLE},
                          Expect{"claim", 1, 0, OPOS_S_IDLE}, Expect{"enable", 1, 1, OPOS_S_IDLE},
                          Expect{"release", 0, 0, OPOS_S_IDLE}, Expect{"close", 0, 0, OPOS_S_CLOSED}}) {
    if (*e.after) run_step(so, e.after);
    const auto code = so.result_code();
    EXPECT_EQ(so.GetPropertyNumber(PIDX_Claimed), e.claimed) << e.after;
    EXPECT_EQ(so.GetPropertyNumber(PIDX_DeviceEnabled), e.enabled) << e.after;
    EXPECT_EQ(so.GetPropertyNumber(PIDX_ServiceObjectVersion), 1013001) << e.after;
    EXPECT_EQ(so.GetPropertyNumber(PIDX_State), e.state) << e.after;
    EXPECT_EQ(so.GetPropertyNumber(-1), 0) << e.after;
    EXPECT_EQ(so.result_code(), code) << "GetPropertyNumber never changes the result code";
  }
}

TEST(Properties, StringAnswersAndClosedCheck) {
  const struct {
    std::int32_t index;
    std::u16string_view answer;
  } cases[] = {
      {PIDX_CheckHealthText, u""},
      {PIDX_DeviceDescription, u"ORM-PDX-QA404K LineDisplay, Worldwide Version"},
      {PIDX_DeviceName, u"ORM-PDX-QA404K LineDisplay"},
      {PIDX_ServiceObjectDescription, ID_TARVO_VARNEL::kServiceObjectDescriptionText},
      {12, u""},
  };
  for (const auto& c : cases) {
    FakeWorld world;
    ID_TARVO_VARNEL closed(world.module);
    EXPECT_EQ(closed.GetPropertyString(c.index), c.answer);
    EXPECT_EQ(closed.result_code(), OPOS_E_CLOSED) << "closed object records 101 but answers";

    ID_TARVO_VARNEL opened(world.module);
    opened.OpenService(u"", u"");
    EXPECT_EQ(opened.GetPropertyString(c.index), c.answer);
    EXPECT_EQ(opened.result_code(), OPOS_SUCCESS);
  }
  EXPECT_TRUE(ID_TARVO_VARNEL::kServiceObjectDescriptionText.starts_with(u"LineDisplay OPOS Driver"));
}

TEST(Properties, ChangeRoutinesStoreTheirAnswers) {
  FakeWorld world;
  ID_TARVO_VARNEL so(world.module);
  EXPECT_EQ(so.ServiceObjectVersion(), 1013001);
  EXPECT_EQ(so.DeviceName(), u"ORM-PDX-QA404K LineDisplay");
  EXPECT_EQ(so.DeviceDescription(), u"ORM-PDX-QA404K LineDisplay, Worldwide Version");
  EXPECT_EQ(so.DeviceControlDescription(), ID_TARVO_VARNEL::kServiceObjectDescriptionText);
  EXPECT_FALSE(so.OnbDeviceEnable());
  for (const char* step : {"open", "claim", "enable"}) run_step(so, step);
  EXPECT_TRUE(so.OnbDeviceEnable());
  EXPECT_EQ(world.port.opens.size(), 1u) << "reading the property neither opens nor closes";
}

TEST(Properties, SetPropertyNumberOnClosedRecordsClosedAndSendsNothing) {
  FakeWorld world;
  ID_TARVO_VARNEL so(world.module);
  so.SetPropertyNumber(PIDXDisp_BlinkRate, 500);
  EXPECT_EQ(so.result_code(), OPOS_E_CLOSED);
  EXPECT_TRUE(world.port.writes.empty());
}

TEST(NoActionMethods, AnswerSuccessAndTouchNothing) {
  FakeWorld world;
  ID_TARVO_VARNEL so(world.module);
  so.ClaimDevice(0);  // leaves result code 101 behind to prove it is not touched
  std::int32_t data = 77;
  std::u16string text = u"keep";
  std::int32_t out = 5;
  const std::int32_t results[] = {so.CheckHealth(1),
                                  so.CheckHealth(-3),
                                  so.DirectIO(0, data, text),
                                  so.DirectIO(999, data, text),
                                  so.ClearDescriptors(),
                                  so.CreateWindow(0, 0, 2, 20, 2, 20),
                                  so.DestroyWindow(),
                                  so.RefreshWindow(1),
                                  so.SetDescriptor(1, 1),
                                  so.DefineGlyph(0x41, u"xx"),
                                  so.ReadCharacterAtCursor(out),
                                  so.DisplayBitmap(u"a.bmp", 1, 2, 3),
                                  so.SetBitmap(1, u"a.bmp", 1, 2, 3),
                                  so.ResetStatistics(u"s"),
                                  so.RetrieveStatistics(text),
                                  so.UpdateStatistics(u"s"),
                                  so.CompareFirmwareVersion(u"f", out),
                                  so.UpdateFirmware(u"f")};
  for (const auto r : results) EXPECT_EQ(r, OPOS_SUCCESS);
  so.COFreezeEvents(true);
  EXPECT_EQ(data, 77);
  EXPECT_EQ(text, u"keep");
  EXPECT_EQ(out, 5);
  EXPECT_EQ(so.result_code(), OPOS_E_CLOSED);
  EXPECT_TRUE(world.port.opens.empty());
  EXPECT_TRUE(world.messages.shown.empty());
}

}  // namespace
}  // namespace varnel::testing
