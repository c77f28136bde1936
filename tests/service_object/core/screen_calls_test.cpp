// The window, cursor and marquee calls of the service object on an enabled device: their result
// codes, the properties they change, and the screen their bytes make on the display.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <set>
#include <thread>

#include "service_object/core/opos_properties.h"
#include "service_object/core/screen_model.h"
#include "tests/fixtures/service_fakes.h"
#include "tests/fixtures/std_marquee_timer.h"

namespace varnel::testing {
namespace {

using namespace opos;

std::string shown_row(const FakeSerialPort& port, int row) {
  DisplayMirror display;
  display.feed(port.all_bytes());
  const auto& cells = display.cells()[static_cast<std::size_t>(row)];
  return {cells.begin(), cells.end()};
}

TEST(ScreenCalls, WindowsCursorAndReadBackThroughTheObject) {
  FakeWorld world;
  ID_TARVO_VARNEL so(world.module);
  open_claim_enable(so);
  so.DisplayTextAt(1, 0, u"ITEM 1", 0);
  EXPECT_EQ(so.CreateWindow(1, 10, 1, 10, 1, 10), OPOS_SUCCESS);
  EXPECT_EQ(so.GetPropertyNumber(PIDXDisp_CurrentWindow), 1);
  EXPECT_EQ(so.GetPropertyNumber(PIDXDisp_Rows), 1);
  EXPECT_EQ(so.GetPropertyNumber(PIDXDisp_Columns), 10);
  EXPECT_EQ(so.DisplayText(u"9.99", 0), OPOS_SUCCESS);
  EXPECT_EQ(so.GetPropertyNumber(PIDXDisp_CursorColumn), 4);
  EXPECT_EQ(shown_row(world.port, 1), "ITEM 1    9.99      ");

  so.SetPropertyNumber(PIDXDisp_CursorColumn, 0);
  EXPECT_EQ(so.result_code(), OPOS_SUCCESS);
  std::int32_t character = 0;
  EXPECT_EQ(so.ReadCharacterAtCursor(character), OPOS_SUCCESS);
  EXPECT_EQ(character, '9');
  so.SetPropertyNumber(PIDXDisp_CursorColumn, 10);
  EXPECT_EQ(so.result_code(), OPOS_E_ILLEGAL) << "outside the window";
  EXPECT_EQ(so.GetPropertyNumber(PIDXDisp_CursorColumn), 0);

  so.SetPropertyNumber(PIDXDisp_CurrentWindow, 0);
  EXPECT_EQ(so.result_code(), OPOS_SUCCESS);
  EXPECT_EQ(shown_row(world.port, 1), "ITEM 1              ") << "window 0 drawn over window 1";
  EXPECT_EQ(so.DestroyWindow(), OPOS_E_ILLEGAL) << "window 0 stays";
  EXPECT_EQ(so.RefreshWindow(1), OPOS_SUCCESS);
  EXPECT_EQ(shown_row(world.port, 1), "ITEM 1    9.99      ");
  EXPECT_EQ(so.DestroyWindow(), OPOS_SUCCESS);
  EXPECT_EQ(shown_row(world.port, 1), "ITEM 1              ");
  EXPECT_EQ(so.RefreshWindow(1), OPOS_E_ILLEGAL) << "destroyed";
  EXPECT_EQ(so.CreateWindow(0, 0, 3, 20, 3, 20), OPOS_E_ILLEGAL);
  EXPECT_EQ(so.result_code(), OPOS_E_ILLEGAL);
}

TEST(ScreenCalls, ReadBackAnswersInTheCharacterSetInForce) {
  FakeWorld world;
  ID_TARVO_VARNEL so(world.module);
  open_claim_enable(so);
  so.SetPropertyNumber(PIDXDisp_CharacterSet, 866);
  so.DisplayText(u"\u0416\u00E9", 0);  // the second has no place in 866: '?'
  std::int32_t character = 0;
  for (const auto& [column, expected] : {std::pair{0, 0x0416}, std::pair{1, int{'?'}}}) {
    so.SetPropertyNumber(PIDXDisp_CursorColumn, column);
    EXPECT_EQ(so.ReadCharacterAtCursor(character), OPOS_SUCCESS);
    EXPECT_EQ(character, expected) << column;
  }
  so.SetPropertyNumber(PIDXDisp_CharacterSet, 998);
  so.SetPropertyNumber(PIDXDisp_CursorColumn, 0);
  EXPECT_EQ(so.ReadCharacterAtCursor(character), OPOS_SUCCESS);
  EXPECT_EQ(character, 0x86) << "the byte itself by default";
}

TEST(ScreenCalls, WindowPropertiesOfAnObjectNotEnabledChangeNothing) {
  FakeWorld world;
  ID_TARVO_VARNEL so(world.module);
  so.OpenService(u"", u"");
  so.ClaimDevice(0);
  for (const std::int32_t index : {PIDXDisp_CurrentWindow, PIDXDisp_CursorRow, PIDXDisp_MarqueeType,
                                   PIDXDisp_MarqueeUnitWait, PIDXDisp_CursorUpdate}) {
    so.SetPropertyNumber(index, 1);
    EXPECT_EQ(so.result_code(), OPOS_E_DISABLED) << index;
  }
  EXPECT_EQ(so.GetPropertyNumber(PIDXDisp_MarqueeUnitWait), 0);
  EXPECT_EQ(so.GetPropertyNumber(PIDXDisp_CursorUpdate), 1);
  EXPECT_TRUE(world.port.writes.empty());
}

// A marquee steps on the library's timer thread with no call of the application, its writes
// under the device lock, and stops when the device is disabled.
TEST(ScreenCalls, MarqueeStepsOnTheTimerThreadAndStopsAtDisable) {
  FakeWorld world;
  StdMarqueeTimers timers;
  world.module.platform().timers = &timers;
  ID_TARVO_VARNEL so(world.module);
  open_claim_enable(so);
  ASSERT_EQ(so.CreateWindow(0, 0, 1, 5, 1, 8), OPOS_SUCCESS);
  so.SetPropertyNumber(PIDXDisp_MarqueeUnitWait, 20);
  so.SetPropertyNumber(PIDXDisp_MarqueeType, static_cast<std::int32_t>(MarqueeType::kInit));
  so.DisplayText(u"WELCOME!", 0);
  so.SetPropertyNumber(PIDXDisp_MarqueeType, static_cast<std::int32_t>(MarqueeType::kLeft));
  ASSERT_EQ(so.result_code(), OPOS_SUCCESS);

  // Every screen the writes made so far, one after each write.
  const auto frames_so_far = [&] {
    const std::lock_guard<std::mutex> guard(world.module.state().lock);
    std::set<std::string> frames;
    DisplayMirror display;
    for (const Bytes& write : world.port.writes) {
      display.feed(write);
      const auto& row = display.cells()[0];
      frames.emplace(row.begin(), row.begin() + 5);
    }
    return frames;
  };
  std::set<std::string> frames;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!frames.contains("WELCO") && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    frames = frames_so_far();
  }
  EXPECT_TRUE(frames.contains("WELCO")) << "the text walked in from the right";
  EXPECT_TRUE(frames.contains("    W")) << "one column at a time";

