// What an application reads to lay out its lines (geometry, capabilities, state, character
// sets), and selecting a character set through SetPropertyNumber, against in-memory fakes.

#include <gtest/gtest.h>

#include "service_object/core/opos_properties.h"
#include "tests/fixtures/service_fakes.h"

namespace varnel::testing {
namespace {

using namespace opos;

struct NumberCase {
  const char* name;
  std::int32_t index;
  std::int32_t answer;
};

TEST(PropertyAnswers, DeviceGeometryAndCapabilities) {
  const NumberCase cases[] = {
      {"Columns", PIDXDisp_Columns, 20},
      {"Rows", PIDXDisp_Rows, 2},
      {"DeviceColumns", PIDXDisp_DeviceColumns, 20},
      {"DeviceRows", PIDXDisp_DeviceRows, 2},
      {"CurrentWindow", PIDXDisp_CurrentWindow, 0},
      {"DeviceWindows: windows 1 to 4 besides window 0", PIDXDisp_DeviceWindows, 4},
      {"CapHMarquee", PIDXDisp_CapHMarquee, 1},
      {"CapVMarquee", PIDXDisp_CapVMarquee, 1},
      {"CursorUpdate by default", PIDXDisp_CursorUpdate, 1},
      {"DeviceBrightness", PIDXDisp_DeviceBrightness, 100},
      {"CapBrightness", PIDXDisp_CapBrightness, 0},
      {"CapBlink: attributes are not used", PIDXDisp_CapBlink, 0},
      {"CapBlinkRate", PIDXDisp_CapBlinkRate, 1},
      {"CapCursorType: all but blink", PIDXDisp_CapCursorType, 0x3F},
      {"CapICharWait", PIDXDisp_CapICharWait, 1},
      {"CapCharacterSet", PIDXDisp_CapCharacterSet, DISP_CCS_ASCII},
      {"CapMapCharacterSet", PIDXDisp_CapMapCharacterSet, 1},
      {"CharacterSet by default", PIDXDisp_CharacterSet, DISP_CS_ASCII},
      {"MapCharacterSet by default", PIDXDisp_MapCharacterSet, 0},
      {"CapDescriptors", PIDXDisp_CapDescriptors, 0},
      {"CapCustomGlyph", PIDXDisp_CapCustomGlyph, 0},
      {"CapBitmap", PIDXDisp_CapBitmap, 0},
      {"CapReadBack", PIDXDisp_CapReadBack, DISP_CRB_SINGLE},
      {"CapPowerReporting", PIDX_CapPowerReporting, OPOS_PR_STANDARD},
      {"PowerState", PIDX_PowerState, OPOS_PS_UNKNOWN},
      {"CapStatisticsReporting", PIDX_CapStatisticsReporting, 0},
      {"an index no device has", 5999, 0},
  };
  FakeWorld world;
  ID_TARVO_VARNEL closed(world.module);
  ID_TARVO_VARNEL enabled(world.module);
  enabled.OpenService(u"", u"");
  enabled.ClaimDevice(0);
  enabled.SetPropertyNumber(PIDX_DeviceEnabled, 1);
  ASSERT_TRUE(enabled.enabled());
  for (const NumberCase& c : cases) {
    EXPECT_EQ(closed.GetPropertyNumber(c.index), c.answer) << c.name << ", closed";
    EXPECT_EQ(enabled.GetPropertyNumber(c.index), c.answer) << c.name << ", enabled";
  }
  EXPECT_EQ(closed.result_code(), OPOS_SUCCESS) << "reading a number never changes the result code";
}

TEST(PropertyAnswers, StringLists) {
  FakeWorld world;
  ID_TARVO_VARNEL so(world.module);
  so.OpenService(u"", u"");
  EXPECT_EQ(so.GetPropertyString(PIDXDisp_CharacterSetList),
            u"998,437,737,850,852,858,860,862,863,864,865,866,1251,1252,1253,1257,28598");
  EXPECT_EQ(so.GetPropertyString(PIDXDisp_CustomGlyphList), u"");
  EXPECT_EQ(so.GetPropertyString(PIDXDisp_ScreenModeList), u"");
  EXPECT_EQ(so.result_code(), OPOS_SUCCESS);
}

// An enabled object on the fake port.
struct EnabledWorld {
  EnabledWorld() {
    so.OpenService(u"", u"");
    so.ClaimDevice(0);
    so.SetPropertyNumber(PIDX_DeviceEnabled, 1);
  }
  FakeWorld world;
  ID_TARVO_VARNEL so{world.module};
};

TEST(CharacterSetSelection, ConvertsTheTextAndKeepsTheCommands) {
  EnabledWorld w;
  w.so.SetPropertyNumber(PIDXDisp_CharacterSet, 866);
  EXPECT_EQ(w.so.result_code(), OPOS_SUCCESS);
  EXPECT_EQ(w.so.GetPropertyNumber(PIDXDisp_CharacterSet), 866);
  EXPECT_EQ(w.so.GetPropertyNumber(PIDXDisp_MapCharacterSet), 1);
  EXPECT_TRUE(w.world.port.writes.empty()) << "selecting a character set sends nothing";

  // The cursor command keeps its 0x1F; a 0x1F or 0x0C inside the text becomes '?'.
  EXPECT_EQ(w.so.DisplayTextAt(1, 0, u"\u0418\u0422\u041E\u0413 \u001F\u000C", 0), 0);
  const std::vector<Bytes> expected{{0x1F, 0x24, 0x00, 0x02}, {0x88, 0x92, 0x8E, 0x83, ' ', '?', '?'}};
  EXPECT_EQ(w.world.port.writes, expected);
  EXPECT_TRUE(w.world.messages.shown.empty());
}

TEST(CharacterSetSelection, OverlongTextIsCutAfterTheMessage) {
  EnabledWorld w;
  w.so.SetPropertyNumber(PIDXDisp_CharacterSet, 1251);
  w.so.DisplayText(std::u16string(70, u'\u0416'), 0);
  EXPECT_EQ(w.world.messages.shown, std::vector<std::u16string>{std::u16string(messages::kTooManyChars)});
  EXPECT_EQ(w.world.port.writes, text_writes(Bytes(64, 0xC6)));
}

TEST(CharacterSetSelection, RefusedNumbersReportIllegalAndChangeNothing) {
  EnabledWorld w;
  w.so.SetPropertyNumber(PIDXDisp_CharacterSet, 1252);
  for (const std::int32_t refused : {DISP_CS_ANSI, DISP_CS_UNICODE, 0, 1250, -1}) {
    w.so.SetPropertyNumber(PIDXDisp_CharacterSet, refused);
    EXPECT_EQ(w.so.result_code(), OPOS_E_ILLEGAL) << refused;
    EXPECT_EQ(w.so.GetPropertyNumber(PIDXDisp_CharacterSet), 1252) << refused;
  }
  // A later good selection clears the error, so a control object does not report it again.
  w.so.SetPropertyNumber(PIDXDisp_CharacterSet, DISP_CS_ASCII);
  EXPECT_EQ(w.so.result_code(), OPOS_SUCCESS);
  w.so.DisplayText(u"\u00E9", 0);
  EXPECT_EQ(w.world.port.all_bytes(), Bytes{0xE9}) << "998 is the default low-byte rule again";
}

TEST(CharacterSetSelection, ClosedObjectRecordsClosedAndAStartsFreshAfterClose) {
  FakeWorld world;
  ID_TARVO_VARNEL so(world.module);
  so.SetPropertyNumber(PIDXDisp_CharacterSet, 866);
  EXPECT_EQ(so.result_code(), OPOS_E_CLOSED) << "as every SetPropertyNumber on a closed object";
  EXPECT_EQ(so.GetPropertyNumber(PIDXDisp_CharacterSet), 866) << "and acts regardless";
  so.SetPropertyNumber(PIDXDisp_CharacterSet, 999);
  EXPECT_EQ(so.result_code(), OPOS_E_ILLEGAL);

  so.OpenService(u"", u"");
  so.SetPropertyNumber(PIDXDisp_CharacterSet, 1253);
  so.CloseService();
  EXPECT_EQ(so.GetPropertyNumber(PIDXDisp_CharacterSet), DISP_CS_ASCII) << "a closed service forgets it";
}

TEST(CharacterSetSelection, EachObjectKeepsItsOwn) {
  FakeWorld world;
  ID_TARVO_VARNEL first(world.module);
  ID_TARVO_VARNEL second(world.module);
  first.OpenService(u"", u"");
  first.SetPropertyNumber(PIDXDisp_CharacterSet, 866);
  EXPECT_EQ(second.GetPropertyNumber(PIDXDisp_CharacterSet), DISP_CS_ASCII);
}

}  // namespace
}  // namespace varnel::testing
