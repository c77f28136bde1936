#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "utility/core/dialog_view.h"

namespace utility {

// CZorn_UtilityDlg's view of the main dialog window: its controls by identifier, its timers,
// and message boxes owned by it. ANSI throughout: list entries, edit texts and messages are
// bytes of the system's code page.
class DialogWindowView final : public DialogView {
 public:
  // The dialog window the view works on, from its WM_INITDIALOG on.
  void Attach(HWND dialog) { m_hWnd = dialog; }
  HWND Window() const { return m_hWnd; }

  void EnableControl(int controlId, bool enabled) override;
  void AddListEntry(int listId, std::string_view entry) override;
  void SelectListEntry(int listId, int index) override;
  int SelectedIndex(int listId) const override;
  std::string EditText(int editId, std::size_t maxChars) const override;
  void ShowMessage(std::string_view text, std::string_view title, MessageIcon icon) override;
  void StartTimer(unsigned timerId, unsigned periodMs) override;
  void StopTimer(unsigned timerId) override;
  // Sends WM_CLOSE, which the dialog answers like Cancel.
  void EndDialog() override;

 private:
  HWND m_hWnd = nullptr;
};

}  // namespace utility
