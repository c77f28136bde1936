#pragma once
// The file name of the module (DLL or EXE) that contains this code.

#include <string>
#include <string_view>

namespace varnel::win32 {

// The last component of a Windows path without its extension: "C:\x.y\VARNEL.dll" gives
// "VARNEL". Both '\' and '/' separate folders; a dot in a folder name is not an extension.
std::wstring file_stem(std::wstring_view path);

// file_stem of the module this function is linked into: the DLL when it is built into one,
// the program otherwise. Empty when Windows cannot tell.
std::wstring this_module_stem();

}  // namespace varnel::win32
