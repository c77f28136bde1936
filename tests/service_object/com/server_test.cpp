// VARNEL.dll as a COM in-process server: its exports, class factory, object identity, reference
// counts, the library lock, the embedded type library and the version resource.

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "kit_version.h"
#include "service_object/win32/com/guids.h"
#include "tests/support/loaded_server.h"

namespace varnel::test {
namespace {

using com::kClassId;
using com::kDispatchInterfaceId;
using com::kTypeLibraryId;

// The kit's one version number (the file VERSION), as the version resource takes it.
constexpr std::array<WORD, 4> kKitVersion = {KIT_VERSION_NUMBERS};
constexpr const wchar_t* kKitVersionText = L"" KIT_VERSION_TEXT;

// Some GUID nobody registers.
constexpr GUID kUnknownId = {0x12345678, 0x1234, 0x1234, {1, 2, 3, 4, 5, 6, 7, 8}};

class ServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.complete()) << "cannot load VARNEL.dll or an export is missing";
  }
  void TearDown() override { EXPECT_EQ(server_.can_unload_now(), S_OK) << "a test left the library locked"; }

  ComPtr<IClassFactory> factory() {
    ComPtr<IClassFactory> result;
    EXPECT_EQ(server_.get_class_object(kClassId, IID_IClassFactory, result.put_void()), S_OK);
    return result;
  }

  LoadedServer server_;
};

TEST_F(ServerTest, GetClassObjectAnswersOnlyItsClassAndFactoryInterfaces) {
  struct Case {
    const char* what;
    const GUID* clsid;
    const IID* iid;
    HRESULT expected;
  };
  const Case cases[] = {
      {"factory", &kClassId, &IID_IClassFactory, S_OK},
      {"factory as IUnknown", &kClassId, &IID_IUnknown, S_OK},
      {"unknown class", &kUnknownId, &IID_IClassFactory, CLASS_E_CLASSNOTAVAILABLE},
      {"interface id given as class", &kDispatchInterfaceId, &IID_IClassFactory, CLASS_E_CLASSNOTAVAILABLE},
      {"factory asked for IDispatch", &kClassId, &IID_IDispatch, E_NOINTERFACE},
  };
  for (const Case& c : cases) {
    void* answer = reinterpret_cast<void*>(1);
    EXPECT_EQ(server_.get_class_object(*c.clsid, *c.iid, &answer), c.expected) << c.what;
    if (c.expected == S_OK) {
      ASSERT_NE(answer, nullptr) << c.what;
      static_cast<IUnknown*>(answer)->Release();
    } else {
      EXPECT_EQ(answer, nullptr) << c.what << ": the out-pointer must be cleared";
    }
  }
  EXPECT_EQ(server_.get_class_object(kClassId, IID_IClassFactory, nullptr), E_POINTER);
}

TEST_F(ServerTest, CreateInstanceRefusesAggregationAndForeignInterfaces) {
  ComPtr<IClassFactory> classes = factory();
  ASSERT_TRUE(classes);
  ComPtr<IDispatch> outer = server_.create();
  ASSERT_TRUE(outer);

  void* answer = reinterpret_cast<void*>(1);
  EXPECT_EQ(classes->CreateInstance(outer.get(), IID_IUnknown, &answer), CLASS_E_NOAGGREGATION);
  EXPECT_EQ(answer, nullptr);
  answer = reinterpret_cast<void*>(1);
  EXPECT_EQ(classes->CreateInstance(nullptr, IID_IClassFactory, &answer), E_NOINTERFACE);
  EXPECT_EQ(answer, nullptr);
  EXPECT_EQ(classes->CreateInstance(nullptr, IID_IDispatch, nullptr), E_POINTER);

  outer.reset();
  // The object whose QueryInterface failed was freed again: nothing holds the library.
  EXPECT_EQ(server_.can_unload_now(), S_OK);
}

