#include "tester/win32/form_font.h"

#include <array>
#include <cwchar>

#include "tester/core/form_controls.h"

namespace zorntest::win32 {
namespace {

// Inconsolata looks much like Consolas and is no wider, so every caption keeps its place; the
// others are wider and may clip the longest labels ("Blink Rate :").
constexpr std::array<const wchar_t*, 4> kStandIns{L"Inconsolata", L"DejaVu Sans Mono", L"Lucida Console",
                                                  L"Courier New"};

int CALLBACK NoteFound(const LOGFONTW* /*font*/, const TEXTMETRICW* /*metrics*/, DWORD /*type*/,
                       LPARAM found) {
  // EnumFontFamiliesExW hands our pointer back as an integer.
  *reinterpret_cast<bool*>(found) = true;  // NOLINT(performance-no-int-to-ptr)
  return 0;
}

bool FaceInstalled(HDC dc, const std::wstring& face) {
  LOGFONTW wanted{};
  wanted.lfCharSet = DEFAULT_CHARSET;
  face.copy(wanted.lfFaceName, LF_FACESIZE - 1);
  bool found = false;
  EnumFontFamiliesExW(dc, &wanted, NoteFound, reinterpret_cast<LPARAM>(&found), 0);
  return found;
}

}  // namespace

std::wstring FormFontFace() {
  std::wstring first = kit::win32::to_wide(kFontFace);
  HDC dc = GetDC(nullptr);
  if (dc == nullptr) return first;
  std::wstring face = first;
  if (!FaceInstalled(dc, first)) {
    for (const wchar_t* stand_in : kStandIns) {
      if (FaceInstalled(dc, stand_in)) {
        face = stand_in;
        break;
      }
    }
  }
  ReleaseDC(nullptr, dc);
  return face;
}

UniqueFont CreateFormFont(int dpi) {
  LOGFONTW font{};
  // A negative height asks for the character height (the point size) rather than the cell.
  font.lfHeight = -MulDiv(kFontPoints, dpi, 72);
  font.lfWeight = kFontBold ? FW_BOLD : FW_NORMAL;
  font.lfCharSet = DEFAULT_CHARSET;
  font.lfQuality = CLEARTYPE_QUALITY;
  font.lfPitchAndFamily = FIXED_PITCH | FF_MODERN;
  FormFontFace().copy(font.lfFaceName, LF_FACESIZE - 1);
  return UniqueFont(CreateFontIndirectW(&font));
}

}  // namespace zorntest::win32
