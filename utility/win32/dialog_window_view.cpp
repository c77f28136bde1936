#include "utility/win32/dialog_window_view.h"

#include <vector>

namespace utility {

namespace {

UINT IconStyle(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::Information: return MB_ICONINFORMATION;
    case MessageIcon::Error: return MB_ICONSTOP;
    case MessageIcon::Warning: return MB_ICONWARNING;
  }
  return 0;
}

}  // namespace

void DialogWindowView::EnableControl(int controlId, bool enabled) {
  EnableWindow(GetDlgItem(m_hWnd, controlId), enabled ? TRUE : FALSE);
}

void DialogWindowView::AddListEntry(int listId, std::string_view entry) {
  const std::string text(entry);
  SendDlgItemMessageA(m_hWnd, listId, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void DialogWindowView::SelectListEntry(int listId, int index) {
  SendDlgItemMessageA(m_hWnd, listId, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

int DialogWindowView::SelectedIndex(int listId) const {
  // CB_GETCURSEL: the index, or CB_ERR (-1) when no entry is selected.
  return static_cast<int>(SendDlgItemMessageA(m_hWnd, listId, CB_GETCURSEL, 0, 0));
}

std::string DialogWindowView::EditText(int editId, std::size_t maxChars) const {
  std::vector<char> buffer(maxChars + 1, '\0');
  // GetDlgItemTextA: the characters copied, at most the buffer's size less its terminating zero.
  const UINT copied = GetDlgItemTextA(m_hWnd, editId, buffer.data(), static_cast<int>(buffer.size()));
  return std::string(buffer.data(), copied);
}

void DialogWindowView::ShowMessage(std::string_view text, std::string_view title, MessageIcon icon) {
  const std::string body(text);
  const std::string caption(title);
  MessageBoxA(m_hWnd, body.c_str(), caption.c_str(), MB_OK | IconStyle(icon));
}

void DialogWindowView::StartTimer(unsigned timerId, unsigned periodMs) {
  // SetTimer with an identifier already running replaces that timer.
  SetTimer(m_hWnd, timerId, periodMs, nullptr);
}

void DialogWindowView::StopTimer(unsigned timerId) { KillTimer(m_hWnd, timerId); }

void DialogWindowView::EndDialog() { SendMessageA(m_hWnd, WM_CLOSE, 0, 0); }

}  // namespace utility
