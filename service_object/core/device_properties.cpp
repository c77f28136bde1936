#include "service_object/core/device_properties.h"

#include <algorithm>
#include <array>

#include "service_object/core/opos_properties.h"
#include "service_object/core/screen_model.h"

namespace varnel {
namespace {

using namespace opos;

struct FixedAnswer {
  std::int32_t index;
  std::int32_t value;
};

// Answers that do not change. Indices whose true answer is 0 (no data events, no descriptors, no
// glyphs, no bitmaps, no statistics, no firmware update, no brightness control) need no entry.
constexpr std::array<FixedAnswer, 15> kFixedAnswers = {{
    // Online after a write that went through, off-offline while the port is gone or stalled.
    {PIDX_CapPowerReporting, OPOS_PR_STANDARD},
    // Window 0 is the whole display; the object answers for the other windows.
    {PIDXDisp_Columns, kDisplayColumns},
    {PIDXDisp_Rows, kDisplayRows},
    {PIDXDisp_DeviceColumns, kDisplayColumns},
    {PIDXDisp_DeviceRows, kDisplayRows},
    {PIDXDisp_DeviceBrightness, 100},  // no dimming: always full brightness
    {PIDXDisp_CapCharacterSet, DISP_CCS_ASCII},
    // InterCharacterWait reaches the display as its 0x1F 0x46 setting, BlinkRate as 0x1F 0x45.
    {PIDXDisp_CapICharWait, 1},
    {PIDXDisp_CapBlinkRate, 1},
    // The display takes the OPOS cursor type itself (0x1F 0x43 v, one byte): every type but the
    // blink flag, which does not fit in the byte.
    {PIDXDisp_CapCursorType, DISP_CCT_FIXED | DISP_CCT_BLOCK | DISP_CCT_HALFBLOCK | DISP_CCT_UNDERLINE |
                                 DISP_CCT_REVERSE | DISP_CCT_OTHER},
    {PIDXDisp_CapMapCharacterSet, 1},
    // The screen model draws windows and marquees with the display's cursor moves and reads the
    // character under the cursor back from itself.
    {PIDXDisp_DeviceWindows, kMaxWindow},
    {PIDXDisp_CapHMarquee, 1},
    {PIDXDisp_CapVMarquee, 1},
    {PIDXDisp_CapReadBack, DISP_CRB_SINGLE},
}};
// CapBlink is DISP_CB_NOBLINK (0): the Attribute of DisplayText is not used, so no text blinks.
static_assert(DISP_CB_NOBLINK == 0);

}  // namespace

std::int32_t device_number_property(std::int32_t index, const PropertyContext& context) {
  switch (index) {
    case PIDX_State: return context.opened ? OPOS_S_IDLE : OPOS_S_CLOSED;
    case PIDXDisp_CharacterSet: return context.character_set.number();
    case PIDXDisp_MapCharacterSet: return context.character_set.converts() ? 1 : 0;
    default: break;
  }
  const auto found = std::find_if(kFixedAnswers.begin(), kFixedAnswers.end(),
                                  [index](const FixedAnswer& a) { return a.index == index; });
  return found == kFixedAnswers.end() ? 0 : found->value;
}

std::u16string device_string_property(std::int32_t index) {
  if (index == PIDXDisp_CharacterSetList) return character_set_list();
  return {};
}

}  // namespace varnel
