#pragma once
// The COM object an automation client holds: one ID_TARVO_VARNEL behind IDispatch.
//
// QueryInterface answers IUnknown, IDispatch and IID_TARVO_VARNEL (a dispatch interface: the
// same vtable as IDispatch). The object counts its references and deletes itself at the final
// Release; the ID_TARVO_VARNEL inside holds the library lock while it lives. Deleting it does not
// close the port (CloseService does).
//
// Type information: GetTypeInfoCount answers 1 and GetTypeInfo serves the embedded type
// library's description of IID_TARVO_VARNEL, which lists only the five properties; the methods
// are found by name through GetIDsOfNames (see dispatch_table.h).

// First: <windows.h> without the macros that clash with OPOS method names.
#include "service_object/win32/opos_names.h"
#include <oaidl.h>

#include <atomic>

#include "service_object/core/id_tarvo_varnel.h"

namespace varnel::com {

class ServiceObjectDispatch final : public IDispatch {
 public:
  // The new object holds one reference, which the creator owns.
  explicit ServiceObjectDispatch(ServiceModule& module) : service_(module) {}
  ServiceObjectDispatch(const ServiceObjectDispatch&) = delete;
  ServiceObjectDispatch& operator=(const ServiceObjectDispatch&) = delete;

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  // IDispatch
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT name_count, LCID locale,
                                          DISPID* ids) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* exception, UINT* argument_error) override;

 protected:
  // Only Release deletes (protected in a final class: nobody else can).
  ~ServiceObjectDispatch() = default;

 private:
  std::atomic<ULONG> references_{1};
  ID_TARVO_VARNEL service_;
};

}  // namespace varnel::com
