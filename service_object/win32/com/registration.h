#pragma once
// Self-registration of VARNEL.dll (DllRegisterServer / DllUnregisterServer).
//
// Registration, in order:
//   1. the AppID registry script (resource REGISTRY 101, see VARNEL.rgs); its result is ignored;
//   2. the type library embedded as TYPELIB 1, registered from the library's own path;
//      failure -> SELFREG_E_TYPELIB;
//   3. the class: HKCR\CLSID\{clsid} = "ID_TARVO_VARNEL" with InprocServer32 = the library's
//      full path and ThreadingModel "Apartment", ProgID = "VARNEL.ID_TARVO_VARNEL"; and
//      HKCR\VARNEL.ID_TARVO_VARNEL = "ID_TARVO_VARNEL" with CLSID = "{clsid}";
//      failure -> SELFREG_E_CLASS.
// A registration that fails half way is rolled back: every key it may touch (AppID, type
// library, dispatch interface, class, ProgID, in both registry views) is brought back to what
// it was before, and the failure is the answer.
//
// Removal takes the same steps back: the script in removal mode (the AppID parent key stays),
// UnRegisterTypeLib for the LIBID, version 1.0, locale 0 and then the library's own locale 0x409
// (a type library that is not registered counts as removed; other failures -> SELFREG_E_TYPELIB),
// then the class and ProgID keys (absent keys count as removed; other failures ->
// SELFREG_E_CLASS). Every step runs even after one failed; the first failure is the answer.
//
// In a 32-bit process on 64-bit Windows, HKCR\CLSID is the 32-bit view (Wow6432Node) by itself;
// the ProgID, TypeLib and AppID keys are shared by both views.

#include <windows.h>

namespace varnel::com {

HRESULT register_server();
HRESULT unregister_server();

}  // namespace varnel::com
