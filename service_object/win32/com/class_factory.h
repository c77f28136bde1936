#pragma once
// The class factory of ID_TARVO_VARNEL, handed out by DllGetClassObject.
//
// Each DllGetClassObject call makes a new factory with its own reference count; it deletes itself
// at its final Release. A factory does not keep the library loaded by itself: a client that keeps
// one for later calls LockServer(TRUE), which takes a library lock, as COM prescribes.

#include <windows.h>
#include <unknwn.h>

#include <atomic>

namespace varnel::com {

class ClassFactory final : public IClassFactory {
 public:
  // The new factory holds one reference, which the creator owns.
  ClassFactory() = default;
  ClassFactory(const ClassFactory&) = delete;
  ClassFactory& operator=(const ClassFactory&) = delete;

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  // IClassFactory
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override;
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;

 protected:
  // Only Release deletes (protected in a final class: nobody else can).
  ~ClassFactory() = default;

 private:
  std::atomic<ULONG> references_{1};
};

}  // namespace varnel::com