  so.SetPropertyNumber(PIDX_DeviceEnabled, 0);
  EXPECT_EQ(so.GetPropertyNumber(PIDXDisp_MarqueeType), static_cast<std::int32_t>(MarqueeType::kNone));
  so.CloseService();
}

}  // namespace
}  // namespace varnel::testing

namespace varnel::testing {
namespace {

// CheckHealth and DirectIO on an enabled device: what each level and command sends, answers and
// says in CheckHealthText; the display shows the model again afterwards.
TEST(HealthAndDirectIO, LevelsAndCommands) {
  FakeWorld world;
  ID_TARVO_VARNEL so(world.module);
  open_claim_enable(so);
  so.DisplayText(u"TOTAL 5.00", 0);
  const std::size_t before = world.port.writes.size();

  EXPECT_EQ(so.CheckHealth(1), OPOS_SUCCESS);
  EXPECT_EQ(so.GetPropertyString(PIDX_CheckHealthText), u"Internal HCheck: Successful");
  EXPECT_EQ(world.port.writes.size(), before) << "the internal check leaves the screen alone";

  EXPECT_EQ(so.CheckHealth(2), OPOS_SUCCESS);
  EXPECT_EQ(so.GetPropertyString(PIDX_CheckHealthText), u"External HCheck: Successful");
  const Bytes all = world.port.all_bytes();
  EXPECT_NE(std::search_n(all.begin(), all.end(), 39, std::uint8_t{'#'}), all.end()) << "every cell lit";
  EXPECT_EQ(shown_row(world.port, 0), "TOTAL 5.00          ") << "and the model drawn again";

  EXPECT_EQ(so.CheckHealth(3), OPOS_E_ILLEGAL);
  EXPECT_EQ(so.GetPropertyString(PIDX_CheckHealthText), u"Interactive HCheck: Not supported");

  std::int32_t data = 0;
  std::u16string raw{0x1F, 0x24, 0x00, 0x02, u'X'};
  EXPECT_EQ(so.DirectIO(1, data, raw), OPOS_SUCCESS);
  EXPECT_EQ(world.port.writes.back(), (Bytes{0x1F, 0x24, 0x00, 0x02, 'X'}));
  EXPECT_EQ(so.DisplayText(u"!", 0), OPOS_SUCCESS);
  EXPECT_EQ(shown_row(world.port, 0), "TOTAL 5.00!         ") << "the raw X is gone: the model was redrawn";
  EXPECT_EQ(shown_row(world.port, 1), "                    ");
  EXPECT_EQ(world.port.writes.back().front(), 0x0C);

  EXPECT_EQ(so.DirectIO(2, data, raw), OPOS_SUCCESS);
  EXPECT_EQ(world.port.writes.back().front(), 0x0C);
  EXPECT_EQ(so.DirectIO(3, data, raw), OPOS_E_ILLEGAL);

  world.port.results = {WriteResult::kPortLost};
  world.port.available_ports.clear();
  so.DisplayText(u"?", 0);
  EXPECT_EQ(so.CheckHealth(1), OPOS_E_NOHARDWARE);
  EXPECT_EQ(so.GetPropertyString(PIDX_CheckHealthText), u"Internal HCheck: Port not open");
}

}  // namespace
}  // namespace varnel::testing
