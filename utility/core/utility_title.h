#pragma once

namespace utility {

// The title of the utility's message boxes, shared by the dialog and the
// Windows port object (whose own boxes carry it too). The surrounding spaces
// belong to it.
inline constexpr char kUtilityTitle[] = " Zorn Utility Ver 2.03  ";

}  // namespace utility
