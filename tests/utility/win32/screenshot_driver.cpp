// Drives Zorn_Utility.exe through the states the technician's guide shows, and asks for a
// screenshot of each: it writes REQUESTS\<name>.request holding the area to take
// (WIDTHxHEIGHT+X+Y on the screen) and waits for REQUESTS\<name>.done, which
// scripts/screenshots.sh makes once the picture is taken. Run under Wine with an X display and
// the display simulator on COM7:
//   utility_screenshot_driver.exe REQUESTS
#include <windows.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "tests/support/utility_program.h"
#include "utility/core/dialog_view.h"

namespace {

namespace control_id = utility::control_id;

constexpr DWORD kShotLimitMs = 60000;
constexpr int kCom7 = 6;

// Asks for a picture of `area` and waits until it has been taken.
bool Shoot(const std::filesystem::path& requests, const std::string& name, const RECT& area) {
  const std::filesystem::path done = requests / (name + ".done");
  {
    std::ofstream request(requests / (name + ".request.tmp"));
    request << (area.right - area.left) << "x" << (area.bottom - area.top) << "+" << area.left << "+"
            << area.top << "\n";
  }
  std::filesystem::rename(requests / (name + ".request.tmp"), requests / (name + ".request"));
  const ULONGLONG deadline = GetTickCount64() + kShotLimitMs;
  while (!std::filesystem::exists(done)) {
    if (GetTickCount64() >= deadline) return false;
    Sleep(50);
  }
  return true;
}

RECT WindowArea(HWND window) {
  RECT area{};
  GetWindowRect(window, &area);
  return area;
}

// Lets the window finish painting before its picture is taken.
void SettlePainting(HWND window) {
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  Sleep(300);
}

int Fail(const char* step) {
  std::fprintf(stderr, "utility_screenshot_driver: %s\n", step);
  return 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) return Fail("usage: utility_screenshot_driver.exe REQUESTS");
  const std::filesystem::path requests(argv[1]);
  const zorn::test::UtilityProgram program;
  const HWND dialog = program.Dialog();
  if (dialog == nullptr) return Fail("Zorn_Utility.exe showed no dialog");

  SettlePainting(dialog);
  if (!Shoot(requests, "utility-start", WindowArea(dialog))) return Fail("no picture of the start");

  program.Select(control_id::kPortList, kCom7);
  program.Click(control_id::kPortOpen);
  if (!program.WaitUntilEnabled(control_id::kInformation, true)) return Fail("COM7 did not open");
  SettlePainting(dialog);
  if (!Shoot(requests, "utility-port-open", WindowArea(dialog))) return Fail("no picture of the open port");

  program.Click(control_id::kInformation);
  HWND box = nullptr;
  const ULONGLONG deadline = GetTickCount64() + 15000;
  while (box == nullptr && GetTickCount64() < deadline) {
    box = test_support::find_message_box(program.Boxes());
    Sleep(20);
  }
  if (box == nullptr) return Fail("no information box");
  SettlePainting(box);
  const RECT dialogArea = WindowArea(dialog);
  const RECT boxArea = WindowArea(box);
  RECT area{};
  UnionRect(&area, &dialogArea, &boxArea);
  if (!Shoot(requests, "utility-information", area)) return Fail("no picture of the information box");
  PostMessageW(box, WM_COMMAND, IDOK, 0);
  program.Click(control_id::kExit);
  return program.WaitForExit(15000) ? 0 : Fail("the dialog did not end");
}
