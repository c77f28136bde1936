#include "service_object/win32/com/class_factory.h"

#include <atomic>
#include <new>

#include "service_object/win32/com/server_module.h"
#include "service_object/win32/com/service_object_dispatch.h"

namespace varnel::com {

namespace {

// The LockServer(TRUE) calls not yet undone. Each is also a lock on the library; kept apart so
// that an unlock without a lock cannot take away a lock a live object holds.
std::atomic<long> g_server_locks{0};

}  // namespace

HRESULT ClassFactory::QueryInterface(REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (iid != IID_IUnknown && iid != IID_IClassFactory) return E_NOINTERFACE;
  *object = static_cast<IClassFactory*>(this);
  AddRef();
  return S_OK;
}

ULONG ClassFactory::AddRef() { return references_.fetch_add(1) + 1; }

ULONG ClassFactory::Release() {
  const ULONG remaining = references_.fetch_sub(1) - 1;
  if (remaining == 0) delete this;
  return remaining;
}

HRESULT ClassFactory::CreateInstance(IUnknown* outer, REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (outer != nullptr) return CLASS_E_NOAGGREGATION;
  ServiceModule* module = service_module();
  if (module == nullptr) return E_OUTOFMEMORY;
  // The constructor may allocate (std::bad_alloc) besides the object itself.
  ServiceObjectDispatch* created = nullptr;
  try {
    created = new (std::nothrow) ServiceObjectDispatch(*module);
  } catch (...) {
    created = nullptr;
  }
  if (created == nullptr) return E_OUTOFMEMORY;
  // The creation reference is dropped after the QueryInterface: when the interface is not
  // supported, that Release deletes the object again.
  const HRESULT answer = created->QueryInterface(iid, object);
  created->Release();
  return answer;
}

HRESULT ClassFactory::LockServer(BOOL lock) {
  ServiceModule* module = service_module();
  if (module == nullptr) return E_OUTOFMEMORY;
  if (lock) {
    g_server_locks.fetch_add(1);
    module->lock().lock();
    return S_OK;
  }
  // An unlock without a lock is the client's bug: it is ignored.
  long held = g_server_locks.load();
  while (held > 0) {
    if (g_server_locks.compare_exchange_weak(held, held - 1)) {
      module->lock().unlock();
      break;
    }
  }
  return S_OK;
}

}  // namespace varnel::com
