#include "service_object/win32/wow64_process.h"

#include <windows.h>

namespace varnel {

bool Win32ProcessInfo::is_wow64() {
  // IsWow64Process: nonzero on success; the answer is in the out-parameter. The handle from
  // GetCurrentProcess is a pseudo-handle that needs no closing.
  BOOL wow64 = FALSE;
  return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

}  // namespace varnel
