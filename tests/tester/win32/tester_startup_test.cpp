// ZornTest.exe starting up under Wine, driven from this process: the device list from the OPOS
// registry key, the start-up message boxes, the form's window and its Idle state, the single
// instance, and a missing Control Object. The stand-in Control Object is registered in the test
// prefix (tests/fixtures/control_object).

#include <windows.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "shared/win32/utf16.h"
#include "tester/core/form_controls.h"
#include "tests/support/tester_process.h"
#include "tests/tester/win32/opos_key.h"

namespace kit::tester_test {
namespace {

using namespace zorntest::control_id;

std::wstring Tester() { return WindowsPath(KIT_ZORNTEST_EXE); }

std::string Narrow(const std::wstring& text) {
  std::string narrow;
  for (const wchar_t c : text) narrow.push_back(c < 0x80 ? static_cast<char>(c) : '?');
  return narrow;
}

class TesterStartup : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(control_.registered()) << "the stand-in Control Object registers"; }

  // Starts the tester and waits for its form (check form() before driving it).
  static std::optional<TesterProcess> started(const std::wstring& exe = Tester()) {
    std::optional<TesterProcess> tester = TesterProcess::start(exe);
    if (tester) tester->wait_for_form();
    return tester;
  }

  RegisteredServer control_{WindowsPath(KIT_CONTROL_OBJECT_DLL)};
};

// The enabled state of every visible control, in the form's order.
std::vector<std::string> EnabledVisibleControls(const TesterProcess& tester) {
  std::vector<std::string> names;
  for (const zorntest::FormControl& c : zorntest::FormControls()) {
    if (c.visible && tester.control(c.id) != nullptr && tester.enabled(c.id)) names.emplace_back(c.name);
  }
  return names;
}

// The enabled visible controls in the start state.
std::vector<std::string> Idle() {
  return {"Label1", "Combo1", "Command1", "Frame1(0)", "Frame1(1)", "Command11"};
}

TEST_F(TesterStartup, ListsTheRegisteredDevices) {
  const std::wstring name63 = L"M" + std::wstring(62, L'x');
  const std::wstring name64(64, L'N');
  const struct {
    const char* what;
    bool key;
    std::vector<std::wstring> subkeys;
    std::vector<std::wstring> listed;
    std::wstring selected;
    int option_selection;  // Combo2 and Combo3
  } cases[] = {
      {"key absent", false, {}, {}, L"", -1},
      {"no subkeys", true, {}, {}, L"", 0},
      {"three devices", true, {L"Delta", L"Alpha", L"Bravo"}, {L"Alpha", L"Bravo", L"Delta"}, L"Alpha", 0},
      {"names of 63 and 64 characters",
       true,
       {L"Alpha", name63, name64, L"Zulu"},
       {L"Alpha", name63},
       L"Alpha",
       0},
  };
  for (const auto& c : cases) {
    const LineDisplayKey key = c.key ? LineDisplayKey::with(c.subkeys) : LineDisplayKey::absent();
    std::optional<TesterProcess> started_tester = started();
    ASSERT_TRUE(started_tester && started_tester->form() != nullptr) << c.what;
    TesterProcess& tester = *started_tester;
    std::vector<std::wstring> boxes;
    for (const StartupBox& box : tester.start_boxes()) {
      boxes.push_back(box.box.text);
      EXPECT_EQ(box.box.caption, L"ZornTest") << c.what << ": the program's default title";
      EXPECT_FALSE(box.has_icon) << c.what << ": no icon";
    }
    const std::vector<std::wstring> expected_boxes =
        c.key ? std::vector<std::wstring>{}
              : std::vector<std::wstring>{L"Problem with the Windows Registry\r\nUnable to open key"};
    EXPECT_EQ(boxes, expected_boxes) << c.what;
    EXPECT_EQ(tester.items(kCombo1), c.listed) << c.what;
    EXPECT_EQ(tester.text(kCombo1), c.selected) << c.what;
    EXPECT_EQ(tester.selection(kCombo2), c.option_selection) << c.what;
    EXPECT_EQ(tester.selection(kCombo3), c.option_selection) << c.what;
    EXPECT_EQ(tester.text(kCombo2), L"1-DISP_ST_UP") << c.what;
    EXPECT_EQ(EnabledVisibleControls(tester), Idle()) << c.what;
    tester.click(kCommand11);
    EXPECT_EQ(tester.wait_for_exit(), 0u) << c.what << ": Exit ends the program";
  }
}

