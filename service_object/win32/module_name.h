#pragma once
// The path and the file name of a module (DLL or EXE), in particular of the one that contains
// this code.

#include <windows.h>

#include <string>
#include <string_view>

namespace varnel::win32 {

// The last component of a Windows path without its extension: "C:\x.y\VARNEL.dll" gives
// "VARNEL". Both '\' and '/' separate folders; a dot in a folder name is not an extension.
std::wstring file_stem(std::wstring_view path);

// The full path of `module` as Windows loaded it; empty when Windows cannot tell.
std::wstring module_path(HMODULE module);

// file_stem of the module this function is linked into: the DLL when it is built into one,
// the program otherwise. Empty when Windows cannot tell.
std::wstring this_module_stem();

}  // namespace varnel::win32