TEST_F(ServerTest, ObjectAnswersIUnknownIDispatchAndItsDispatchInterfaceAsOneObject) {
  ComPtr<IClassFactory> classes = factory();
  ASSERT_TRUE(classes);
  ComPtr<IUnknown> identity;
  ASSERT_EQ(classes->CreateInstance(nullptr, IID_IUnknown, identity.put_void()), S_OK);

  for (const IID* iid : {&IID_IUnknown, &IID_IDispatch, &kDispatchInterfaceId}) {
    ComPtr<IUnknown> answer;
    ASSERT_EQ(identity->QueryInterface(*iid, answer.put_void()), S_OK);
    EXPECT_EQ(answer.get(), identity.get()) << "one object, one vtable";
  }
  for (const IID* iid : {&IID_IClassFactory, &IID_IPersist, &kUnknownId}) {
    void* answer = reinterpret_cast<void*>(1);
    EXPECT_EQ(identity->QueryInterface(*iid, &answer), E_NOINTERFACE);
    EXPECT_EQ(answer, nullptr);
  }
  EXPECT_EQ(identity->QueryInterface(IID_IDispatch, nullptr), E_POINTER);
}

TEST_F(ServerTest, ReferenceCountsRiseAndFallAndTheLastReleaseFreesTheObject) {
  ComPtr<IDispatch> object = server_.create();
  ASSERT_TRUE(object);
  EXPECT_EQ(object->AddRef(), 2u);
  EXPECT_EQ(object->AddRef(), 3u);
  EXPECT_EQ(object->Release(), 2u);
  EXPECT_EQ(object->Release(), 1u);
  EXPECT_EQ(server_.can_unload_now(), S_FALSE);
  EXPECT_EQ(object.detach()->Release(), 0u);
  EXPECT_EQ(server_.can_unload_now(), S_OK);

  ComPtr<IClassFactory> classes = factory();
  ASSERT_TRUE(classes);
  EXPECT_EQ(classes->AddRef(), 2u);
  EXPECT_EQ(classes->Release(), 1u);
}

TEST_F(ServerTest, LibraryStaysLockedWhileAnObjectOrAServerLockLives) {
  EXPECT_EQ(server_.can_unload_now(), S_OK);
  ComPtr<IDispatch> first = server_.create();
  ComPtr<IDispatch> second = server_.create();
  ASSERT_TRUE(first && second);
  EXPECT_EQ(server_.can_unload_now(), S_FALSE);
  first.reset();
  EXPECT_EQ(server_.can_unload_now(), S_FALSE) << "the second object still lives";
  second.reset();
  EXPECT_EQ(server_.can_unload_now(), S_OK);

  ComPtr<IClassFactory> classes = factory();
  ASSERT_TRUE(classes);
  EXPECT_EQ(server_.can_unload_now(), S_OK) << "a factory alone does not lock the library";
  EXPECT_EQ(classes->LockServer(TRUE), S_OK);
  EXPECT_EQ(classes->LockServer(TRUE), S_OK);
  EXPECT_EQ(server_.can_unload_now(), S_FALSE);
  EXPECT_EQ(classes->LockServer(FALSE), S_OK);
  EXPECT_EQ(server_.can_unload_now(), S_FALSE);
  EXPECT_EQ(classes->LockServer(FALSE), S_OK);
  EXPECT_EQ(server_.can_unload_now(), S_OK);

  // An unlock without a lock must not eat into the lock a live object holds.
  EXPECT_EQ(classes->LockServer(FALSE), S_OK);
  ComPtr<IDispatch> object = server_.create();
  ASSERT_TRUE(object);
  EXPECT_EQ(server_.can_unload_now(), S_FALSE);
}

