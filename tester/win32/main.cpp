// ZornTest.exe: the OPOS test program. Creates the form and the LineDisplay Control Object,
// runs the start-up steps, and then the form's message loop until Exit or the close box.

#include <windows.h>
#include <ole2.h>

#include <new>
#include <string>

#include "tester/core/form1.h"
#include "tester/core/form_controls.h"
#include "tester/win32/ansi_registry.h"
#include "tester/win32/dispatch_control_object.h"
#include "tester/win32/form_window.h"
#include "tester/win32/single_instance.h"

namespace {

// OLE for the form's thread, for as long as the program runs.
class OleSession {
 public:
  OleSession() : result_(OleInitialize(nullptr)) {}
  ~OleSession() {
    if (SUCCEEDED(result_)) OleUninitialize();
  }
  OleSession(const OleSession&) = delete;
  OleSession& operator=(const OleSession&) = delete;

 private:
  HRESULT result_;
};

int RunMessageLoop(HWND form) {
  MSG message{};
  // GetMessageW answers 0 for WM_QUIT and -1 on failure.
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (form != nullptr && IsWindow(form) && IsDialogMessageW(form, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return 0;
}

int RunTester(HINSTANCE instance) {
  using namespace zorntest;
  using namespace zorntest::win32;
  const OleSession ole;
  SingleInstance program;
  Win32AnsiRegistry registry;
  const std::wstring title = ExecutableBaseName();

  // The form and its Control Object come first; the start-up steps run before the form shows.
  FormWindow window(instance, title);
  if (!window.Created()) return 1;
  const std::wstring prog_id = kit::win32::to_wide(kControlObjectProgId);
  CreatedControl created = CreateControlObject(prog_id);
  const bool control_missing = !created.control;
  DispatchControlObject control(std::move(created.control));
  Form1 form(window, control, registry, program);
  window.Attach(form);

  if (!form.Form_Load()) return 0;
  // Without its Control Object the form says so and opens all the same (docs/developer.md: "No Control
  // Object").
  if (control_missing) {
    window.ShowMessage(kit::win32::to_u16(ControlObjectMissingMessage(prog_id, created.result, title)),
                       MessageIcon::Exclamation);
  }
  window.Show();
  return RunMessageLoop(window.Handle());
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE /*previous*/, PWSTR /*command_line*/, int /*show*/) {
  try {
    return RunTester(instance);
  } catch (const std::bad_alloc&) {
    return 1;
  }
}
