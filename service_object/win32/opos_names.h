#pragma once
// <windows.h> maps some Win32 function names to their W variants with macros; OpenService and
// CreateWindow are also names of OPOS methods of the service object. A Windows source file that
// uses the service object class includes this before any other header, in place of <windows.h>.

#include <windows.h>

#undef OpenService
#undef CreateWindow
