#pragma once
// The font of the form's controls: Consolas, 12 point, bold. Where Consolas is not installed
// the first installed face of a short list of monospaced faces of similar proportions stands in
// for it (docs/developer.md: "The font").

#include <windows.h>

#include <string>

#include "tester/win32/win32_owners.h"

namespace zorntest::win32 {

// The face the form uses on this system.
std::wstring FormFontFace();

// The form's font for a screen of `dpi` dots per inch.
UniqueFont CreateFormFont(int dpi);

}  // namespace zorntest::win32
