#pragma once
// The fixed identifiers of VARNEL.dll. They never change between builds: registered clients and
// OPOS device entries refer to them. VARNEL.idl repeats the same values for the type library.

#include <windows.h>

namespace varnel::com {

// The creatable class ID_TARVO_VARNEL.
inline constexpr CLSID kClassId = {
    0x4D942259, 0xC763, 0x4CFC, {0x94, 0x0F, 0x39, 0x4A, 0x64, 0x7B, 0x1C, 0x70}};
// The type library VARNEL, version 1.0.
inline constexpr GUID kTypeLibraryId = {
    0x03B795C0, 0xE7E6, 0x474A, {0x92, 0xB5, 0x85, 0x71, 0xD3, 0x0B, 0x1F, 0x01}};
inline constexpr WORD kTypeLibraryMajor = 1;
inline constexpr WORD kTypeLibraryMinor = 0;
// The AppID the registry script writes.
inline constexpr GUID kAppId = {0x6FFB383E, 0x86D7, 0x4517, {0xB5, 0x83, 0xFA, 0x0F, 0x43, 0x9B, 0x65, 0xD2}};
// The dispatch interface IID_TARVO_VARNEL: the same vtable as IDispatch.
inline constexpr IID kDispatchInterfaceId = {
    0x81C42265, 0xCBD5, 0x4ADA, {0xB4, 0xCE, 0xAB, 0xEA, 0x83, 0x5D, 0x79, 0x36}};

inline constexpr const wchar_t* kProgId = L"VARNEL.ID_TARVO_VARNEL";
inline constexpr const wchar_t* kClassName = L"ID_TARVO_VARNEL";

// Resource numbers in VARNEL.rc.
inline constexpr int kTypeLibraryResource = 1;
inline constexpr int kAppIdScriptResource = 101;

}  // namespace varnel::com
