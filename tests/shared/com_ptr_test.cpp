// ComPtr and the BSTR and VARIANT owners beside it: each reference taken is released exactly
// once, and none is taken that the caller did not hand over.

#include <windows.h>
#include <gtest/gtest.h>
#include <oleauto.h>

#include <utility>

#include "shared/win32/com_resources.h"

namespace kit::win32 {
namespace {

// An object that counts its references; it is never deleted, so a test can read the count at
// any time.
class CountedObject : public IUnknown {
 public:
  CountedObject() = default;
  CountedObject(const CountedObject&) = delete;
  CountedObject& operator=(const CountedObject&) = delete;
  virtual ~CountedObject() = default;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (!IsEqualIID(iid, IID_IUnknown)) return E_NOINTERFACE;
    *out = this;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
  ULONG STDMETHODCALLTYPE Release() override { return --references; }

  ULONG references = 1;  // the one the test holds
};

TEST(ComPtrTest, ReleasesExactlyTheReferencesItWasGiven) {
  struct Case {
    const char* what;
    void (*run)(CountedObject& object, CountedObject& other);
    ULONG object_after;  // references left on `object` after the step and the owner's scope
    ULONG other_after;
  };
  const Case cases[] = {
      {"attach, then scope end",
       [](CountedObject& object, CountedObject&) { ComPtr<IUnknown>::attach(&object); }, 0, 1},
      {"detach hands the reference back",
       [](CountedObject& object, CountedObject&) { ComPtr<IUnknown>::attach(&object).detach(); }, 1, 1},
      {"put() releases the old one first",
       [](CountedObject& object, CountedObject& other) {
         auto owner = ComPtr<IUnknown>::attach(&object);
         *owner.put() = &other;
       },
       0, 0},
      {"put_void() through QueryInterface",
       [](CountedObject& object, CountedObject& other) {
         ComPtr<IUnknown> owner;
         object.QueryInterface(IID_IUnknown, owner.put_void());
         other.QueryInterface(IID_IUnknown, owner.put_void());
       },
       1, 1},
      {"moved, then moved over",
       [](CountedObject& object, CountedObject& other) {
         auto first = ComPtr<IUnknown>::attach(&object);
         ComPtr<IUnknown> second(std::move(first));
         second = ComPtr<IUnknown>::attach(&other);
       },
       0, 0},
  };
  for (const Case& c : cases) {
    CountedObject object;
    CountedObject other;
    c.run(object, other);
    EXPECT_EQ(object.references, c.object_after) << c.what;
    EXPECT_EQ(other.references, c.other_after) << c.what;
  }
}

TEST(ComPtrTest, AStringOrVariantOwnerFreesWhatItHolds) {
  // A VARIANT holding an interface releases it when cleared; a string owner's put() frees the
  // old string before the call writes the new one (Wine would report a double free as a crash).
  CountedObject object;
  {
    UniqueVariant holder;
    holder.put()->vt = VT_UNKNOWN;
    holder.get()->punkVal = &object;
    object.AddRef();
  }
  EXPECT_EQ(object.references, 1u);
  UniqueBstr text(SysAllocString(L"first"));
  *text.put() = SysAllocString(L"second");
  EXPECT_STREQ(text.get(), L"second");
  BSTR kept = text.release();
  EXPECT_EQ(text.get(), nullptr);
  SysFreeString(kept);
}

}  // namespace
}  // namespace kit::win32
