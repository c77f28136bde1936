#pragma once

// The 29 methods a LineDisplay service object offers its Control Object, in the order of their
// published dispatch ids (COFreezeEvents is 1). The tests and the stand-in Control Object resolve
// them by name, as a Control Object does; this list is written from the published interface, not
// taken from the library under test.

#include <array>

namespace test_support {

inline constexpr std::array<const wchar_t*, 29> kServiceMethodNames{
    L"COFreezeEvents",    L"GetPropertyNumber",
    L"SetPropertyNumber", L"GetPropertyString",
    L"SetPropertyString", L"OpenService",
    L"CheckHealth",       L"ClaimDevice",
    L"CloseService",      L"DirectIO",
    L"ReleaseDevice",     L"ClearDescriptors",
    L"ClearText",         L"CreateWindow",
    L"DestroyWindow",     L"DisplayText",
    L"DisplayTextAt",     L"RefreshWindow",
    L"ScrollText",        L"SetDescriptor",
    L"DefineGlyph",       L"ReadCharacterAtCursor",
    L"DisplayBitmap",     L"SetBitmap",
    L"ResetStatistics",   L"RetrieveStatistics",
    L"UpdateStatistics",  L"CompareFirmwareVersion",
    L"UpdateFirmware"};

}  // namespace test_support
