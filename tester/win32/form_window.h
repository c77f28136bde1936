#pragma once
// Form1's window: a fixed-size dialog-style window with the controls of the form's table,
// placed at their twips converted to pixels at the system's DPI. It shows the form's state and
// hands clicks and the close box to Form1.

#include <windows.h>

#include <string>

#include "tester/core/form1.h"
#include "tester/core/form_view.h"
#include "tester/win32/win32_owners.h"

namespace zorntest::win32 {

class FormWindow final : public FormView {
 public:
  // Creates the window and its controls, not yet shown. `title` is the program's default
  // title, the caption of its message boxes. Check Created() afterwards.
  FormWindow(HINSTANCE instance, std::wstring title);
  ~FormWindow() override;
  FormWindow(const FormWindow&) = delete;
  FormWindow& operator=(const FormWindow&) = delete;

  [[nodiscard]] bool Created() const { return static_cast<bool>(window_); }
  // Clicks and the close box go to `form` from then on.
  void Attach(Form1& form) { form_ = &form; }
  // Shows the window centred on the screen's work area, with the focus on the device list.
  void Show();
  [[nodiscard]] HWND Handle() const { return window_.get(); }

  // FormView
  std::u16string Text(int controlId) const override;
  void SetText(int controlId, std::u16string_view text) override;
  void AddItem(int comboId, std::u16string_view item) override;
  int ListIndex(int comboId) const override;
  void SetListIndex(int comboId, int index) override;
  bool SetEnabled(int controlId, bool enabled) override;
  void SetMousePointer(MousePointer pointer) override;
  void ShowMessage(std::u16string_view text, MessageIcon icon) override;
  void EndProgram() override;

 private:
  static LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT Handle(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  void CreateControls(HINSTANCE instance);
  [[nodiscard]] HWND Control(int id) const { return window_ ? GetDlgItem(window_.get(), id) : nullptr; }
  [[nodiscard]] int Pixels(int twips) const { return MulDiv(twips, dpi_, 1440); }

  std::wstring title_;
  int dpi_ = 96;
  UniqueFont font_;
  // The form is owned by a hidden window, which keeps it out of the taskbar.
  UniqueWindow owner_;
  UniqueWindow window_;
  Form1* form_ = nullptr;
  bool busy_ = false;
};

}  // namespace zorntest::win32
