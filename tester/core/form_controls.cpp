#include "tester/core/form_controls.h"

#include <array>

namespace zorntest {
namespace {

using namespace control_id;
using K = ControlKind;

// Visible controls top to bottom, then the three kept below the client area (the form reads
// and writes them all the same), then the Control Object. One row per control:
// name, identifier, kind, caption or text, {left, top, width, height}, visible, enabled, Tag "x".
// clang-format off
constexpr std::array kControls{
    FormControl{"Label1", kLabel1, K::Label, u"Device Name", {360, 315, 1695, 255}, true, true, true},
    FormControl{"Combo1", kCombo1, K::DropDownList, u"", {2160, 240, 3735, 405}, true, true, true},
    FormControl{"Command1", kCommand1, K::Button, u"Open", {240, 840, 1500, 375}, true, true, true},
    FormControl{"Command2", kCommand2, K::Button, u"Claim", {1800, 840, 1500, 375}, true, false, false},
    FormControl{"Command3", kCommand3, K::Button, u"Device Enable", {3360, 840, 2500, 375}, true, false, false},
    FormControl{"Frame1(0)", kFrame1Index0, K::Rule, u"", {240, 1320, 5655, 100}, true, true, false},
    FormControl{"Label4", kLabel4, K::Label, u"Text", {360, 1695, 1095, 255}, true, false, false},
    FormControl{"Text3", kText3, K::TextBox, u"ABCDEFGHIJ0123456789", {2040, 1680, 3855, 405}, true, false, false},
    FormControl{"Command4", kCommand4, K::Button, u"Display Text", {3360, 2280, 2500, 375}, true, false, false},
    FormControl{"Label2", kLabel2, K::Label, u"X :", {360, 2925, 495, 255}, true, false, false},
    FormControl{"Text2", kText2, K::TextBox, u"5", {960, 2880, 495, 375}, true, false, false},
    FormControl{"Label3", kLabel3, K::Label, u"Y :", {1800, 2925, 495, 255}, true, false, false},
    FormControl{"Text1", kText1, K::TextBox, u"1", {2400, 2880, 495, 375}, true, false, false},
    FormControl{"Command5", kCommand5, K::Button, u"Display Text At", {3360, 2880, 2500, 375}, true, false, false},
    FormControl{"Label8", kLabel8, K::Label, u"Blink Rate :", {360, 3525, 1575, 255}, true, false, false},
    FormControl{"Text6", kText6, K::TextBox, u"0", {2280, 3480, 975, 375}, true, false, false},
    FormControl{"Command13", kCommand13, K::Button, u"Set", {3360, 3480, 2500, 375}, true, false, false},
    FormControl{"Label5", kLabel5, K::Label, u"Direction", {360, 4125, 1575, 255}, true, false, false},
    FormControl{"Combo2", kCombo2, K::DropDownCombo, u"1-DISP_ST_UP", {2280, 4080, 3615, 405}, true, false, false},
    FormControl{"Label6", kLabel6, K::Label, u"Units", {360, 4725, 1215, 255}, true, false, false},
    FormControl{"Text4", kText4, K::TextBox, u"0", {2280, 4680, 975, 375}, true, false, false},
    FormControl{"Command7", kCommand7, K::Button, u"Scroll Text", {240, 5280, 2780, 375}, true, false, false},
    FormControl{"Command6", kCommand6, K::Button, u"Clear Text", {3080, 5280, 2780, 375}, true, false, false},
    FormControl{"Frame1(1)", kFrame1Index1, K::Rule, u"", {240, 5760, 5655, 100}, true, true, false},
    FormControl{"Command8", kCommand8, K::Button, u"Device Disable", {240, 6120, 2500, 375}, true, false, false},
    FormControl{"Command9", kCommand9, K::Button, u"Release", {2760, 6120, 1500, 375}, true, false, false},
    FormControl{"Command10", kCommand10, K::Button, u"Close", {4320, 6120, 1500, 375}, true, false, false},
    FormControl{"Command11", kCommand11, K::Button, u"Exit", {4320, 6600, 1500, 375}, true, true, true},
    FormControl{"Text5", kText5, K::TextBox, u"", {240, 7440, 5655, 375}, false, true, true},
    FormControl{"Combo3", kCombo3, K::DropDownCombo, u"0.DISP_DT_NORMAL", {240, 7920, 3615, 405}, false, false, false},
    FormControl{"Command12", kCommand12, K::Button, u"G", {4320, 7920, 495, 375}, false, false, false},
    FormControl{"OPOSLineDisplay2", kOPOSLineDisplay2, K::ControlObject, u"", {}, false, true, false},
};
// clang-format on

constexpr std::array<std::u16string_view, 4> kDirectionItems{u"1-DISP_ST_UP", u"2-DISP_ST_DOWN",
                                                             u"3-DISP_ST_LEFT", u"4-DISP_ST_RIGHT"};
constexpr std::array<std::u16string_view, 4> kAttributeItems{
    u"0.DISP_DT_NORMAL", u"1.DISP_DT_BLINK", u"2.DISP_DT_REVERSE", u"3.DISP_DT_BLINK_REVERSE"};

}  // namespace

std::span<const FormControl> FormControls() { return kControls; }

const FormControl* FindControl(int id) {
  for (const FormControl& control : kControls) {
    if (control.id == id) return &control;
  }
  return nullptr;
}

std::span<const std::u16string_view> DirectionItems() { return kDirectionItems; }
std::span<const std::u16string_view> AttributeItems() { return kAttributeItems; }

}  // namespace zorntest
