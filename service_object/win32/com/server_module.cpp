#include "service_object/win32/com/server_module.h"

#include <atomic>
#include <new>

#include "service_object/win32/module_name.h"
#include "service_object/win32/platform.h"

namespace varnel::com {

namespace {

std::atomic<HMODULE> g_module{nullptr};
// Set once the server below exists, so lock_count need not make it.
std::atomic<ServiceModule*> g_service{nullptr};

// The platform must outlive the module that holds references into it: members are built in
// order and destroyed in reverse.
struct Server {
  win32::Platform platform;
  ServiceModule module{platform.services()};
};

}  // namespace

void set_module_handle(HMODULE module) noexcept { g_module.store(module); }

HMODULE module_handle() noexcept { return g_module.load(); }

std::wstring module_path() { return win32::module_path(module_handle()); }

ServiceModule* service_module() noexcept {
  try {
    // Made at first use (thread-safe), destroyed when the library unloads.
    static Server server;
    g_service.store(&server.module);
    return &server.module;
  } catch (...) {
    // Construction failed; the next call tries again.
    return nullptr;
  }
}

long lock_count() noexcept {
  ServiceModule* service = g_service.load();
  return service == nullptr ? 0 : service->lock().count();
}

}  // namespace varnel::com
