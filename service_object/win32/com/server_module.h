#pragma once
// What VARNEL.dll holds for as long as it is loaded: its module handle, and the one
// ServiceModule (with the Win32 platform it runs on) that every ID_TARVO_VARNEL object of the
// process shares. The ServiceModule's ModuleLock is the library's lock count: each live object
// holds one lock (taken by the ID_TARVO_VARNEL constructor), each IClassFactory::LockServer(TRUE)
// another, and DllCanUnloadNow answers S_FALSE while any is held.

#include <windows.h>

#include <string>

#include "service_object/core/service_module.h"

namespace varnel::com {

// Recorded by DllMain at load.
void set_module_handle(HMODULE module) noexcept;
HMODULE module_handle() noexcept;

// The full path of VARNEL.dll, as Windows loaded it; empty when it cannot be had.
std::wstring module_path();

// The library's ServiceModule, made at first use and kept until the library unloads. Null only
// when it could not be made (out of memory).
ServiceModule* service_module() noexcept;

// The lock count, without making the ServiceModule.
long lock_count() noexcept;

}  // namespace varnel::com
