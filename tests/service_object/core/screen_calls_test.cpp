// The window, cursor and marquee calls of the service object on an enabled device: their result
// codes, the properties they change, and the screen their bytes make on the display.

#include <gtest/gtest.h>

#include "service_object/core/opos_properties.h"
#include "service_object/core/screen_model.h"
#include "tests/fixtures/service_fakes.h"

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

}  // namespace
}  // namespace varnel::testing
