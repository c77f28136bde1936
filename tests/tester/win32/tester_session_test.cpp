// ZornTest.exe end to end under Wine: the real program, driven from this process button by
// button, through the stand-in Control Object and the registered VARNEL.dll to the display
// simulator on COM7. Each press is checked on the status box and, for output, on what the
// simulator received (its trace) and shows (its state).

#include <windows.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "tester/core/form_controls.h"
#include "tests/support/installed_device.h"
#include "tests/support/simulator_link.h"
#include "tests/support/tester_process.h"

namespace kit::tester_test {
namespace {

using namespace zorntest::control_id;
using Status = std::optional<std::wstring>;

std::wstring Tester() { return WindowsPath(KIT_ZORNTEST_EXE); }
constexpr const wchar_t* kDevice = L"KitTesterPole";
Status Success() { return L"OposSuccess"; }

// The trace lines of text bytes as the simulator writes them.
std::vector<std::string> TextLines(const std::string& text) {
  std::vector<std::string> lines;
  for (const char c : text) {
    std::array<char, 16> line{};
    std::snprintf(line.data(), line.size(), "text %02x %c", static_cast<unsigned char>(c), c);
    lines.emplace_back(line.data());
  }
  return lines;
}

std::vector<std::string> Joined(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

class TesterSession : public ::testing::Test {
 protected:
  void SetUp() override {
    sim_ = test_support::SimulatorLink::for_port(7);
    if (!sim_) GTEST_SKIP() << "needs the simulator on COM7 (run through scripts/with-simulator.sh)";
    ASSERT_TRUE(control_object_.registered());
    ASSERT_TRUE(service_object_.registered());
    std::array<wchar_t, MAX_PATH> folder{};
    GetTempPathW(MAX_PATH, folder.data());
    journal_ = std::wstring(folder.data()) + L"kit-tester-journal-" + std::to_wstring(GetCurrentProcessId()) +
               L".txt";
    DeleteFileW(journal_.c_str());
    // The tester inherits the variable; the stand-in Control Object in it writes the journal.
    SetEnvironmentVariableW(L"KIT_CONTROL_OBJECT_JOURNAL", journal_.c_str());
    tester_ = TesterProcess::start(Tester());
    ASSERT_TRUE(tester_.has_value());
    ASSERT_NE(tester_->wait_for_form(), nullptr);
    ASSERT_TRUE(tester_->start_boxes().empty());
  }
  void TearDown() override {
    tester_.reset();
    SetEnvironmentVariableW(L"KIT_CONTROL_OBJECT_JOURNAL", nullptr);
    if (!journal_.empty()) DeleteFileW(journal_.c_str());
  }

  // Open, Claim and Device Enable, each succeeding.
  void OpenClaimEnable() {
    ASSERT_EQ(tester_->press(kCommand1), Success()) << "Open";
    ASSERT_EQ(tester_->press(kCommand2), Success()) << "Claim";
    ASSERT_EQ(tester_->press(kCommand3), Success()) << "Device Enable";
  }

  // The calls the stand-in Control Object received, one per line.
  std::vector<std::string> Journal() const {
    std::vector<std::string> lines;
    std::ifstream file(std::string(journal_.begin(), journal_.end()));
    for (std::string line; std::getline(file, line);) lines.push_back(line);
    return lines;
  }

  // Whether the visible controls other than the device list, Open and Exit are enabled: all
  // of them (true), none (false), or a mixture (nothing).
  std::optional<bool> DeviceControlsEnabled() const {
    int enabled = 0;
    int count = 0;
    for (const zorntest::FormControl& c : zorntest::FormControls()) {
      if (!c.visible || c.tagX || c.kind == zorntest::ControlKind::Rule) continue;
      ++count;
      if (tester_->enabled(c.id)) ++enabled;
    }
    if (enabled == count) return true;
    if (enabled == 0) return false;
    return std::nullopt;
  }

  std::optional<test_support::SimulatorLink> sim_;
  RegisteredServer control_object_{WindowsPath(KIT_CONTROL_OBJECT_DLL)};
  RegisteredServer service_object_{WindowsPath(KIT_VARNEL_DLL)};
  test_support::InstalledDevice device_{kDevice, L"7", L"9600", L"VARNEL.ID_TARVO_VARNEL"};
  std::wstring journal_;
  std::optional<TesterProcess> tester_;
};

TEST_F(TesterSession, EveryButtonReachesTheDisplay) {
  EXPECT_EQ(tester_->text(kCombo1), kDevice);
  EXPECT_EQ(DeviceControlsEnabled(), false);
  ASSERT_EQ(tester_->press(kCommand1), Success()) << "Open: the status of the blink-rate read that follows";
  EXPECT_EQ(DeviceControlsEnabled(), true);
  EXPECT_EQ(tester_->text(kText6), L"0") << "the device's blink rate";
  ASSERT_EQ(tester_->press(kCommand2), Success()) << "Claim";
  ASSERT_EQ(tester_->press(kCommand3), Success()) << "Device Enable";

  // Cleared first, so the screen below does not depend on earlier tests.
  std::size_t first = sim_->trace().size();
  ASSERT_EQ(tester_->press(kCommand6), Success()) << "Clear Text";
  EXPECT_EQ(sim_->wait_for_trace(first, 1), std::vector<std::string>{"clear"});

  first = sim_->trace().size();
  EXPECT_EQ(tester_->press(kCommand4), Success()) << "Display Text";
  EXPECT_EQ(sim_->wait_for_trace(first, 20), TextLines("ABCDEFGHIJ0123456789"));
  EXPECT_EQ(sim_->state()["row0_text"], "ABCDEFGHIJ0123456789");

  first = sim_->trace().size();
  EXPECT_EQ(tester_->press(kCommand5), Success()) << "Display Text At";
  EXPECT_EQ(
      sim_->wait_for_trace(first, 22),
      Joined(Joined(Joined({"cursor col=5 row=2"}, TextLines("ABCDEFGHIJ01234")), {"cursor col=0 row=1"}),
             TextLines("56789")))
      << "row 1 from the Y box, column 5 from the X box; at the row's end the service object moves the "
         "cursor itself";
  auto screen = sim_->state();
  EXPECT_EQ(screen["row1_text"], "     ABCDEFGHIJ01234");
  EXPECT_EQ(screen["row0_text"], "56789FGHIJ0123456789") << "the rest wrapped to the upper line";

  tester_->set_text(kText6, L"500");
  first = sim_->trace().size();
  EXPECT_EQ(tester_->press(kCommand13), Success()) << "Set blink rate";
  EXPECT_EQ(sim_->wait_for_trace(first, 1), std::vector<std::string>{"blink n=10"});
  EXPECT_EQ(sim_->state()["blink"], "10");

  tester_->select(kCombo2, 3);
  tester_->set_text(kText4, L"3");
  first = sim_->trace().size();
  EXPECT_EQ(tester_->press(kCommand7), Success()) << "Scroll Text";
  EXPECT_EQ(sim_->wait_for_trace(first, 1), std::vector<std::string>{"scroll dir=4 units=3"});
  screen = sim_->state();
  EXPECT_EQ(screen["row0_text"], "   56789FGHIJ0123456");
  EXPECT_EQ(screen["row1_text"], "        ABCDEFGHIJ01");

  first = sim_->trace().size();
  EXPECT_EQ(tester_->press(kCommand6), Success()) << "Clear Text";
  EXPECT_EQ(sim_->wait_for_trace(first, 1), std::vector<std::string>{"clear"});
  EXPECT_EQ(sim_->state()["row0_text"], std::string(20, ' '));

  EXPECT_EQ(tester_->press(kCommand8), Success()) << "Device Disable";
  // Output while disabled reaches nothing: the next bytes on the line are those sent after
  // enabling again.
  first = sim_->trace().size();
  EXPECT_EQ(tester_->press(kCommand4), Success()) << "Display Text while disabled";
  EXPECT_EQ(tester_->press(kCommand3), Success()) << "Device Enable";
  EXPECT_EQ(tester_->press(kCommand6), Success()) << "Clear Text";
  EXPECT_EQ(sim_->wait_for_trace(first, 1), std::vector<std::string>{"clear"});
  EXPECT_EQ(tester_->press(kCommand8), Success()) << "Device Disable";
  EXPECT_EQ(tester_->press(kCommand9), Success()) << "Release";
  EXPECT_EQ(tester_->press(kCommand10), Success()) << "Close";
  EXPECT_EQ(DeviceControlsEnabled(), false);

  // The calls went out with the form's arguments.
  const std::vector<std::string> journal = Journal();
  for (const char* call :
       {"Open KitTesterPole", "ClaimDevice 3000", "DeviceEnabled = true",
        "DisplayText \"ABCDEFGHIJ0123456789\" 0", "DisplayTextAt 1 5 \"ABCDEFGHIJ0123456789\" 0",
        "BlinkRate = 500", "ScrollText 4 3", "DeviceEnabled = false", "ReleaseDevice", "Close"}) {
    EXPECT_NE(std::find(journal.begin(), journal.end(), call), journal.end()) << call;
  }
  EXPECT_EQ(std::count(journal.begin(), journal.end(), "Attribute passed by reference"), 3)
      << "three text presses";

  tester_->click(kCommand11);
  EXPECT_EQ(tester_->wait_for_exit(), 0u);
}

TEST_F(TesterSession, OutOfOrderCallsShowTheirResultAndChangeNoState) {
  ASSERT_EQ(tester_->press(kCommand1), Success());
  const std::size_t first = sim_->trace().size();
  EXPECT_EQ(tester_->press(kCommand3), Status(L"OposENotclaimed")) << "Device Enable before Claim";
  EXPECT_EQ(tester_->press(kCommand4), Status(L"OposENotclaimed")) << "Display Text keeps the last result";
  EXPECT_EQ(tester_->press(kCommand1), Status(L"OposEIllegal")) << "Open again";
  EXPECT_EQ(DeviceControlsEnabled(), true) << "a failing Open leaves the Open state";
  // Nothing reached the display: the first bytes on the line are those of the Clear below.
  EXPECT_EQ(tester_->press(kCommand2), Success());
  EXPECT_EQ(tester_->press(kCommand3), Success());
  EXPECT_EQ(tester_->press(kCommand6), Success());
  EXPECT_EQ(sim_->wait_for_trace(first, 1), std::vector<std::string>{"clear"});
  EXPECT_EQ(tester_->press(kCommand10), Success());
  EXPECT_EQ(DeviceControlsEnabled(), false);
}

TEST_F(TesterSession, AFailedOpenLeavesTheFormIdle) {
  // A device whose key names no service object.
  const test_support::InstalledDevice ghost(L"AaGhost", nullptr, nullptr);
  tester_->click(kCommand11);
  ASSERT_EQ(tester_->wait_for_exit(), 0u);
  tester_ = TesterProcess::start(Tester());
  ASSERT_TRUE(tester_ && tester_->wait_for_form() != nullptr);
  ASSERT_EQ(tester_->text(kCombo1), L"AaGhost") << "listed first";
  EXPECT_EQ(tester_->press(kCommand1), Status(L"OposENoservice"));
  EXPECT_EQ(DeviceControlsEnabled(), false);
  tester_->select(kCombo1, 1);
  EXPECT_EQ(tester_->text(kCombo1), kDevice);
  EXPECT_EQ(tester_->press(kCommand1), Success());
  EXPECT_EQ(DeviceControlsEnabled(), true);
}

TEST_F(TesterSession, ATypedDirectionFallsBackToUp) {
  OpenClaimEnable();
  tester_->type_into_combo(kCombo2, L"sideways");
  EXPECT_EQ(tester_->selection(kCombo2), -1) << "a typed text selects no item";
  tester_->set_text(kText4, L"2");
  const std::size_t first = sim_->trace().size();
  EXPECT_EQ(tester_->press(kCommand7), Success());
  EXPECT_EQ(sim_->wait_for_trace(first, 1), std::vector<std::string>{"scroll dir=1 units=2"});
  EXPECT_EQ(tester_->text(kCombo2), L"1-DISP_ST_UP");
}

TEST_F(TesterSession, NumbersBeyondThe32BitRangeArePassedAsTheNearestLimit) {
  OpenClaimEnable();
  const struct {
    const wchar_t* units;
    const char* call;
  } cases[] = {
      {L"1e999", "ScrollText 1 2147483647"},
      {L"-3000000000", "ScrollText 1 -2147483648"},
      {L"nan", "ScrollText 1 0"},
      {L"2.5", "ScrollText 1 2"},
      {L"3.5", "ScrollText 1 4"},
      {L"7x", "ScrollText 1 7"},
      {L"", "ScrollText 1 0"},
  };
  for (const auto& c : cases) {
    tester_->set_text(kText4, c.units);
    EXPECT_EQ(tester_->press(kCommand7), Success()) << c.call;
    const std::vector<std::string> journal = Journal();
    ASSERT_FALSE(journal.empty());
    EXPECT_EQ(journal.back(), c.call);
  }
  EXPECT_TRUE(IsWindow(tester_->form())) << "the program goes on";
}

TEST_F(TesterSession, ExitAndTheCloseBoxMakeNoCall) {
  for (const bool close_box : {false, true}) {
    if (close_box) {
      tester_ = TesterProcess::start(Tester());
      ASSERT_TRUE(tester_ && tester_->wait_for_form() != nullptr);
    }
    OpenClaimEnable();
    const std::size_t calls = Journal().size();
    if (close_box) {
      tester_->close();
    } else {
      tester_->click(kCommand11);
    }
    EXPECT_EQ(tester_->wait_for_exit(), 0u);
    const std::vector<std::string> journal = Journal();
    for (std::size_t i = calls; i < journal.size(); ++i) {
      EXPECT_EQ(journal[i], "final release while open")
          << (close_box ? "close box" : "Exit") << ": the form made a call at the end";
    }
  }
}

}  // namespace
}  // namespace kit::tester_test
