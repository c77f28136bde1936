#include "tester/core/form1.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "tester/core/form_controls.h"
#include "tester/core/opos_sub.h"
#include "tests/tester/core/tester_fakes.h"

namespace zorntest {
namespace {

using namespace control_id;
using test::Log;

// A form with its recorders; the view and the control object share one log.
struct TestForm {
  Log log;
  test::FakeView view{log};
  test::FakeControlObject control{log};
  test::FakeRegistry registry;
  test::FakeInstance instance;
  Form1 form{view, control, registry, instance};

  // Loads the form with one device and opens it; the log starts empty afterwards.
  void LoadAndOpen() {
    registry.subkeys = {{"Pole", ""}};
    ASSERT_TRUE(form.Form_Load());
    form.Command1_Click();
    ASSERT_TRUE(view.at(kCommand2).enabled);
    log.clear();
  }

  std::vector<std::string> EnabledNames() {
    std::vector<std::string> names;
    for (const FormControl& c : FormControls()) {
      if (c.kind != ControlKind::ControlObject && view.at(c.id).enabled) names.emplace_back(c.name);
    }
    return names;
  }
};

class Form1Test : public ::testing::Test, protected TestForm {};

// The enabled controls at start-up; the two rules start enabled.
std::vector<std::string> IdleEnabled() {
  return {"Label1", "Combo1", "Command1", "Frame1(0)", "Frame1(1)", "Command11", "Text5"};
}
// After Close, which also disables the rules.
std::vector<std::string> IdleAfterClose() { return {"Label1", "Combo1", "Command1", "Command11", "Text5"}; }

TEST_F(Form1Test, AnotherInstanceEndsTheProgramBeforeTheRegistryIsRead) {
  instance.running = true;
  instance.name = u"PoleCheck";
  EXPECT_FALSE(form.Form_Load());
  ASSERT_EQ(view.messages.size(), 1u);
  EXPECT_EQ(view.messages[0].first, "PoleCheck is running.");
  EXPECT_EQ(view.messages[0].second, MessageIcon::Exclamation);
  EXPECT_TRUE(view.ended);
  EXPECT_EQ(registry.opens, 0);
  EXPECT_TRUE(view.at(kCombo1).items.empty());
}

TEST_F(Form1Test, StartUpFillsTheDeviceListAndSelectsTheFirstItems) {
  const struct {
    const char* what;
    bool keyPresent;
    std::vector<test::FakeRegistry::Subkey> subkeys;
    std::vector<std::string> messages;
    std::vector<std::string> devices;
    std::string selected;
    int optionIndex;  // of Combo2 and Combo3
  } cases[] = {
      {"key absent", false, {}, {"Problem with the Windows Registry\r\nUnable to open key"}, {}, "", -1},
      {"no subkeys", true, {}, {}, {}, "", 0},
      {"three devices",
       true,
       {{"Alpha", ""}, {"Bravo", ""}, {"Delta", ""}},
       {},
       {"Alpha", "Bravo", "Delta"},
       "Alpha",
       0},
  };
  for (const auto& c : cases) {
    TestForm t;
    t.registry.present = c.keyPresent;
    t.registry.subkeys = c.subkeys;
    EXPECT_TRUE(t.form.Form_Load()) << c.what;
    std::vector<std::string> messages;
    for (const auto& [text, icon] : t.view.messages) {
      messages.push_back(text);
      EXPECT_EQ(icon, MessageIcon::None) << c.what;
    }
    EXPECT_EQ(messages, c.messages) << c.what;
    std::vector<std::string> devices;
    for (const auto& item : t.view.at(kCombo1).items) devices.push_back(test::Narrow(item));
    EXPECT_EQ(devices, c.devices) << c.what;
    EXPECT_EQ(test::Narrow(t.view.Text(kCombo1)), c.selected) << c.what;
    EXPECT_EQ(t.view.ListIndex(kCombo2), c.optionIndex) << c.what;
    EXPECT_EQ(t.view.ListIndex(kCombo3), c.optionIndex) << c.what;
    EXPECT_FALSE(t.view.ended) << c.what;
    EXPECT_EQ(t.registry.openKeys, 0) << c.what;
  }
}

TEST_F(Form1Test, OpenEntersTheOpenStateAndReadsTheBlinkRate) {
  registry.subkeys = {{"Alpha", ""}, {"Bravo", ""}};
  ASSERT_TRUE(form.Form_Load());
  EXPECT_EQ(EnabledNames(), IdleEnabled());
  control.blinkRate = -250;
  control.resultCodes = {0, 106};
  form.Command1_Click();
  const Log expected{"hourglass", "Open(Alpha)", "ResultCode", "status OposSuccess",  "pointer",
                     "hourglass", "BlinkRate",   "ResultCode", "status OposEIllegal", "pointer"};
  EXPECT_EQ(log, expected);
  EXPECT_EQ(test::Narrow(view.Text(kText6)), "-250");
  EXPECT_EQ(test::Narrow(view.Text(kText5)), "OposEIllegal")
      << "the status of the blink-rate read, not of Open";
  std::vector<std::string> all;
  for (const FormControl& c : FormControls()) {
    if (c.kind != ControlKind::ControlObject) all.emplace_back(c.name);
  }
  EXPECT_EQ(EnabledNames(), all) << "every control, the hidden ones included";
}

TEST_F(Form1Test, AFailedOpenLeavesTheFormIdle) {
  registry.subkeys = {{"Ghost", ""}};
  ASSERT_TRUE(form.Form_Load());
  control.resultCodes = {109};
  form.Command1_Click();
  EXPECT_EQ(log, (Log{"hourglass", "Open(Ghost)", "ResultCode", "status OposENoexist", "pointer"}));
  EXPECT_EQ(EnabledNames(), IdleEnabled());
}

TEST_F(Form1Test, OpenWithNoDeviceListedPassesTheEmptyName) {
  ASSERT_TRUE(form.Form_Load());
  control.resultCodes = {109};
  form.OnClick(kCommand1);
  EXPECT_EQ(log.at(1), "Open()");
  EXPECT_EQ(EnabledNames(), IdleEnabled());
}

TEST_F(Form1Test, AFailingOpenInTheOpenStateKeepsTheControlsEnabled) {
  LoadAndOpen();
  control.resultCodes = {106};
  form.Command1_Click();
  EXPECT_EQ(log, (Log{"hourglass", "Open(Pole)", "ResultCode", "status OposEIllegal", "pointer"}));
  EXPECT_TRUE(view.at(kCommand4).enabled);
}

struct ButtonCase {
  const char* what;
  std::function<void(test::FakeView&)> arrange;
  int button;
  std::vector<std::string> calls;  // between the hourglass and the ResultCode read
};

TEST_F(Form1Test, EachButtonMakesItsCallWithItsArguments) {
  const auto text = [](int id, const char* value) {
    return [id, value](test::FakeView& v) { v.SetText(id, test::Widen(value)); };
  };
  const auto select = [](int id, int index) {
    return [id, index](test::FakeView& v) { v.SetListIndex(id, index); };
  };
  const auto none = [](test::FakeView&) {};
  const ButtonCase cases[] = {
      {"Claim", none, kCommand2, {"ClaimDevice(3000)"}},
      {"Device Enable", none, kCommand3, {"DeviceEnabled=true"}},
      {"Display Text, defaults", none, kCommand4, {"DisplayText(ABCDEFGHIJ0123456789, 0)"}},
      {"Display Text, reverse", select(kCombo3, 2), kCommand4, {"DisplayText(ABCDEFGHIJ0123456789, 2)"}},
      {"Display Text, own data", text(kText3, "Total 12.50"), kCommand4, {"DisplayText(Total 12.50, 0)"}},
      {"Display Text At, defaults", none, kCommand5, {"DisplayTextAt(1, 5, ABCDEFGHIJ0123456789, 0)"}},
      {"Display Text At, rounded",
       text(kText2, "2.5"),
       kCommand5,
       {"DisplayTextAt(1, 2, ABCDEFGHIJ0123456789, 0)"}},
      {"Display Text At, words",
       text(kText1, "top"),
       kCommand5,
       {"DisplayTextAt(0, 5, ABCDEFGHIJ0123456789, 0)"}},
      {"Set, typed rate", text(kText6, "500"), kCommand13, {"BlinkRate=500"}},
      {"Set, rate beyond 32 bits", text(kText6, "1e999"), kCommand13, {"BlinkRate=2147483647"}},
      {"Set, rate below 32 bits", text(kText6, "-5e9"), kCommand13, {"BlinkRate=-2147483648"}},
      {"Scroll Text, defaults", none, kCommand7, {"ScrollText(1, 0)"}},
      {"Scroll Text, right by 3",
       [](test::FakeView& v) {
         v.SetListIndex(kCombo2, 3);
         v.SetText(kText4, u"3");
       },
       kCommand7,
       {"ScrollText(4, 3)"}},
      {"Scroll Text, 2.5 units", text(kText4, "2.5"), kCommand7, {"ScrollText(1, 2)"}},
      {"Scroll Text, 3.5 units", text(kText4, "3.5"), kCommand7, {"ScrollText(1, 4)"}},
      {"Scroll Text, 7x units", text(kText4, "7x"), kCommand7, {"ScrollText(1, 7)"}},
      {"Scroll Text, empty units", text(kText4, ""), kCommand7, {"ScrollText(1, 0)"}},
      {"Clear Text", none, kCommand6, {"ClearText()"}},
      {"Device Disable", none, kCommand8, {"DeviceEnabled=false"}},
      {"Release", none, kCommand9, {"ReleaseDevice()"}},
      {"Close", none, kCommand10, {"Close()"}},
  };
  for (const ButtonCase& c : cases) {
    TestForm t;
    t.LoadAndOpen();
    c.arrange(t.view);
    t.log.clear();
    ASSERT_TRUE(t.form.OnClick(c.button)) << c.what;
    Log expected{"hourglass"};
    expected.insert(expected.end(), c.calls.begin(), c.calls.end());
    expected.insert(expected.end(), {"ResultCode", "status OposSuccess", "pointer"});
    EXPECT_EQ(t.log, expected) << c.what;
  }
}

TEST_F(Form1Test, TheOptionListsFallBackToTheirFirstItem) {
  LoadAndOpen();
  view.SetText(kCombo2, u"sideways");  // typed: no item selected
  view.SetListIndex(kCombo3, -1);
  form.Command7_Click();
  form.Command4_Click();
  EXPECT_EQ(log.at(1), "ScrollText(1, 0)");
  EXPECT_EQ(test::Narrow(view.Text(kCombo2)), "1-DISP_ST_UP") << "the typed text is replaced";
  EXPECT_EQ(log.at(6), "DisplayText(ABCDEFGHIJ0123456789, 0)");
  EXPECT_EQ(view.ListIndex(kCombo3), 0);
}

TEST_F(Form1Test, CloseReturnsToIdleWhateverItsResult) {
  for (const std::int32_t code : {0, 101, 111}) {
    TestForm t;
    t.LoadAndOpen();
    t.control.resultCodes = {code};
    t.form.Command10_Click();
    EXPECT_EQ(test::Narrow(t.view.Text(kText5)), test::Narrow(GetResultCodeName(code)));
    EXPECT_EQ(t.EnabledNames(), IdleAfterClose()) << code;
  }
}

TEST_F(Form1Test, StateIsOnlyChangedByOpenAndClose) {
  LoadAndOpen();
  const std::vector<std::string> open = EnabledNames();
  for (const int button : {kCommand2, kCommand3, kCommand4, kCommand5, kCommand13, kCommand7, kCommand6,
                           kCommand8, kCommand9, kCommand12}) {
    control.resultCodes = {103};
    form.OnClick(button);
    EXPECT_EQ(EnabledNames(), open) << button;
    EXPECT_EQ(test::Narrow(view.Text(kText5)), "OposENotclaimed") << button;
  }
}

TEST_F(Form1Test, ExitAndTheCloseBoxEndTheProgramWithoutAnyCall) {
  for (const bool closeBox : {false, true}) {
    TestForm t;
    t.LoadAndOpen();
    t.form.Command2_Click();
    t.form.Command3_Click();
    t.log.clear();
    if (closeBox) {
      t.form.Form_Unload();
    } else {
      t.form.OnClick(kCommand11);
    }
    EXPECT_EQ(t.log, Log{"end"}) << (closeBox ? "close box" : "Exit");
    EXPECT_TRUE(t.view.ended);
  }
}

TEST_F(Form1Test, ACallThatDoesNotReachTheControlObjectShowsFailure) {
  LoadAndOpen();
  control.unreachable = {"ClearText", "BlinkRate"};
  view.SetText(kText6, u"77");
  form.Command6_Click();
  EXPECT_EQ(log, (Log{"hourglass", "ClearText()", "status OposEFailure", "pointer"}));
  log.clear();
  form.Command12_Click();
  EXPECT_EQ(log, (Log{"hourglass", "BlinkRate", "status OposEFailure", "pointer"}));
  EXPECT_EQ(test::Narrow(view.Text(kText6)), "77") << "a failed read leaves the box as it was";
  log.clear();
  control.resultCodes = {std::nullopt};
  form.Command2_Click();
  EXPECT_EQ(test::Narrow(view.Text(kText5)), "OposEFailure") << "ResultCode itself unreadable";
}

TEST_F(Form1Test, AFailedOpenOfAnUnreachableControlObjectStaysIdle) {
  registry.subkeys = {{"Pole", ""}};
  ASSERT_TRUE(form.Form_Load());
  control.unreachable = {"Open"};
  form.Command1_Click();
  EXPECT_EQ(log, (Log{"hourglass", "Open(Pole)", "status OposEFailure", "pointer"}));
  EXPECT_EQ(EnabledNames(), IdleEnabled());
}

}  // namespace
}  // namespace zorntest
