// The device state every object of the library shares: calls that arrive while a message box is
// up (the box's modal loop runs the application's timers and incoming calls), objects that share
// the port while each keeps its own device key, and objects on two threads writing at once.

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <thread>

#include "tests/fixtures/service_fakes.h"

namespace varnel::testing {
namespace {

using namespace opos;

Bytes ascii(std::string_view text) { return {text.begin(), text.end()}; }

std::u16string long_text(char16_t letter) { return std::u16string(65, letter); }

// The enabled object's 64 letters from the upper left, as its screen model sends them.
std::vector<Bytes> then(std::vector<Bytes> first, const std::vector<Bytes>& second) {
  first.insert(first.end(), second.begin(), second.end());
  return first;
}

// ---------------------------------------------------------------------------------------------
// A call made from inside a box

struct ReentryCase {
  const char* name;
  std::function<void(ID_TARVO_VARNEL&)> outer;   // shows a box
  std::function<void(ID_TARVO_VARNEL&)> nested;  // runs while the box is up
  std::vector<Bytes> writes;                     // on the line, in order
};

void PrintTo(const ReentryCase& c, std::ostream* os) { *os << c.name; }

class CallFromInsideTheBox : public ::testing::TestWithParam<ReentryCase> {};

// Each call's bytes reach the line whole and unchanged, the nested call's first (it ran while
// the outer call had sent nothing yet).
TEST_P(CallFromInsideTheBox, NoCallChangesOrSplitsAnothersBytes) {
  const ReentryCase& c = GetParam();
  FakeWorld world;
  ID_TARVO_VARNEL outer(world.module);
  ID_TARVO_VARNEL other(world.module);
  open_claim_enable(outer);
  bool nested_ran = false;
  world.messages.while_shown = [&] {
    c.nested(other);
    nested_ran = true;
  };
  c.outer(outer);
  EXPECT_TRUE(nested_ran);
  EXPECT_EQ(world.port.writes, c.writes);
  EXPECT_EQ(outer.result_code(), OPOS_SUCCESS);
}

Bytes cursor_to(std::uint8_t row) { return {0x1F, 0x24, 0x00, row}; }

INSTANTIATE_TEST_SUITE_P(
    Cases, CallFromInsideTheBox,
    ::testing::Values(
        ReentryCase{"DisplayTextThenTotal", [](auto& so) { so.DisplayText(long_text(u'A'), 0); },
                    [](auto& so) { so.DisplayTextAt(1, 0, u"TOTAL 9.99", 0); },
                    then({cursor_to(2), ascii("TOTAL 9.99")}, text_writes(Bytes(64, 'A')))},
        ReentryCase{"DisplayTextAtThenTotal", [](auto& so) { so.DisplayTextAt(0, 0, long_text(u'B'), 0); },
                    [](auto& so) { so.DisplayTextAt(1, 0, u"TOTAL 9.99", 0); },
                    then({cursor_to(2), ascii("TOTAL 9.99"), cursor_to(1)}, text_writes(Bytes(64, 'B')))},
        ReentryCase{"NestedLongTextShowsItsOwnBox", [](auto& so) { so.DisplayText(long_text(u'C'), 0); },
                    [](auto& so) { so.DisplayText(long_text(u'D'), 0); },
                    then({Bytes(64, 'D')}, text_writes(Bytes(64, 'C')))},
        ReentryCase{"NestedClearAndScroll", [](auto& so) { so.DisplayText(long_text(u'E'), 0); },
                    [](auto& so) {
                      so.ClearText();
                      so.ScrollText(DISP_ST_LEFT, 2);
                    },
                    then({{0x0C}, {0x1F, 0x04, 0x03, 0x02}}, text_writes(Bytes(64, 'E')))}),
    [](const auto& info) { return std::string(info.param.name); });

// The boxes of an enable come after it has finished: a call made while they are up finds the
// device in its final state and the library free.
TEST(CallFromInsideAnEnableBox, SeesTheFinishedEnable) {
  const struct {
    const char* name;
    std::optional<std::u16string> baud, port;
    std::int32_t result_code;
    bool enabled;
  } cases[] = {
      {"missing baud rate", std::nullopt, u"3", OPOS_E_NOSERVICE, false},
      {"absent port", u"9600", u"9", OPOS_E_DISABLED, false},
      {"missing port", u"9600", std::nullopt, OPOS_E_DISABLED, false},
  };
  for (const auto& c : cases) {
    FakeWorld world;
    world.set_device_values(c.baud, c.port);
    ID_TARVO_VARNEL so(world.module);
    so.OpenService(u"", u"");
    so.ClaimDevice(0);
    std::optional<std::int32_t> seen_code;
    std::optional<std::int32_t> seen_enabled;
    world.messages.while_shown = [&] {
      seen_code = so.GetPropertyNumber(PIDX_ResultCode);
      seen_enabled = so.GetPropertyNumber(PIDX_DeviceEnabled);
      so.DisplayText(u"X", 0);  // must neither block nor reach a port
    };
    so.SetPropertyNumber(PIDX_DeviceEnabled, 1);
    EXPECT_EQ(seen_code, c.result_code) << c.name;
    EXPECT_EQ(seen_enabled, c.enabled ? 1 : 0) << c.name;
    EXPECT_TRUE(world.port.writes.empty()) << c.name;
    EXPECT_EQ(so.result_code(), c.result_code) << c.name;
  }
}

// An application that retries the enable from inside the box of a failed one gets one port,
// held exactly while the flag says so.
TEST(CallFromInsideAnEnableBox, RetriedEnableLeavesOnePortAndATrueFlag) {
  FakeWorld world;
  world.set_device_values(u"9600", u"9");  // absent: the first enable fails with a box
  ID_TARVO_VARNEL so(world.module);
  so.OpenService(u"", u"");
  so.ClaimDevice(0);
  world.messages.while_shown = [&] {
    world.set_device_values(u"9600", u"3");
    so.SetPropertyNumber(PIDX_DeviceEnabled, 1);
  };
  so.SetPropertyNumber(PIDX_DeviceEnabled, 1);
  EXPECT_TRUE(so.enabled());
  EXPECT_EQ(so.result_code(), OPOS_SUCCESS);
  EXPECT_TRUE(world.port.held);
  EXPECT_TRUE(world.module.state().port_open);
  so.ClearText();
  EXPECT_EQ(world.port.writes, std::vector<Bytes>{{0x0C}});
}

TEST(CallFromInsideOpenServiceBox, FindsTheObjectOpened) {
  FakeWorld world;
  world.files.files.clear();
  ID_TARVO_VARNEL so(world.module);
  world.messages.while_shown = [&] { EXPECT_EQ(so.ClaimDevice(0), OPOS_SUCCESS); };
  EXPECT_EQ(so.OpenService(u"", u""), OPOS_SUCCESS);
  EXPECT_TRUE(so.claimed());
}

// ---------------------------------------------------------------------------------------------
// Objects that share the port

// Steps: "A+" / "B+" enable, "A-" / "B-" disable, "Ar" release, "Ac" close, "Ad" destroy.
struct SharingCase {
  const char* name;
  const char* steps;
  bool port_held;
  int opens;
  int closes;
};

void PrintTo(const SharingCase& c, std::ostream* os) { *os << c.name; }

class SharedPort : public ::testing::TestWithParam<SharingCase> {};

TEST_P(SharedPort, ClosesWhenNoEnabledObjectUsesItAndTheFlagTellsTheTruth) {
  const SharingCase& c = GetParam();
  FakeWorld world;
  std::optional<ID_TARVO_VARNEL> a(std::in_place, world.module);
  ID_TARVO_VARNEL b(world.module);
  for (ID_TARVO_VARNEL* so : {&*a, &b}) {
    so->OpenService(u"", u"");
    so->ClaimDevice(0);
  }
  std::istringstream steps(c.steps);
  for (std::string step; steps >> step;) {
    ID_TARVO_VARNEL& so = step[0] == 'A' ? *a : b;
    switch (step[1]) {
      case '+': so.SetPropertyNumber(PIDX_DeviceEnabled, 1); break;
      case '-': so.SetPropertyNumber(PIDX_DeviceEnabled, 0); break;
      case 'r': so.ReleaseDevice(); break;
      case 'c': so.CloseService(); break;
      case 'd': a.reset(); break;
      default: FAIL() << step;
    }
  }
  EXPECT_EQ(world.port.held, c.port_held);
  EXPECT_EQ(world.module.state().port_open, world.port.held) << "the flag claims a port it does not hold";
  EXPECT_EQ(static_cast<int>(world.port.opens.size()), c.opens);
  EXPECT_EQ(world.port.closes, c.closes);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SharedPort,
    ::testing::Values(SharingCase{"SecondEnableShares", "A+ B+", true, 1, 0},
                      SharingCase{"FirstDisableKeepsItForTheSecond", "A+ B+ A-", true, 1, 0},
                      SharingCase{"LastDisableCloses", "A+ B+ A- B-", false, 1, 1},
                      SharingCase{"ReleaseAndCloseCount", "A+ B+ Ar Bc", false, 1, 1},
                      SharingCase{"UnusedObjectsCloseLeavesIt", "A+ Bc", true, 1, 0},
                      SharingCase{"UnusedObjectsDisableLeavesIt", "A+ B-", true, 1, 0},
                      // Released by the application without CloseService: its share goes back.
                      SharingCase{"DestroyedEnabledObjectClosesIt", "A+ Ad", false, 1, 1},
                      SharingCase{"DestroyedEnabledObjectLeavesItToTheOther", "A+ B+ Ad", true, 1, 0},
                      SharingCase{"DestroyedUnusedObjectLeavesIt", "B+ Ad", true, 1, 0},
                      SharingCase{"ThenAnEnableOpensItAgain", "A+ Ad B+", true, 2, 1},
                      SharingCase{"ThenACloseFindsItClosed", "A+ Ad Bc", false, 1, 1},
                      SharingCase{"DestroyedObjectNoLongerHoldsItForOthers", "A+ B+ Ad B-", false, 1, 1}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------------------
// Objects keep what they were opened with

// One object's CloseService (which forgets its device name) leaves another object's key as it
// was: the other enables, however its enable falls before or after the close.
TEST(OwnKeyPath, AnotherObjectsCloseLeavesTheKey) {
  const struct {
    const char* name;
    bool b_enabled_before_close;  // B enables (sharing A's port) and disables before A closes
  } cases[] = {{"first enable after the close", false}, {"enable again after the close", true}};
  for (const auto& c : cases) {
    FakeWorld world;
    ID_TARVO_VARNEL a(world.module);
    ID_TARVO_VARNEL b(world.module);
    open_claim_enable(a);
    b.OpenService(u"", u"");
    b.ClaimDevice(0);
    if (c.b_enabled_before_close) {
      b.SetPropertyNumber(PIDX_DeviceEnabled, 1);
      b.SetPropertyNumber(PIDX_DeviceEnabled, 0);
    }
    a.CloseService();
    b.SetPropertyNumber(PIDX_DeviceEnabled, 1);
    EXPECT_TRUE(b.enabled()) << c.name;
    EXPECT_EQ(b.result_code(), OPOS_SUCCESS) << c.name;
    EXPECT_TRUE(world.messages.shown.empty()) << c.name;
    EXPECT_EQ(b.key_path(), world.device_key()) << c.name;
    EXPECT_EQ(world.registry.opened_paths.back(), world.device_key()) << c.name;
    EXPECT_TRUE(world.port.held) << c.name;
  }
}

// Each object reads the key of the name the device-name file held at its own OpenService.
TEST(OwnKeyPath, EachObjectKeepsTheNameItOpenedWith) {
  FakeWorld world;
  world.registry.keys[world.device_key(u"Other")] = {{u"Baudrate", u"19200"}, {u"Comport", u"4"}};
  ID_TARVO_VARNEL a(world.module);
  ID_TARVO_VARNEL b(world.module);
  a.OpenService(u"", u"");
  world.files.files[std::u16string(kDeviceNameFilePath)] = "Other";
  b.OpenService(u"", u"");
  for (ID_TARVO_VARNEL* so : {&a, &b}) {
    so->ClaimDevice(0);
    so->SetPropertyNumber(PIDX_DeviceEnabled, 1);
    so->SetPropertyNumber(PIDX_DeviceEnabled, 0);
  }
  ASSERT_EQ(world.port.opens.size(), 2u);
  EXPECT_EQ(world.port.opens[0].name, u"COM3");
  EXPECT_EQ(world.port.opens[1].name, u"COM4");
  EXPECT_EQ(world.port.opens[1].baud, 19200);
}

// ---------------------------------------------------------------------------------------------
// Two threads

// Two objects on two threads (as on two apartment threads of one process) write at once: every
// call's two writes reach the port next to each other, and the sanitizer build finds no race.
TEST(TwoThreads, EachCallsWritesStayTogether) {
  FakeWorld world;
  ID_TARVO_VARNEL first(world.module);
  ID_TARVO_VARNEL second(world.module);
  open_claim_enable(first);
  open_claim_enable(second);
  constexpr int kCalls = 300;
  const auto writer = [](ID_TARVO_VARNEL& so, std::int32_t row, char16_t letter) {
    for (int i = 0; i < kCalls; ++i) {
      EXPECT_EQ(so.DisplayTextAt(row, 0, std::u16string(20, letter), 0), OPOS_SUCCESS);
      so.GetPropertyNumber(PIDX_ResultCode);
    }
  };
  std::thread other(writer, std::ref(second), 1, u'b');
  writer(first, 0, u'a');
  other.join();

  ASSERT_EQ(world.port.writes.size(), 4u * kCalls);
  for (std::size_t i = 0; i < world.port.writes.size(); i += 2) {
    const Bytes& cursor = world.port.writes[i];
    const Bytes& text = world.port.writes[i + 1];
    ASSERT_EQ(cursor.size(), 4u) << "write " << i;
    const Bytes expected_text(20, cursor[3] == 1 ? 'a' : 'b');
    EXPECT_EQ(text, expected_text) << "write " << i;
  }
  first.CloseService();
  EXPECT_TRUE(world.port.held) << "the second object still uses the port";
  second.CloseService();
  EXPECT_FALSE(world.port.held);
}

}  // namespace
}  // namespace varnel::testing
