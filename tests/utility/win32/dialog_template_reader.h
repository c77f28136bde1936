#pragma once
// Reads a DIALOGEX template from a program's resources as the dialog manager sees it: the
// dialog's own facts and every control's class, identifier, styles, caption and place, in the
// styles the template gives (a running control may drop some, such as a scroll bar it does not
// need yet).

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace zorn::test {

struct TemplateItem {
  DWORD style = 0;
  DWORD exStyle = 0;
  RECT units{};  // x, y, width, height in dialog units
  int id = 0;
  WORD classAtom = 0;      // 0x80 button, 0x81 edit, 0x82 static, 0x85 combo box; 0 when named
  std::wstring className;  // when given by name
  std::wstring title;
};

struct DialogTemplate {
  DWORD style = 0;
  DWORD exStyle = 0;
  RECT units{};
  std::wstring title;
  WORD pointSize = 0;
  std::wstring typeface;
  std::vector<TemplateItem> items;
};

// The template `id` of `module` (loaded as a data file will do); nothing when it is missing or
// not an extended template.
std::optional<DialogTemplate> ReadDialogTemplate(HMODULE module, int id);

}  // namespace zorn::test
