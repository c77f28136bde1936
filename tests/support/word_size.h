#pragma once
// What the word size of the test program decides. The product is a 32-bit program and runs in
// the 64-bit test prefix under WOW64; the same sources also build as 64-bit programs, which run
// natively there. The facts the tests check follow from that.

#include <windows.h>

namespace test_support {

inline constexpr bool kIs32Bit = sizeof(void*) == 4;

// The registry view an installer of the same word size writes through: a 32-bit installer's
// HKLM\SOFTWARE\X lands in the 32-bit view (SOFTWARE\Wow6432Node\X), a 64-bit one's in the
// 64-bit view. The service object reads where an installer of its own word size wrote.
inline constexpr REGSAM kInstallerView = kIs32Bit ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;

// The view this program's own registry calls reach when they name no view.
inline constexpr REGSAM kOwnView = kInstallerView;

// The other view: the one this program reaches only by naming it.
inline constexpr REGSAM kOtherView = kIs32Bit ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;

}  // namespace test_support
