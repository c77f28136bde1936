// Zorn_Utility.exe under Wine, driven from this process as a technician drives it: lists
// chosen, text typed and buttons clicked by control identifier, enable states and message boxes
// read back, with the display simulator on COM7 as the witness of what reached the display.
// ctest runs each suite inside scripts/with-simulator.sh, which starts a fresh simulator.

#include <windows.h>
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "shared/win32/unique_handle.h"
#include "tests/support/simulator_link.h"
#include "tests/support/utility_program.h"
#include "tests/utility/win32/dialog_template_reader.h"
#include "tests/utility/win32/utility_window_fixture.h"
#include "utility/core/dialog_view.h"

namespace utility {
namespace {

using zorn::test::UtilityProgram;
using zorn::test::window::kCommandButtons;
using zorn::test::window::kTitle;
using zorn::test::window::OpenCom7;
using zorn::test::window::Simulator;
using zorn::test::window::UtilityWindow;
namespace id = control_id;

constexpr int kCom9 = 8;  // a port the test prefix does not have

// Each suite runs against a display simulator of its own (ctest starts one per suite), so that
// what one group of cases stores in the display does not reach another.
using UtilityWindowSpeedChange = UtilityWindow;
using UtilityWindowSettings = UtilityWindow;
using UtilityWindowInformation = UtilityWindow;
using UtilityWindowFontSet = UtilityWindow;

// ---- the template ------------------------------------------------------------------------

enum class Kind { kGroup, kText, kList, kButton, kEdit };

struct ControlFact {
  int id;  // -1: no identifier of its own, found by its caption
  Kind kind;
  const wchar_t* caption;
  RECT units;  // x, y, width, height in dialog units
};

// Every control of the dialog, as the technician's documentation shows them.
const std::vector<ControlFact>& Controls() {
  static const std::vector<ControlFact> controls = {
      {-1, Kind::kGroup, L" Serial Configuration ", {7, 7, 269, 61}},
      {-1, Kind::kGroup, L" CommPort Set ", {16, 21, 90, 38}},
      {1023, Kind::kList, nullptr, {25, 38, 72, 60}},
      {-1, Kind::kGroup, L" Current Baudrate ", {117, 21, 90, 38}},
      {1020, Kind::kList, nullptr, {126, 38, 72, 76}},
      {1005, Kind::kButton, L"Port Open", {216, 22, 52, 17}},
      {1016, Kind::kButton, L"Close", {216, 41, 52, 17}},
      {1015, Kind::kButton, L"EXIT", {287, 23, 52, 36}},
      {-1, Kind::kGroup, L"Setup", {8, 73, 336, 258}},
      {-1, Kind::kGroup, L" Changing Baudrate ", {16, 87, 90, 83}},
      {1022, Kind::kList, nullptr, {25, 105, 72, 79}},
      {1006, Kind::kButton, L"Change", {61, 143, 36, 18}},
      {-1, Kind::kGroup, L" Input String   [ MAX : 20 Chracters per Line ] ", {117, 88, 213, 83}},
      {-1, Kind::kText, L"Line#1", {134, 106, 28, 11}},
      {1050, Kind::kEdit, nullptr, {166, 104, 150, 13}},
      {-1, Kind::kText, L"Line#2", {134, 124, 28, 11}},
      {1052, Kind::kEdit, nullptr, {166, 123, 150, 13}},
      {1007, Kind::kButton, L"Input String", {265, 143, 52, 18}},
      {-1, Kind::kGroup, L" Change Command Set ", {16, 177, 152, 43}},
      {1024, Kind::kList, nullptr, {25, 195, 90, 79}},
      {1010, Kind::kButton, L"Set", {124, 192, 35, 18}},
      {1051, Kind::kGroup, L" Language ", {179, 177, 153, 43}},
      {1053, Kind::kList, nullptr, {188, 195, 88, 69}},
      {1054, Kind::kButton, L"Font Set", {286, 192, 35, 18}},
      {-1, Kind::kGroup, L" Default Font Set (Flash) ", {16, 227, 152, 43}},
      {1025, Kind::kList, nullptr, {24, 245, 90, 79}},
      {1011, Kind::kButton, L"Set", {124, 243, 35, 18}},
      {1014, Kind::kButton, L"Program Down Load", {186, 239, 135, 23}},
      {1013, Kind::kButton, L"Zorn Information", {186, 270, 134, 22}},
  };
  return controls;
}

std::vector<HWND> DirectChildren(HWND parent) {
  std::vector<HWND> children;
  for (HWND child = GetWindow(parent, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    children.push_back(child);
  }
  return children;
}

HWND FindControl(HWND dialog, const ControlFact& fact) {
  if (fact.id != -1) return GetDlgItem(dialog, fact.id);
  for (HWND child : DirectChildren(dialog)) {
    if (UtilityProgram::Text(child) == fact.caption) return child;
  }
  return nullptr;
}

// Whether the template gives the control the class and styles of its kind.
std::string KindMismatch(const zorn::test::TemplateItem& item, Kind kind) {
  constexpr WORD kButton = 0x80;
  constexpr WORD kEdit = 0x81;
  constexpr WORD kStatic = 0x82;
  constexpr WORD kComboBox = 0x85;
  const DWORD style = item.style;
  switch (kind) {
    case Kind::kGroup:
      return item.classAtom == kButton && (style & BS_TYPEMASK) == BS_GROUPBOX ? "" : "not a group box";
    case Kind::kButton:
      // BS_PUSHBUTTON, not BS_DEFPUSHBUTTON: no button is the default one.
      return item.classAtom == kButton && (style & BS_TYPEMASK) == BS_PUSHBUTTON ? ""
                                                                                 : "not a plain push button";
    case Kind::kText:
      return item.classAtom == kStatic && (style & SS_TYPEMASK) == SS_LEFT ? "" : "not left text";
    case Kind::kList:
      if (item.classAtom != kComboBox || (style & 0x3) != CBS_DROPDOWN) {
        return "not a drop-down combo with an edit field";
      }
      if ((style & WS_VSCROLL) == 0) return "no vertical scroll bar";
      return (style & CBS_SORT) == 0 ? "" : "sorted";
    case Kind::kEdit:
      if (item.classAtom != kEdit || (style & ES_MULTILINE) != 0) return "not a one-line edit";
      if ((style & WS_BORDER) == 0) return "no border";
      return (style & ES_AUTOHSCROLL) != 0 ? "" : "does not scroll horizontally";
  }
  return "unknown kind";
}

const zorn::test::TemplateItem* FindItem(const zorn::test::DialogTemplate& dialog, const ControlFact& fact) {
  for (const zorn::test::TemplateItem& item : dialog.items) {
    if (fact.id != -1 ? item.id == fact.id : (item.id == -1 && item.title == fact.caption)) return &item;
  }
  return nullptr;
}

bool SameRect(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// A copy of the dialog template made in this process, hidden: MapDialogRect converts dialog
// units with the template's own font, as the program's dialog does.
class TemplateCopy {
 public:
  TemplateCopy()
      : module_(LoadLibraryExW(UtilityProgram::ProgramPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE)),
        dialog_(module_ != nullptr ? CreateDialogParamW(module_, MAKEINTRESOURCEW(102), nullptr, &Ignore, 0)
                                   : nullptr) {}
  ~TemplateCopy() {
    if (dialog_ != nullptr) DestroyWindow(dialog_);
    if (module_ != nullptr) FreeLibrary(module_);
  }
  TemplateCopy(const TemplateCopy&) = delete;
  TemplateCopy& operator=(const TemplateCopy&) = delete;

  HWND Dialog() const { return dialog_; }
  std::optional<zorn::test::DialogTemplate> Template() const {
    if (module_ == nullptr) return std::nullopt;
    return zorn::test::ReadDialogTemplate(module_, 102);
  }
  // The control's place in pixels, converted as the dialog manager does: position and size
  // each on its own, so the right edge is the converted x plus the converted width.
  RECT Pixels(RECT units) const {
    RECT converted = units;  // x, y, width, height: MapDialogRect converts each field alone
    MapDialogRect(dialog_, &converted);
    return {converted.left, converted.top, converted.left + converted.right,
            converted.top + converted.bottom};
  }

 private:
  static INT_PTR CALLBACK Ignore(HWND /*dialog*/, UINT /*message*/, WPARAM /*wParam*/, LPARAM /*lParam*/) {
    return FALSE;
  }
  HMODULE module_;
  HWND dialog_;
};

RECT ClientRectOf(HWND control, HWND dialog) {
  RECT rect{};
  GetWindowRect(control, &rect);
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

TEST_F(UtilityWindow, TemplateHasEveryControlWithItsIdentifierKindCaptionAndPlace) {
  const TemplateCopy copy;
  ASSERT_NE(copy.Dialog(), nullptr) << "cannot load the template from "
                                    << testing::PrintToString(UtilityProgram::ProgramPath());
  const std::optional<zorn::test::DialogTemplate> written = copy.Template();
  ASSERT_TRUE(written.has_value());
  const HWND dialog = program_.Dialog();
  for (const ControlFact& fact : Controls()) {
    const std::string name = fact.caption != nullptr ? testing::PrintToString(std::wstring(fact.caption))
                                                     : std::to_string(fact.id);
    SCOPED_TRACE(name);
    // As the template gives it.
    const zorn::test::TemplateItem* item = FindItem(*written, fact);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(KindMismatch(*item, fact.kind), "");
    EXPECT_TRUE(SameRect(item->units, fact.units));
    // As the running program shows it.
    const HWND control = FindControl(dialog, fact);
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(GetDlgCtrlID(control), fact.id);
    if (fact.caption != nullptr) {
      EXPECT_EQ(UtilityProgram::Text(control), fact.caption);
    }
    const RECT expected = copy.Pixels(fact.units);
    const RECT actual = ClientRectOf(control, dialog);
    EXPECT_EQ(actual.left, expected.left);
    EXPECT_EQ(actual.top, expected.top);
    EXPECT_EQ(actual.right, expected.right);
    // A drop-down combo's template height is that of its open list; closed, it is one line.
    if (fact.kind != Kind::kList) {
      EXPECT_EQ(actual.bottom, expected.bottom);
    }
  }
  EXPECT_EQ(written->items.size(), Controls().size()) << "the dialog has no other controls";
  EXPECT_EQ(DirectChildren(dialog).size(), Controls().size());

  EXPECT_EQ(written->title, L"Zorn Utility Ver 2.03");
  EXPECT_TRUE(SameRect(written->units, {0, 0, 351, 338}));
  EXPECT_EQ(written->pointSize, 9);
  EXPECT_EQ(written->typeface, L"MS Shell Dlg");
  for (const DWORD bit : {DWORD{WS_POPUP}, DWORD{WS_CAPTION}, DWORD{WS_SYSMENU}, DWORD{WS_MINIMIZEBOX},
                          DWORD{DS_MODALFRAME}, DWORD{DS_CENTER}}) {
    EXPECT_NE(written->style & bit, 0U) << std::hex << bit;
  }

  EXPECT_EQ(UtilityProgram::Text(dialog), L"Zorn Utility Ver 2.03");
  RECT client{};
  GetClientRect(dialog, &client);
  const RECT size = copy.Pixels({0, 0, 351, 338});
  EXPECT_EQ(client.right, size.right);
  EXPECT_EQ(client.bottom, size.bottom);
  RECT window{};
  GetWindowRect(dialog, &window);
  RECT work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  // Twice the centres, in whole pixels: the halves may round either way.
  EXPECT_LE(std::abs((window.left + window.right) - (work.left + work.right)), 2) << "centred";
  EXPECT_LE(std::abs((window.top + window.bottom) - (work.top + work.bottom)), 2) << "centred";
}

// ---- start-up ----------------------------------------------------------------------------

TEST_F(UtilityWindow, StartsWithFilledListsPortFourAndOnlyThePortButtonsEnabled) {
  struct ListCase {
    int id;
    std::size_t count;
    const wchar_t* first;
    const wchar_t* last;
    int selected;
  };
  const std::vector<ListCase> lists = {
      {id::kPortList, 20, L" COM 1 ", L" COM 20 ", 3},
      {id::kCurrentBaud, 5, L"9600", L"115200", 0},
      {id::kChangingBaud, 5, L"9600", L"115200", 0},
      {id::kCommandSetList, 10, L"LD220", L"LOGIC CONTROL", 0},
      {id::kDefaultFontList, 18, L"USA(CP-437)", L"Russian(Windows-1251)", 0},
      {id::kLanguageList, 22, L"(US) USA", L"(RW) Russia", 0},
  };
  for (const ListCase& list : lists) {
    SCOPED_TRACE(list.id);
    const std::vector<std::wstring> entries = program_.ListEntries(list.id);
    ASSERT_EQ(entries.size(), list.count);
    EXPECT_EQ(entries.front(), list.first);
    EXPECT_EQ(entries.back(), list.last);
    EXPECT_EQ(program_.SelectedIndex(list.id), list.selected);
    EXPECT_TRUE(program_.Enabled(list.id));
  }
  const std::vector<std::wstring> ports = program_.ListEntries(id::kPortList);
  for (std::size_t index = 0; index < ports.size(); ++index) {
    EXPECT_EQ(ports[index], L" COM " + std::to_wstring(index + 1) + L" ");
  }
  EXPECT_EQ(UtilityProgram::Text(program_.Control(id::kPortList)), L" COM 4 ");

  for (const int enabled : {id::kPortOpen, id::kClose, id::kExit, id::kLine1, id::kLine2}) {
    EXPECT_TRUE(program_.Enabled(enabled)) << enabled;
  }
  for (const int disabled : kCommandButtons) EXPECT_FALSE(program_.Enabled(disabled)) << disabled;
  // The dialog manager's default identifier names no control: Enter gives IDOK.
  const auto defaultId = static_cast<int>(LOWORD(SendMessageW(program_.Dialog(), DM_GETDEFID, 0, 0)));
  EXPECT_EQ(program_.Control(defaultId), nullptr) << "no default push button, got " << defaultId;
}

// ---- the port ----------------------------------------------------------------------------

TEST_F(UtilityWindow, PortOpenFailsOnAnAbsentPortAndThenOpensTheDisplaysPort) {
  program_.Select(id::kPortList, kCom9);
  program_.Click(id::kPortOpen);
  const auto failed = program_.AnswerBox();
  ASSERT_TRUE(failed.has_value());
  EXPECT_EQ(failed->caption, kTitle);
  EXPECT_EQ(failed->text, L"Com port open failed !");
  EXPECT_TRUE(program_.Enabled(id::kPortOpen)) << "the state stays Closed";
  for (const int button : kCommandButtons) EXPECT_FALSE(program_.Enabled(button)) << button;

  OpenCom7(program_);
  for (const int button : kCommandButtons) EXPECT_TRUE(program_.Enabled(button)) << button;
  EXPECT_TRUE(program_.Enabled(id::kClose));
}

TEST_F(UtilityWindow, CloseWithNoPortOpenStillSaysSo) {
  program_.Click(id::kClose);
  const auto closed = program_.AnswerBox();
  ASSERT_TRUE(closed.has_value());
  EXPECT_EQ(closed->caption, kTitle);
  EXPECT_EQ(closed->text, L"Com port closed !");
  EXPECT_TRUE(program_.Enabled(id::kPortOpen));
  EXPECT_FALSE(program_.Enabled(id::kInformation));
}

// The display changes its speed at once; the utility's port stays at its old speed until the
// user reopens it at the new one, and only then does the display understand it again.
TEST_F(UtilityWindowSpeedChange, ChangeThenReopeningAtTheNewSpeed) {
  const test_support::SimulatorLink simulator = Simulator();
  OpenCom7(program_);
  program_.Select(id::kChangingBaud, 1);  // 19200
  program_.Click(id::kChange);
  ASSERT_TRUE(simulator.wait_for_state("line_speed", "19200"));

  program_.Click(id::kClose);
  ASSERT_TRUE(program_.AnswerBox().has_value());
  program_.Select(id::kCurrentBaud, 1);
  OpenCom7(program_);
  program_.Click(id::kInformation);
  const auto information = program_.AnswerBox();
  ASSERT_TRUE(information.has_value());
  EXPECT_EQ(information->caption, L"Zorn Information");
  EXPECT_NE(information->text.find(L"SIM-DSP 1.00"), std::wstring::npos) << "answered at the new speed";
  EXPECT_NE(information->text.find(L"\n\nBPS :\n 1"), std::wstring::npos);
}

// ---- setting frames ----------------------------------------------------------------------

TEST_F(UtilityWindow, InputStringSendsTwentyCharactersAndCutsLongerLines) {
  const test_support::SimulatorLink simulator = Simulator();
  OpenCom7(program_);
  program_.Type(id::kLine1, L"ABCDEFGHIJKLMNOPQRST");       // 20
  program_.Type(id::kLine2, L"0123456789abcdefghijKLMNO");  // 25
  program_.Click(id::kInputString);
  EXPECT_TRUE(simulator.wait_for_state("row0_text", "ABCDEFGHIJKLMNOPQRST"));
  EXPECT_TRUE(simulator.wait_for_state("row1_text", "0123456789abcdefghij"));
}

TEST_F(UtilityWindowSettings, BothSetButtonsStoreTheirChoiceInTheDisplay) {
  const test_support::SimulatorLink simulator = Simulator();
  OpenCom7(program_);
  program_.Select(id::kCommandSetList, 9);  // LOGIC CONTROL
  program_.Click(id::kSetCommandSet);
  EXPECT_TRUE(simulator.wait_for_state("command_set", "9"));
  program_.Select(id::kDefaultFontList, 17);  // Russian(Windows-1251)
  program_.Click(id::kSetDefaultFont);
  EXPECT_TRUE(simulator.wait_for_state("default_font", "17"));
}

// ---- exchanges with replies --------------------------------------------------------------

TEST_F(UtilityWindowInformation, ZornInformationShowsTheDisplaysRecord) {
  OpenCom7(program_);
  program_.Click(id::kInformation);
  const auto information = program_.AnswerBox();
  ASSERT_TRUE(information.has_value());
  EXPECT_EQ(information->caption, L"Zorn Information");
  EXPECT_EQ(information->text,
            L"\n\nVersion :\nSIM-DSP 1.00\n\nCommand Set :\n 0\n\nDefault Font :\n 0"
            L"\n\nLanguage :\n 0\n\nBPS :\n 0");
  EXPECT_TRUE(information->has_ok_button);
}

TEST_F(UtilityWindowFontSet, FontSetLoadsOneLanguageInTwentyThreeFrames) {
  const test_support::SimulatorLink simulator = Simulator();
  OpenCom7(program_);
  const std::size_t before = simulator.trace().size();
  program_.Select(id::kLanguageList, 1);  // (DE) Germany
  program_.Click(id::kFontSet);
  const std::vector<std::string> frames = simulator.wait_for_trace(before, 23, 20000);
  ASSERT_GE(frames.size(), 23U);
  EXPECT_EQ(frames[0], "frame 41 index=0");
  EXPECT_EQ(frames[1], "frame 41 index=1");
  for (std::size_t block = 0; block < 20; ++block) {
    EXPECT_EQ(frames[2 + block], "frame 42 index=" + std::to_string(block));
  }
  EXPECT_EQ(frames[22], "frame 43 code=DE");
  EXPECT_TRUE(simulator.wait_for_state("language", "DE"));
  EXPECT_EQ(test_support::find_message_box(program_.Boxes()), nullptr) << "a finished download shows nothing";
}

TEST_F(UtilityWindowFontSet, ASilentDisplayEndsTheDownloadWithResponseTimeout) {
  const test_support::SimulatorLink simulator = Simulator();
  OpenCom7(program_);
  ASSERT_TRUE(simulator.pause());
  const ULONGLONG clicked = GetTickCount64();  // the click starts the timer, so not sooner
  program_.Click(id::kFontSet);
  const auto timeout = program_.AnswerBox(20000);
  const ULONGLONG waited = GetTickCount64() - clicked;
  EXPECT_TRUE(simulator.resume());
  ASSERT_TRUE(timeout.has_value());
  EXPECT_EQ(timeout->caption, kTitle);
  EXPECT_EQ(timeout->text, L"Response Timeout !\n Try again");
  EXPECT_GE(waited, 4900U) << "the response timer runs 5000 ms";
  EXPECT_TRUE(program_.Enabled(id::kFontSet)) << "the port stays open";
}

// ---- hand-over to the firmware tool -------------------------------------------------------

class ScratchDirectory {
 public:
  ScratchDirectory() {
    std::array<wchar_t, MAX_PATH> base{};
    GetTempPathW(static_cast<DWORD>(base.size()), base.data());
    path_ = std::filesystem::path(base.data()) / (L"zorn-utility-" + std::to_wstring(GetCurrentProcessId()) +
                                                  L"-" + std::to_wstring(GetTickCount64()));
    std::filesystem::create_directories(path_);
  }
  ~ScratchDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchDirectory(const ScratchDirectory&) = delete;
  ScratchDirectory& operator=(const ScratchDirectory&) = delete;
  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(UtilityWindowHandOver, ProgramDownLoadStartsTheToolAfterTheBoxWithConfigDataPatched) {
  const test_support::SimulatorLink simulator = Simulator();
  const ScratchDirectory work;
  { std::ofstream(work.Path() / "config.data", std::ios::binary) << "abcdefghijklmnopqrst"; }
  const std::string standIn = KIT_NUVOISP_DIR;
  const UtilityProgram program({work.Path().wstring(), test_support::windows_path_of_unix_path(
                                                           std::wstring(standIn.begin(), standIn.end()))});
  ASSERT_NE(program.Dialog(), nullptr);
  OpenCom7(program);
  program.Click(id::kProgramDownLoad);

  // The box first; the tool only once it is answered.
  const ULONGLONG deadline = GetTickCount64() + 15000;
  HWND box = nullptr;
  while (box == nullptr && GetTickCount64() < deadline) {
    box = test_support::find_message_box(program.Boxes());
    if (box == nullptr) Sleep(20);
  }
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(test_support::read_message_box(box).text, L"Com port closed !");
  const std::filesystem::path note = work.Path() / "nuvoisp-started.txt";
  EXPECT_FALSE(std::filesystem::exists(note)) << "the tool started before the box was answered";
  EXPECT_TRUE(simulator.wait_for_state("mode", "download"))
      << "the enter-download frame left before the close";
  PostMessageW(box, WM_COMMAND, IDOK, 0);

  const ULONGLONG started = GetTickCount64();
  while (!std::filesystem::exists(note) && GetTickCount64() - started < 15000) Sleep(20);
  ASSERT_TRUE(std::filesystem::exists(note)) << "NuvoISP.exe was not started from the PATH";
  // The note is written as the tool starts: wait for its last line.
  std::string seen = ReadFile(note);
  while (seen.find("config.data: ") == std::string::npos && GetTickCount64() - started < 15000) {
    Sleep(20);
    seen = ReadFile(note);
  }
  // Started by its full path, from the PATH's folder, in the utility's current folder.
  EXPECT_NE(seen.find("command line: \""), std::string::npos) << seen;
  EXPECT_NE(seen.find("\\stand-in\\NuvoISP.exe\"\n"), std::string::npos) << seen;
  EXPECT_NE(seen.find("config.data: U,0,S,1,6,klmnopqrst"), std::string::npos) << seen;
  EXPECT_EQ(ReadFile(work.Path() / "config.data"), "U,0,S,1,6,klmnopqrst");
  EXPECT_TRUE(program.Enabled(id::kPortOpen)) << "the port is closed after the hand-over";
}

// Waits until the file exists, at most `limitMs`.
bool WaitForFile(const std::filesystem::path& path, ULONGLONG limitMs) {
  const ULONGLONG started = GetTickCount64();
  while (!std::filesystem::exists(path) && GetTickCount64() - started < limitMs) Sleep(20);
  return std::filesystem::exists(path);
}

// The tool is looked for before anything is sent; one planted in the current folder never runs.
// Each of these suites gets a display simulator of its own: a hand-over leaves the display deaf.
TEST(UtilityWindowToolSearch, ProgramDownLoadWithTheToolOnlyInTheCurrentFolderSaysItWasNotFound) {
  const test_support::SimulatorLink simulator = Simulator();
  const ScratchDirectory work;
  { std::ofstream(work.Path() / "config.data", std::ios::binary) << "abcdefghijklmnopqrst"; }
  const std::string standIn = KIT_NUVOISP_DIR;
  std::filesystem::copy_file(std::filesystem::path(standIn) / "NuvoISP.exe", work.Path() / "NuvoISP.exe");
  const UtilityProgram program({work.Path().wstring(), L""});
  ASSERT_NE(program.Dialog(), nullptr);
  OpenCom7(program);
  program.Click(id::kProgramDownLoad);
  const auto box = program.AnswerBox();
  ASSERT_TRUE(box.has_value());
  EXPECT_EQ(box->caption, kTitle);
  EXPECT_EQ(box->text, L"NuvoISP.exe was not found");
  EXPECT_TRUE(program.Enabled(id::kProgramDownLoad)) << "the port stays open";
  EXPECT_EQ(ReadFile(work.Path() / "config.data"), "abcdefghijklmnopqrst");
  EXPECT_FALSE(std::filesystem::exists(work.Path() / "nuvoisp-started.txt")) << "the planted tool ran";
  // The display still answers: it was not sent into its download mode.
  program.Click(id::kInformation);
  const auto information = program.AnswerBox();
  ASSERT_TRUE(information.has_value());
  EXPECT_NE(information->text.find(L"SIM-DSP 1.00"), std::wstring::npos);
}

// An existing config.data that cannot be written stops the hand-over before the tool.
TEST(UtilityWindowConfigData, ConfigDataThatCannotBeWrittenStopsTheHandOver) {
  const test_support::SimulatorLink simulator = Simulator();
  const ScratchDirectory work;
  const std::filesystem::path settings = work.Path() / "config.data";
  { std::ofstream(settings, std::ios::binary) << "abcdefghijklmnopqrst"; }
  // Held open without sharing, as another program may hold it; a read-only mark is refused the
  // same way on Windows, but a prefix run by root may still open a read-only file for writing.
  const kit::win32::UniqueFileHandle held(CreateFileW(settings.wstring().c_str(), GENERIC_READ, 0, nullptr,
                                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(held.is_valid());
  const std::string standIn = KIT_NUVOISP_DIR;
  const UtilityProgram program({work.Path().wstring(), test_support::windows_path_of_unix_path(
                                                           std::wstring(standIn.begin(), standIn.end()))});
  ASSERT_NE(program.Dialog(), nullptr);
  OpenCom7(program);
  program.Click(id::kProgramDownLoad);
  const auto closed = program.AnswerBox();
  ASSERT_TRUE(closed.has_value());
  EXPECT_EQ(closed->text, L"Com port closed !");
  const auto failed = program.AnswerBox();
  ASSERT_TRUE(failed.has_value());
  EXPECT_EQ(failed->caption, kTitle);
  EXPECT_EQ(failed->text, L"An error occurred while writing config.data.");
  EXPECT_FALSE(std::filesystem::exists(work.Path() / "nuvoisp-started.txt")) << "the tool started";
}

// "Close" and "Program Down Load" during a glyph download stop it with its 5 s timer: no
// "Response Timeout !" after "Com port closed !", nor over the firmware tool.
TEST(UtilityWindowFontSetEnd, ReleasingThePortStopsTheDownloadAndItsTimer) {
  const test_support::SimulatorLink simulator = Simulator();
  for (const int button : {id::kClose, id::kProgramDownLoad}) {
    SCOPED_TRACE(button);
    const ScratchDirectory work;
    const std::string standIn = KIT_NUVOISP_DIR;
    const UtilityProgram program({work.Path().wstring(), test_support::windows_path_of_unix_path(
                                                             std::wstring(standIn.begin(), standIn.end()))});
    ASSERT_NE(program.Dialog(), nullptr);
    OpenCom7(program);
    ASSERT_TRUE(simulator.pause());  // the display stays silent: only the timer could end the download
    program.Click(id::kFontSet);
    program.Click(button);
    const auto closed = program.AnswerBox();
    ASSERT_TRUE(closed.has_value());
    EXPECT_EQ(closed->text, L"Com port closed !");
    if (button == id::kProgramDownLoad) {
      EXPECT_TRUE(WaitForFile(work.Path() / "nuvoisp-started.txt", 15000)) << "the tool did not start";
    }
    // The download's timer would have fired 5 s after "Font Set"; give it half as long again.
    const ULONGLONG clicked = GetTickCount64();
    HWND late = nullptr;
    while (late == nullptr && GetTickCount64() - clicked < 7500) {
      late = test_support::find_message_box(program.Boxes());
      if (late == nullptr) Sleep(50);
    }
    EXPECT_TRUE(simulator.resume());
    EXPECT_EQ(late, nullptr) << "a box after the release: "
                             << testing::PrintToString(test_support::read_message_box(late).text);
  }
}

// ---- the system menu and the ways out ------------------------------------------------------

TEST_F(UtilityWindow, AboutEntryOfTheSystemMenuOpensTheAboutBox) {
  // The entry's command, as the system menu sends it (the four low bits are the system's).
  program_.Post(WM_SYSCOMMAND, 0x0010, 0);
  const auto about = program_.AnswerBox();
  ASSERT_TRUE(about.has_value());
  EXPECT_EQ(about->caption, L"About Zorn Utility");
  EXPECT_TRUE(about->has_ok_button);
  // The dialog goes on afterwards.
  program_.Click(id::kClose);
  const auto closed = program_.AnswerBox();
  ASSERT_TRUE(closed.has_value());
  EXPECT_EQ(closed->text, L"Com port closed !");
}

TEST(UtilityWindowEnd, ExitEnterEscapeAndTheCloseBoxEndTheProgram) {
  struct Case {
    const char* name;
    bool exitButton;
    UINT message;
    WPARAM wParam;
  };
  const std::vector<Case> cases = {
      {"EXIT", true, 0, 0},
      {"Enter", false, WM_COMMAND, IDOK},
      {"Escape", false, WM_COMMAND, IDCANCEL},
      {"close box", false, WM_SYSCOMMAND, SC_CLOSE},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const UtilityProgram program;
    ASSERT_NE(program.Dialog(), nullptr);
    OpenCom7(program);
    if (c.exitButton) {
      program.Click(id::kExit);
    } else {
      program.Post(c.message, c.wParam, 0);
    }
    EXPECT_EQ(program.WaitForExit(15000), std::optional<DWORD>(0)) << "the program did not end";
  }
}

}  // namespace
}  // namespace utility
