#include "service_object/win32/interactive_session.h"

#include <windows.h>

namespace varnel::win32 {

bool someone_can_answer_a_box() {
  // ProcessIdToSessionId: nonzero on success.
  DWORD session = 0;
  if (ProcessIdToSessionId(GetCurrentProcessId(), &session) && session == 0) return false;

  // GetProcessWindowStation: the station's handle (not to be closed), or null.
  HWINSTA station = GetProcessWindowStation();
  USEROBJECTFLAGS flags{};
  DWORD needed = 0;
  // GetUserObjectInformationW: nonzero on success.
  if (station == nullptr || !GetUserObjectInformationW(station, UOI_FLAGS, &flags, sizeof flags, &needed)) {
    return true;
  }
  return (flags.dwFlags & WSF_VISIBLE) != 0;
}

}  // namespace varnel::win32
