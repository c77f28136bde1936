// The bytes each output method puts on the line, the 64-character limit, and that nothing is
// sent unless the device is enabled.

#include <gtest/gtest.h>

#include <functional>
#include <limits>

#include "tests/fixtures/service_fakes.h"

namespace varnel::testing {
namespace {

using namespace opos;

struct OutputCase {
  const char* name;
  std::function<void(ID_TARVO_VARNEL&)> call;
  std::vector<Bytes> writes;  // one entry per write, in order
};

void PrintTo(const OutputCase& c, std::ostream* os) { *os << c.name; }

class OutputBytes : public ::testing::TestWithParam<OutputCase> {};

TEST_P(OutputBytes, WhenEnabled) {
  const OutputCase& c = GetParam();
  FakeWorld world;
  ID_TARVO_VARNEL so(world.module);
  so.OpenService(u"", u"");
  so.ClaimDevice(0);
  so.SetPropertyNumber(PIDX_DeviceEnabled, 1);
  ASSERT_TRUE(so.enabled());
  c.call(so);
  EXPECT_EQ(world.port.writes, c.writes);
  EXPECT_TRUE(world.messages.shown.empty());
  EXPECT_EQ(so.result_code(), OPOS_SUCCESS);
}

TEST_P(OutputBytes, SendNothingUnlessEnabled) {
  const OutputCase& c = GetParam();
  for (const char* state : {"closed", "opened", "claimed", "disabled"}) {
    FakeWorld world;
    ID_TARVO_VARNEL so(world.module);
    if (std::string_view(state) != "closed") so.OpenService(u"", u"");
    if (std::string_view(state) == "claimed" || std::string_view(state) == "disabled") so.ClaimDevice(0);
    if (std::string_view(state) == "disabled") {
      so.SetPropertyNumber(PIDX_DeviceEnabled, 1);
      so.SetPropertyNumber(PIDX_DeviceEnabled, 0);
    }
    c.call(so);
    EXPECT_TRUE(world.port.writes.empty()) << state;
  }
}

void set(ID_TARVO_VARNEL& so, std::int32_t index, std::int32_t number) {
  so.SetPropertyNumber(index, number);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OutputBytes,
    ::testing::Values(
        OutputCase{"ClearText", [](auto& so) { EXPECT_EQ(so.ClearText(), 0); }, {{0x0C}}},
        OutputCase{"TextAbc",
                   [](auto& so) { EXPECT_EQ(so.DisplayText(u"ABC", DISP_DT_NORMAL), 0); },
                   {{0x41, 0x42, 0x43}}},
        OutputCase{
            "TextLowBytes", [](auto& so) { so.DisplayText(u"\u00E9\u20AC", DISP_DT_BLINK); }, {{0xE9, 0xAC}}},
        OutputCase{"TextControlBytesPass",
                   [](auto& so) { so.DisplayText(u"\fA\r\n", 0); },
                   {{0x0C, 0x41, 0x0D, 0x0A}}},
        OutputCase{"TextEmptySendsNothing", [](auto& so) { EXPECT_EQ(so.DisplayText(u"", 0), 0); }, {}},
        OutputCase{"TextStopsAtNul",
                   [](auto& so) { so.DisplayText(std::u16string_view(u"AB\0C", 4), 0); },
                   {{0x41, 0x42}}},
        OutputCase{"TextAtTopLeft",
                   [](auto& so) { EXPECT_EQ(so.DisplayTextAt(0, 0, u"A", 0), 0); },
                   {{0x1F, 0x24, 0x00, 0x01}, {0x41}}},
        OutputCase{"TextAtBottomRight",
                   [](auto& so) { so.DisplayTextAt(1, 19, u"Z", 0); },
                   {{0x1F, 0x24, 0x13, 0x02}, {0x5A}}},
        OutputCase{
            "TextAtEmptyText", [](auto& so) { so.DisplayTextAt(1, 5, u"", 0); }, {{0x1F, 0x24, 0x05, 0x02}}},
        OutputCase{"ScrollZeroUnits",
                   [](auto& so) { EXPECT_EQ(so.ScrollText(DISP_ST_LEFT, 0), 0); },
                   {{0x1F, 0x04, 0x03, 0x01}}},
        OutputCase{
            "ScrollLimitedTo19", [](auto& so) { so.ScrollText(DISP_ST_UP, 25); }, {{0x1F, 0x04, 0x01, 0x13}}},
        OutputCase{
            "ScrollNegative", [](auto& so) { so.ScrollText(DISP_ST_RIGHT, -4); }, {{0x1F, 0x04, 0x04, 0x01}}},
        OutputCase{"ScrollDirectionUntranslated",
                   [](auto& so) { so.ScrollText(0x105, 7); },
                   {{0x1F, 0x04, 0x05, 0x07}}},
        OutputCase{"Blink99", [](auto& so) { set(so, PIDXDisp_BlinkRate, 99); }, {{0x1F, 0x45, 0x00}}},
        OutputCase{"Blink100", [](auto& so) { set(so, PIDXDisp_BlinkRate, 100); }, {{0x1F, 0x45, 0x02}}},
        OutputCase{"Blink149", [](auto& so) { set(so, PIDXDisp_BlinkRate, 149); }, {{0x1F, 0x45, 0x02}}},
        OutputCase{"Blink500", [](auto& so) { set(so, PIDXDisp_BlinkRate, 500); }, {{0x1F, 0x45, 0x0A}}},
        OutputCase{
            "BlinkNegative", [](auto& so) { set(so, PIDXDisp_BlinkRate, -500); }, {{0x1F, 0x45, 0x00}}},
        OutputCase{"BlinkWraps", [](auto& so) { set(so, PIDXDisp_BlinkRate, 12800); }, {{0x1F, 0x45, 0x00}}},
        OutputCase{"CursorType", [](auto& so) { set(so, PIDXDisp_CursorType, 1); }, {{0x1F, 0x43, 0x01}}},
        OutputCase{"CursorTypeLowByte",
                   [](auto& so) { set(so, PIDXDisp_CursorType, 0x1234); },
                   {{0x1F, 0x43, 0x34}}},
        OutputCase{"InterCharacterWait",
                   [](auto& so) { set(so, PIDXDisp_InterCharacterWait, 250); },
                   {{0x1F, 0x46, 0x05}}},
        OutputCase{"OtherIndexSendsNothing", [](auto& so) { set(so, 5025, 250); }, {}}),
    [](const auto& info) { return std::string(info.param.name); });

// The extremes of every numeric argument: each wraps to its low byte (or is limited) without
// overflowing on the way. The sanitizer build stops on any undefined arithmetic here.
constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();

INSTANTIATE_TEST_SUITE_P(
    Extremes, OutputBytes,
    ::testing::Values(
        OutputCase{"RowMaxWrapsToZero",
                   [](auto& so) { so.DisplayTextAt(kMax, 0, u"", 0); },
                   {{0x1F, 0x24, 0x00, 0x00}}},
        OutputCase{"RowMin", [](auto& so) { so.DisplayTextAt(kMin, 0, u"", 0); }, {{0x1F, 0x24, 0x00, 0x01}}},
        OutputCase{
            "RowMinusOne", [](auto& so) { so.DisplayTextAt(-1, 0, u"", 0); }, {{0x1F, 0x24, 0x00, 0x00}}},
        OutputCase{"Row255", [](auto& so) { so.DisplayTextAt(255, 0, u"", 0); }, {{0x1F, 0x24, 0x00, 0x00}}},
        OutputCase{"Row256", [](auto& so) { so.DisplayTextAt(256, 0, u"", 0); }, {{0x1F, 0x24, 0x00, 0x01}}},
        OutputCase{
            "ColumnMax", [](auto& so) { so.DisplayTextAt(0, kMax, u"", kMax); }, {{0x1F, 0x24, 0xFF, 0x01}}},
        OutputCase{
            "ColumnMin", [](auto& so) { so.DisplayTextAt(0, kMin, u"", kMin); }, {{0x1F, 0x24, 0x00, 0x01}}},
        OutputCase{"ColumnMinusOne",
                   [](auto& so) { so.DisplayTextAt(0, -1, u"A", -1); },
                   {{0x1F, 0x24, 0xFF, 0x01}, {0x41}}},
        OutputCase{"TextAttributeExtremes",
                   [](auto& so) {
                     so.DisplayText(u"A", kMin);
                     so.DisplayText(u"B", kMax);
                   },
                   {{0x41}, {0x42}}},
        OutputCase{"ScrollMax", [](auto& so) { so.ScrollText(kMax, kMax); }, {{0x1F, 0x04, 0xFF, 0x13}}},
        OutputCase{"ScrollMin", [](auto& so) { so.ScrollText(kMin, kMin); }, {{0x1F, 0x04, 0x00, 0x01}}},
        OutputCase{"BlinkMax", [](auto& so) { set(so, PIDXDisp_BlinkRate, kMax); }, {{0x1F, 0x45, 0x28}}},
        OutputCase{"BlinkMin", [](auto& so) { set(so, PIDXDisp_BlinkRate, kMin); }, {{0x1F, 0x45, 0x00}}},
        OutputCase{"Setting46Max",
                   [](auto& so) { set(so, PIDXDisp_InterCharacterWait, kMax); },
                   {{0x1F, 0x46, 0x28}}},
        OutputCase{"Setting46Min",
                   [](auto& so) { set(so, PIDXDisp_InterCharacterWait, kMin); },
                   {{0x1F, 0x46, 0x00}}},
        OutputCase{
            "CursorTypeMax", [](auto& so) { set(so, PIDXDisp_CursorType, kMax); }, {{0x1F, 0x43, 0xFF}}},
        OutputCase{
            "CursorTypeMin", [](auto& so) { set(so, PIDXDisp_CursorType, kMin); }, {{0x1F, 0x43, 0x00}}},
        OutputCase{"OtherIndexExtremes",
                   [](auto& so) {
                     set(so, kMin, kMax);
                     set(so, kMax, kMin);
                   },
                   {}}),
    [](const auto& info) { return std::string(info.param.name); });

// The numeric arguments of the methods that send nothing, and the state methods, at their
// extremes: they answer as for any other value.
TEST(Extremes, MethodsWithoutBytesAcceptEveryValue) {
  FakeWorld world;
  ID_TARVO_VARNEL so(world.module);
  std::int32_t out = kMin;
  std::u16string text;
  for (const std::int32_t value : {kMin, -1, kMax}) {
    EXPECT_EQ(so.GetPropertyNumber(value), 0);
    EXPECT_EQ(so.CheckHealth(value), 0);
    EXPECT_EQ(so.DirectIO(value, out, text), 0);
    EXPECT_EQ(so.CreateWindow(value, value, value, value, value, value), 0);
    EXPECT_EQ(so.RefreshWindow(value), 0);
    EXPECT_EQ(so.SetDescriptor(value, value), 0);
    EXPECT_EQ(so.DefineGlyph(value, u"g"), 0);
    EXPECT_EQ(so.DisplayBitmap(u"b", value, value, value), 0);
    EXPECT_EQ(so.SetBitmap(value, u"b", value, value, value), 0);
    EXPECT_EQ(so.OpenService(u"", u""), 0);
    EXPECT_EQ(so.ClaimDevice(value), 0);
  }
  EXPECT_EQ(out, kMin);
  so.SetPropertyNumber(PIDX_DeviceEnabled, kMax);
  EXPECT_TRUE(so.enabled());
  so.SetPropertyNumber(PIDX_DeviceEnabled, kMin);
  EXPECT_FALSE(so.enabled());
}

TEST(TextLimit, SixtyFourUnitsPassSixtyFiveAreCutWithAMessage) {
  for (const std::size_t length : {63u, 64u, 65u, 200u}) {
    FakeWorld world;
    ID_TARVO_VARNEL so(world.module);
    so.OpenService(u"", u"");
    so.ClaimDevice(0);
    so.SetPropertyNumber(PIDX_DeviceEnabled, 1);
    std::u16string text;
    for (std::size_t i = 0; i < length; ++i) text.push_back(static_cast<char16_t>(u'0' + i % 10));

    EXPECT_EQ(so.DisplayTextAt(0, 0, text, 0), 0);
    const std::size_t sent = std::min<std::size_t>(length, 64);
    std::vector<Bytes> expected_writes{{0x1F, 0x24, 0x00, 0x01}};
    for (const Bytes& write :
         text_writes(Bytes(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(sent))))
      expected_writes.push_back(write);
    EXPECT_EQ(world.port.writes, expected_writes) << length;
    const std::vector<std::u16string> expected =
        length > 64 ? std::vector<std::u16string>{std::u16string(messages::kTooManyChars)}
                    : std::vector<std::u16string>{};
    EXPECT_EQ(world.messages.shown, expected) << length;
  }
}

TEST(TextLimit, MessageShownEvenWhenNothingIsSent) {
  FakeWorld world;
  ID_TARVO_VARNEL so(world.module);
  so.DisplayText(std::u16string(70, u'x'), 0);
  EXPECT_EQ(world.messages.shown, std::vector<std::u16string>{std::u16string(messages::kTooManyChars)});
  EXPECT_TRUE(world.port.writes.empty());
}

}  // namespace
}  // namespace varnel::testing
