// Puts ZornTest.exe into the states the technician's guide shows, for scripts/tester-screenshots.sh: the
// form at start (Idle) and after Open on the display simulator. At each state it prints
//   <state> <left> <top> <right> <bottom>
// (the form's place on the screen) and waits for a line on its input before going on, so the
// script can take its picture. Registers the stand-in Control Object and VARNEL.dll and installs
// a device on COM7 while it runs; runs inside scripts/with-simulator.sh.
//
//   tester_screenshot_steps.exe

#include <windows.h>

#include <cstdio>
#include <iostream>
#include <string>

#include "tester/core/form_controls.h"
#include "tests/support/installed_device.h"
#include "tests/support/tester_process.h"

namespace {

using kit::tester_test::RegisteredServer;
using kit::tester_test::TesterProcess;
using kit::tester_test::WindowsPath;

bool ShowState(const char* state, HWND form) {
  // Drawn completely before the picture is taken: the repaint is sent, and the answer to the
  // null message comes only once the form is back in its message loop.
  RedrawWindow(form, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  DWORD_PTR ignored = 0;
  SendMessageTimeoutW(form, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 10000, &ignored);
  RECT place{};
  GetWindowRect(form, &place);
  std::printf("%s %ld %ld %ld %ld\n", state, place.left, place.top, place.right, place.bottom);
  std::fflush(stdout);
  std::string answer;
  return static_cast<bool>(std::getline(std::cin, answer));
}

int Run() {
  const RegisteredServer control(WindowsPath(KIT_CONTROL_OBJECT_DLL));
  const RegisteredServer service(WindowsPath(KIT_VARNEL_DLL));
  if (!control.registered() || !service.registered()) {
    std::fprintf(stderr, "screenshot steps: cannot register the Control Object or VARNEL.dll\n");
    return 1;
  }
  const test_support::InstalledDevice device(L"PoleDisplay", L"7", L"9600", L"VARNEL.ID_TARVO_VARNEL");
  std::optional<TesterProcess> tester = TesterProcess::start(WindowsPath(KIT_ZORNTEST_EXE));
  if (!tester || tester->wait_for_form() == nullptr) {
    std::fprintf(stderr, "screenshot steps: the form did not show\n");
    return 1;
  }
  if (!ShowState("idle", tester->form())) return 1;
  const std::optional<std::wstring> opened = tester->press(zorntest::control_id::kCommand1);
  if (opened != std::optional<std::wstring>(L"OposSuccess")) {
    std::fprintf(stderr, "screenshot steps: Open did not succeed: %ls\n",
                 opened ? opened->c_str() : L"no status");
    return 1;
  }
  // The focus rectangle would mark the button just pressed; the picture shows the form at rest.
  SendMessageW(tester->form(), WM_NEXTDLGCTL,
               reinterpret_cast<WPARAM>(tester->control(zorntest::control_id::kCombo1)), TRUE);
  if (!ShowState("open", tester->form())) return 1;
  tester->press(zorntest::control_id::kCommand10);
  tester->click(zorntest::control_id::kCommand11);
  return tester->wait_for_exit() == 0u ? 0 : 1;
}

}  // namespace

int main() { return Run(); }
