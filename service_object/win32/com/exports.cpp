// The four entry points of VARNEL.dll (exported undecorated by VARNEL.def) and DllMain.
// No exception leaves any of them.

#include <windows.h>
#include <objbase.h>

#include <new>

#include "service_object/win32/com/class_factory.h"
#include "service_object/win32/com/guids.h"
#include "service_object/win32/com/registration.h"
#include "service_object/win32/com/server_module.h"

// DllMain does no more than remember the library's handle: the service module is made at first
// use, not under the loader lock.
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
  if (reason == DLL_PROCESS_ATTACH) {
    varnel::com::set_module_handle(instance);
    DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (clsid != varnel::com::kClassId) return CLASS_E_CLASSNOTAVAILABLE;
  auto* factory = new (std::nothrow) varnel::com::ClassFactory();
  if (factory == nullptr) return E_OUTOFMEMORY;
  // As in CreateInstance: the QueryInterface reference is the caller's; the creation reference
  // goes, which frees the factory again when the interface is not supported.
  const HRESULT answer = factory->QueryInterface(iid, object);
  factory->Release();
  return answer;
}

STDAPI DllCanUnloadNow() { return varnel::com::lock_count() > 0 ? S_FALSE : S_OK; }

STDAPI DllRegisterServer() { return varnel::com::register_server(); }

STDAPI DllUnregisterServer() { return varnel::com::unregister_server(); }