TEST_F(ServerTest, TypeInfoDescribesTheDispatchInterfaceWithItsFiveProperties) {
  ComPtr<IDispatch> object = server_.create();
  ASSERT_TRUE(object);
  UINT count = 0;
  ASSERT_EQ(object->GetTypeInfoCount(&count), S_OK);
  EXPECT_EQ(count, 1u);
  ITypeInfo* none = reinterpret_cast<ITypeInfo*>(1);
  EXPECT_EQ(object->GetTypeInfo(1, 0, &none), DISP_E_BADINDEX);
  EXPECT_EQ(none, nullptr);

  ComPtr<ITypeInfo> info;
  ASSERT_EQ(object->GetTypeInfo(0, 0, info.put()), S_OK);
  TYPEATTR* attributes = nullptr;
  ASSERT_EQ(info->GetTypeAttr(&attributes), S_OK);
  EXPECT_TRUE(attributes->guid == kDispatchInterfaceId);
  EXPECT_EQ(attributes->typekind, TKIND_DISPATCH);
  EXPECT_EQ(attributes->cVars, 5);
  const WORD variables = attributes->cVars;
  info->ReleaseTypeAttr(attributes);

  struct Property {
    MEMBERID id;
    const wchar_t* name;
    VARTYPE type;
  };
  const Property expected[] = {{1, L"ServiceObjectVersion", VT_I4},
                               {2, L"DeviceName", VT_BSTR},
                               {3, L"DeviceDescription", VT_BSTR},
                               {4, L"DeviceControlDescription", VT_BSTR},
                               {5, L"OnbDeviceEnable", VT_BOOL}};
  for (WORD i = 0; i < variables && i < 5; ++i) {
    VARDESC* variable = nullptr;
    ASSERT_EQ(info->GetVarDesc(i, &variable), S_OK);
    UniqueBstr name;
    UINT names = 0;
    info->GetNames(variable->memid, name.put(), 1, &names);
    EXPECT_EQ(variable->memid, expected[i].id);
    EXPECT_EQ(std::wstring(name.get() ? name.get() : L""), expected[i].name);
    EXPECT_EQ(variable->elemdescVar.tdesc.vt, expected[i].type) << expected[i].name;
    info->ReleaseVarDesc(variable);
  }

  ComPtr<ITypeLib> library;
  UINT index = 0;
  ASSERT_EQ(info->GetContainingTypeLib(library.put(), &index), S_OK);
  TLIBATTR* library_attributes = nullptr;
  ASSERT_EQ(library->GetLibAttr(&library_attributes), S_OK);
  EXPECT_TRUE(library_attributes->guid == kTypeLibraryId);
  EXPECT_EQ(library_attributes->wMajorVerNum, 1);
  EXPECT_EQ(library_attributes->wMinorVerNum, 0);
  EXPECT_EQ(library_attributes->lcid, 0x409u);
  library->ReleaseTLibAttr(library_attributes);

  // The class, with the dispatch interface as its default.
  ComPtr<ITypeInfo> coclass;
  ASSERT_EQ(library->GetTypeInfoOfGuid(kClassId, coclass.put()), S_OK);
  HREFTYPE reference = 0;
  ASSERT_EQ(coclass->GetRefTypeOfImplType(0, &reference), S_OK);
  INT flags = 0;
  EXPECT_EQ(coclass->GetImplTypeFlags(0, &flags), S_OK);
  EXPECT_NE(flags & IMPLTYPEFLAG_FDEFAULT, 0);
  ComPtr<ITypeInfo> default_interface;
  ASSERT_EQ(coclass->GetRefTypeInfo(reference, default_interface.put()), S_OK);
  ASSERT_EQ(default_interface->GetTypeAttr(&attributes), S_OK);
  EXPECT_TRUE(attributes->guid == kDispatchInterfaceId);
  default_interface->ReleaseTypeAttr(attributes);
  UniqueBstr class_name;
  ASSERT_EQ(coclass->GetDocumentation(MEMBERID_NIL, class_name.put(), nullptr, nullptr, nullptr), S_OK);
  EXPECT_EQ(std::wstring(class_name.get()), L"ID_TARVO_VARNEL");
}

TEST(VarnelVersionResource, FileAndProductVersionAreTheKitVersion) {
  const std::wstring path = varnel_library_path();
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
  ASSERT_GT(size, 0u);
  std::vector<BYTE> data(size);
  ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, data.data()));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  // Each DWORD holds two parts, the earlier one in the high word.
  const DWORD most_significant = MAKELONG(kKitVersion[1], kKitVersion[0]);
  const DWORD least_significant = MAKELONG(kKitVersion[3], kKitVersion[2]);
  EXPECT_EQ(fixed->dwFileVersionMS, most_significant);
  EXPECT_EQ(fixed->dwFileVersionLS, least_significant);
  EXPECT_EQ(fixed->dwProductVersionMS, most_significant);
  EXPECT_EQ(fixed->dwProductVersionLS, least_significant);

  for (const auto& [name, expected] :
       {std::pair{L"FileVersion", kKitVersionText}, std::pair{L"ProductVersion", kKitVersionText},
        std::pair{L"ProductName", L"VARNEL LineDisplay Service Object"}}) {
    const std::wstring query = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
    wchar_t* text = nullptr;
    ASSERT_TRUE(VerQueryValueW(data.data(), query.c_str(), reinterpret_cast<void**>(&text), &length)) << name;
    EXPECT_EQ(std::wstring(text), expected);
  }
}

}  // namespace
}  // namespace varnel::test