TEST_F(TesterStartup, TheFormIsAFixedDialogCentredOnTheScreen) {
  const LineDisplayKey key = LineDisplayKey::with({L"Alpha"});
  std::optional<TesterProcess> started_tester = started();
  ASSERT_TRUE(started_tester && started_tester->form() != nullptr);
  TesterProcess& tester = *started_tester;
  HWND form = tester.form();
  std::array<wchar_t, 64> caption{};
  GetWindowTextW(form, caption.data(), static_cast<int>(caption.size()));
  EXPECT_EQ(std::wstring(caption.data()), kit::win32::to_wide(zorntest::kFormCaption));

  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  RECT client{};
  GetClientRect(form, &client);
  EXPECT_EQ(client.right, MulDiv(zorntest::kClientWidthTwips, dpi, 1440));
  EXPECT_EQ(client.bottom, MulDiv(zorntest::kClientHeightTwips, dpi, 1440));

  const auto style = static_cast<DWORD>(GetWindowLongPtrW(form, GWL_STYLE));
  const auto ex_style = static_cast<DWORD>(GetWindowLongPtrW(form, GWL_EXSTYLE));
  EXPECT_EQ(style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX), 0u)
      << "fixed size, no minimize or maximize box";
  EXPECT_NE(style & WS_SYSMENU, 0u) << "a close box";
  EXPECT_NE(GetWindow(form, GW_OWNER), nullptr) << "an owned window has no taskbar button";
  EXPECT_EQ(ex_style & WS_EX_APPWINDOW, 0u);

  RECT frame{};
  GetWindowRect(form, &frame);
  RECT work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  // Twice the centres, within a pixel.
  EXPECT_NEAR(frame.left + frame.right, work.left + work.right, 2);
  EXPECT_NEAR(frame.top + frame.bottom, work.top + work.bottom, 2);

  // Each control at its twips; the three hidden ones below the client area.
  for (const zorntest::FormControl& c : zorntest::FormControls()) {
    HWND control = tester.control(c.id);
    if (c.kind == zorntest::ControlKind::ControlObject) {
      EXPECT_EQ(control, nullptr);
      continue;
    }
    ASSERT_NE(control, nullptr) << c.name;
    RECT place{};
    GetWindowRect(control, &place);
    MapWindowPoints(nullptr, form, reinterpret_cast<POINT*>(&place), 2);
    EXPECT_EQ(place.left, MulDiv(c.twips.left, dpi, 1440)) << c.name;
    EXPECT_EQ(place.top, MulDiv(c.twips.top, dpi, 1440)) << c.name;
    // An etched rule may carry its edge outside its place.
    const int edge = c.kind == zorntest::ControlKind::Rule ? 2 : 0;
    EXPECT_NEAR(place.right - place.left, MulDiv(c.twips.width, dpi, 1440), edge) << c.name;
    EXPECT_EQ(tester.visible(c.id), c.visible) << c.name;
    if (!c.visible) {
      EXPECT_GE(place.top, client.bottom) << c.name << " lies below the client area";
    }
  }
  EXPECT_EQ(tester.text(kText3), L"ABCDEFGHIJ0123456789");
  EXPECT_EQ(tester.items(kCombo2), (std::vector<std::wstring>{L"1-DISP_ST_UP", L"2-DISP_ST_DOWN",
                                                              L"3-DISP_ST_LEFT", L"4-DISP_ST_RIGHT"}));
  EXPECT_EQ(tester.text(kCombo3), L"0.DISP_DT_NORMAL");
  EXPECT_TRUE(tester.enabled(kText5)) << "the status box, Tag x";
  EXPECT_FALSE(tester.enabled(kCombo3));
  EXPECT_FALSE(tester.enabled(kCommand12));
  EXPECT_EQ(tester.text(kCommand12), L"G");
  tester.close();
  EXPECT_EQ(tester.wait_for_exit(), 0u) << "the close box ends the program";
}

TEST_F(TesterStartup, ASecondInstanceSaysTheFirstIsRunningAndEnds) {
  const LineDisplayKey key = LineDisplayKey::with({L"Alpha"});
  // The message follows the executable's name: a renamed copy is another program.
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  const std::wstring renamed = std::wstring(temp) + L"PoleCheck.exe";
  ASSERT_TRUE(CopyFileW(Tester().c_str(), renamed.c_str(), FALSE));
  for (const auto& [exe, name] :
       {std::pair{Tester(), std::wstring(L"ZornTest")}, std::pair{renamed, std::wstring(L"PoleCheck")}}) {
    std::optional<TesterProcess> started_first = started(exe);
    ASSERT_TRUE(started_first && started_first->form() != nullptr) << "starts";
    TesterProcess& first = *started_first;
    std::optional<TesterProcess> second = TesterProcess::start(exe);
    ASSERT_TRUE(second.has_value());
    EXPECT_EQ(second->wait_for_form(), nullptr) << name << ": the second instance shows no form";
    EXPECT_EQ(second->wait_for_exit(), 0u) << name << ": the second instance ends";
    ASSERT_EQ(second->start_boxes().size(), 1u) << name;
    EXPECT_EQ(second->start_boxes()[0].box.text, name + L" is running.");
    EXPECT_EQ(second->start_boxes()[0].box.caption, name);
    EXPECT_TRUE(second->start_boxes()[0].box.has_ok_button);
    EXPECT_TRUE(second->start_boxes()[0].has_icon) << "the warning icon";
    // The first instance keeps running and answering.
    EXPECT_TRUE(IsWindowVisible(first.form()));
    EXPECT_EQ(first.press(kCommand1), std::optional<std::wstring>(L"OposENoservice")) << name;
    first.click(kCommand11);
    EXPECT_EQ(first.wait_for_exit(), 0u);
  }
  DeleteFileW(renamed.c_str());
}

class TesterWithoutControlObject : public ::testing::Test {};

TEST_F(TesterWithoutControlObject, SaysSoAndKeepsRunning) {
  const LineDisplayKey key = LineDisplayKey::with({L"Alpha"});
  std::optional<TesterProcess> tester = TesterProcess::start(Tester());
  ASSERT_TRUE(tester.has_value());
  ASSERT_NE(tester->wait_for_form(), nullptr);
  ASSERT_EQ(tester->start_boxes().size(), 1u);
  EXPECT_EQ(
      tester->start_boxes()[0].box.text.rfind(
          L"The OPOS LineDisplay Control Object \"OposLineDisplay_CCOCtl.OPOSLineDisplay\" is not registered",
          0),
      0u)
      << Narrow(tester->start_boxes()[0].box.text);
  EXPECT_EQ(tester->press(kCommand1), std::optional<std::wstring>(L"OposEFailure"));
  EXPECT_EQ(EnabledVisibleControls(*tester), Idle());
  tester->click(kCommand11);
  EXPECT_EQ(tester->wait_for_exit(), 0u);
}

}  // namespace
}  // namespace kit::tester_test
