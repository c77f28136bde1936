#pragma once
// The controls of the tester's form, in the form's control order: what each is, its caption or
// initial text, its place in twips (1/1440 inch) and its initial state. The Windows form builds
// its window from this table and the form's behaviour walks it; both name the controls by the
// identifiers below.

#include <cstdint>
#include <span>
#include <string_view>

namespace zorntest {

// Control identifiers: a base per kind plus the control's number (Command7 is 1107).
namespace control_id {
inline constexpr int kCommand1 = 1101;   // "Open"
inline constexpr int kCommand2 = 1102;   // "Claim"
inline constexpr int kCommand3 = 1103;   // "Device Enable"
inline constexpr int kCommand4 = 1104;   // "Display Text"
inline constexpr int kCommand5 = 1105;   // "Display Text At"
inline constexpr int kCommand6 = 1106;   // "Clear Text"
inline constexpr int kCommand7 = 1107;   // "Scroll Text"
inline constexpr int kCommand8 = 1108;   // "Device Disable"
inline constexpr int kCommand9 = 1109;   // "Release"
inline constexpr int kCommand10 = 1110;  // "Close"
inline constexpr int kCommand11 = 1111;  // "Exit"
inline constexpr int kCommand12 = 1112;  // hidden "G": reads the blink rate
inline constexpr int kCommand13 = 1113;  // "Set" (blink rate)
inline constexpr int kText1 = 1201;      // row ("Y :")
inline constexpr int kText2 = 1202;      // column ("X :")
inline constexpr int kText3 = 1203;      // display data
inline constexpr int kText4 = 1204;      // scroll units
inline constexpr int kText5 = 1205;      // hidden status box
inline constexpr int kText6 = 1206;      // blink rate
inline constexpr int kCombo1 = 1301;     // device list
inline constexpr int kCombo2 = 1302;     // direction
inline constexpr int kCombo3 = 1303;     // hidden attribute list
inline constexpr int kLabel1 = 1401;
inline constexpr int kLabel2 = 1402;
inline constexpr int kLabel3 = 1403;
inline constexpr int kLabel4 = 1404;
inline constexpr int kLabel5 = 1405;
inline constexpr int kLabel6 = 1406;
inline constexpr int kLabel8 = 1408;
inline constexpr int kFrame1Index0 = 1500;      // upper rule
inline constexpr int kFrame1Index1 = 1501;      // lower rule
inline constexpr int kOPOSLineDisplay2 = 1600;  // the Control Object: no window of its own
}  // namespace control_id

enum class ControlKind {
  Label,
  Button,
  TextBox,
  DropDownList,   // selection only
  DropDownCombo,  // typing allowed
  Rule,           // a caption-less frame drawn as a horizontal rule
  ControlObject,  // invisible at run time
};

struct TwipRect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
};

struct FormControl {
  std::string_view name;
  int id = 0;
  ControlKind kind = ControlKind::Label;
  std::u16string_view text;  // caption, or the initial text of a box
  TwipRect twips;
  bool visible = true;
  bool enabled = true;
  bool tagX = false;  // Tag "x": SetControlsEnabled leaves the control alone
};

inline constexpr std::u16string_view kFormCaption = u"Kelvo Dravon OPOS Tester V1.33";
inline constexpr int kClientWidthTwips = 6090;
inline constexpr int kClientHeightTwips = 7185;
inline constexpr int kTwipsPerInch = 1440;

// The face, size and weight every visible control is drawn with.
inline constexpr std::u16string_view kFontFace = u"Consolas";
inline constexpr int kFontPoints = 12;
inline constexpr bool kFontBold = true;

// The ProgID of the OPOS LineDisplay Control Object the form hosts.
inline constexpr std::u16string_view kControlObjectProgId = u"OposLineDisplay_CCOCtl.OPOSLineDisplay";

// Every control, in the form's control order.
std::span<const FormControl> FormControls();

// The control with this identifier, or null.
const FormControl* FindControl(int id);

// The lists of the two option boxes: the first character of an attribute item is its
// DISP_DT_ value (its index); a direction item's index plus one is its DISP_ST_ value.
std::span<const std::u16string_view> DirectionItems();  // Combo2
std::span<const std::u16string_view> AttributeItems();  // Combo3

}  // namespace zorntest
