// Self-registration of VARNEL.dll in the test prefix: in-process through the exports and by
// Wine's regsvr32, checked key by key in the registry view of the library's word size (the
// 32-bit view for the 32-bit library), by CLSIDFromProgID and by
// creating the class by its ProgID. Removal must leave the registry as it was found.
//
// These tests change the prefix's registry: ctest runs them alone (RESOURCE_LOCK).

#include <windows.h>
#include <gtest/gtest.h>
#include <olectl.h>

#include <array>
#include <map>
#include <string>
#include <vector>

#include "service_object/win32/com/guids.h"
#include "shared/win32/unique_handle.h"
#include "tests/support/loaded_server.h"
#include "tests/support/word_size.h"

namespace varnel::test {
namespace {

using kit::win32::UniqueRegistryKey;
using test_support::kIs32Bit;
using test_support::kOtherView;
using test_support::kOwnView;

std::wstring text_of(const GUID& guid) {
  std::array<wchar_t, 40> text{};
  StringFromGUID2(guid, text.data(), static_cast<int>(text.size()));
  return text.data();
}

std::wstring clsid_key() { return L"CLSID\\" + text_of(com::kClassId); }
std::wstring type_library_key() { return L"TypeLib\\" + text_of(com::kTypeLibraryId); }
std::wstring interface_key() { return L"Interface\\" + text_of(com::kDispatchInterfaceId); }
std::wstring appid_key() { return L"AppID\\" + text_of(com::kAppId); }

// Everything below a key, as "path|value name" -> "type:data", in one registry view.
using KeyDump = std::map<std::wstring, std::wstring>;

void dump_into(HKEY key, const std::wstring& path, KeyDump& dump, int depth = 0) {
  dump[path] = L"<key>";
  for (DWORD index = 0;; ++index) {
    std::array<wchar_t, 256> name{};
    std::array<BYTE, 2048> data{};
    DWORD name_length = name.size();
    DWORD data_size = data.size();
    DWORD type = 0;
    if (RegEnumValueW(key, index, name.data(), &name_length, nullptr, &type, data.data(), &data_size) !=
        ERROR_SUCCESS) {
      break;
    }
    std::wstring shown = std::to_wstring(type) + L":";
    if (type == REG_SZ) shown += reinterpret_cast<const wchar_t*>(data.data());
    dump[path + L"|" + name.data()] = shown;
  }
  if (depth > 8) return;
  for (DWORD index = 0;; ++index) {
    std::array<wchar_t, 256> name{};
    DWORD name_length = static_cast<DWORD>(name.size());
    if (RegEnumKeyExW(key, index, name.data(), &name_length, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS)
      break;
    UniqueRegistryKey child;
    if (RegOpenKeyExW(key, name.data(), 0, KEY_READ, child.put()) == ERROR_SUCCESS) {
      dump_into(child.get(), path + L"\\" + name.data(), dump, depth + 1);
    }
  }
}

// The keys registration may touch, in both views.
KeyDump snapshot() {
  KeyDump dump;
  for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
    const std::wstring prefix = view == KEY_WOW64_32KEY ? L"32:" : L"64:";
    for (const std::wstring& path : {clsid_key(), std::wstring(com::kProgId), type_library_key(),
                                     interface_key(), appid_key(), std::wstring(L"AppID\\VARNEL.DLL")}) {
      UniqueRegistryKey key;
      if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ | view, key.put()) == ERROR_SUCCESS) {
        dump_into(key.get(), prefix + path, dump);
      }
    }
  }
  return dump;
}

bool key_exists(const std::wstring& path, REGSAM view = kOwnView) {
  UniqueRegistryKey key;
  return RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ | view, key.put()) == ERROR_SUCCESS;
}

std::wstring string_value(const std::wstring& path, const wchar_t* name, REGSAM view = kOwnView) {
  UniqueRegistryKey key;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ | view, key.put()) != ERROR_SUCCESS)
    return L"<no key>";
  std::array<wchar_t, 1024> text{};
  DWORD bytes = sizeof text;
  if (RegGetValueW(key.get(), nullptr, name, RRF_RT_REG_SZ, nullptr, text.data(), &bytes) != ERROR_SUCCESS) {
    return L"<no value>";
  }
  return text.data();
}

// Deletes a key below HKEY_CLASSES_ROOT with everything below it, in one view.
void delete_tree(const std::wstring& path, REGSAM view) {
  {
    UniqueRegistryKey key;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_ALL_ACCESS | view, key.put()) != ERROR_SUCCESS)
      return;
    RegDeleteTreeW(key.get(), nullptr);
  }
  RegDeleteKeyExW(HKEY_CLASSES_ROOT, path.c_str(), view, 0);
}

bool ends_with_insensitive(const std::wstring& text, const std::wstring& tail) {
  return text.size() >= tail.size() && CompareStringOrdinal(text.c_str() + text.size() - tail.size(), -1,
                                                            tail.c_str(), -1, TRUE) == CSTR_EQUAL;
}

// Runs a program of the prefix and answers its exit code (or -1 when it could not run or did
// not end within a minute).
long run(std::wstring command_line) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, command_line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process)) {
    return -1;
  }
  const kit::win32::UniqueKernelHandle process_handle(process.hProcess);
  const kit::win32::UniqueKernelHandle thread_handle(process.hThread);
  if (WaitForSingleObject(process.hProcess, 60000) != WAIT_OBJECT_0) {
    TerminateProcess(process.hProcess, 1);
    return -1;
  }
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  return static_cast<long>(code);
}

class RegistrationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.complete());
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    before_ = snapshot();
    ASSERT_FALSE(key_exists(clsid_key()))
        << "VARNEL.dll is registered in the prefix already; these tests need it "
           "unregistered (wine regsvr32 /u) to compare the registry";
  }
  void TearDown() override {
    CoUninitialize();
    // Whatever happened, leave the prefix as found.
    if (snapshot() != before_) server_.unregister_server();
  }

  void expect_registered() {
    const std::wstring dll = varnel_library_path();
    EXPECT_EQ(string_value(clsid_key(), nullptr), L"ID_TARVO_VARNEL");
    EXPECT_EQ(CompareStringOrdinal(string_value(clsid_key() + L"\\InprocServer32", nullptr).c_str(), -1,
                                   dll.c_str(), -1, TRUE),
              CSTR_EQUAL)
        << "InprocServer32 is the full path of the library";
    EXPECT_EQ(string_value(clsid_key() + L"\\InprocServer32", L"ThreadingModel"), L"Apartment");
    EXPECT_EQ(string_value(clsid_key() + L"\\ProgID", nullptr), L"VARNEL.ID_TARVO_VARNEL");
    EXPECT_FALSE(key_exists(clsid_key(), kOtherView))
        << "a server registers its class in the view of its own word size only";
    EXPECT_EQ(string_value(com::kProgId, nullptr), L"ID_TARVO_VARNEL");
    EXPECT_EQ(string_value(std::wstring(com::kProgId) + L"\\CLSID", nullptr), text_of(com::kClassId));
    // The type library is registered for the platform it describes: win32 or win64.
    const std::wstring platform = kIs32Bit ? L"win32" : L"win64";
    EXPECT_TRUE(ends_with_insensitive(string_value(type_library_key() + L"\\1.0\\409\\" + platform, nullptr),
                                      L"\\VARNEL.dll"));
    EXPECT_EQ(string_value(appid_key(), nullptr), L"VARNEL");
    EXPECT_EQ(string_value(L"AppID\\VARNEL.DLL", L"AppID"), text_of(com::kAppId));

    CLSID found{};
    EXPECT_EQ(CLSIDFromProgID(com::kProgId, &found), S_OK);
    EXPECT_TRUE(found == com::kClassId);
    // A client's way in: the ProgID, COM's class lookup, the registered path.
    ComPtr<IDispatch> object;
    ASSERT_EQ(CoCreateInstance(found, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, object.put_void()), S_OK);
    const DISPID get_property_number = id_of(object.get(), L"GetPropertyNumber");
    ASSERT_EQ(get_property_number, 2);
    Call version(object.get(), get_property_number, Arguments().add_long(8));
    EXPECT_EQ(version.hr, S_OK);
    EXPECT_EQ(version.result->lVal, 1013001);
  }

  void expect_unregistered() {
    EXPECT_EQ(snapshot(), before_) << "removal must leave the registry as it was found";
    EXPECT_TRUE(key_exists(L"AppID")) << "the AppID parent key is never removed";
    CLSID found{};
    EXPECT_NE(CLSIDFromProgID(com::kProgId, &found), S_OK);
  }

  LoadedServer server_;
  KeyDump before_;
};

TEST_F(RegistrationTest, ExportsRegisterAndUnregisterEverythingTheyAdd) {
  ASSERT_EQ(server_.register_server(), S_OK);
  expect_registered();
  // Registering again over an existing registration is fine.
  EXPECT_EQ(server_.register_server(), S_OK);
  EXPECT_EQ(server_.unregister_server(), S_OK);
  expect_unregistered();
  // Nothing left to remove is not a failure.
  EXPECT_EQ(server_.unregister_server(), S_OK);
  expect_unregistered();
}

// A registration that fails half way takes back what it wrote. The ProgID key is made volatile
// beforehand: the class keys are written, then the ProgID's CLSID subkey cannot be (a volatile
// key takes no lasting subkey), and the registry must end exactly as it was.
TEST_F(RegistrationTest, RegistrationThatFailsHalfWayLeavesTheRegistryAsItWas) {
  UniqueRegistryKey volatile_progid;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, com::kProgId, 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS,
                            nullptr, volatile_progid.put(), nullptr),
            ERROR_SUCCESS);
  volatile_progid.reset();
  const KeyDump with_volatile_key = snapshot();

  EXPECT_EQ(server_.register_server(), SELFREG_E_CLASS);
  EXPECT_EQ(snapshot(), with_volatile_key) << "the failed registration left keys behind";
  EXPECT_FALSE(key_exists(clsid_key())) << "the class still points at the library";

  delete_tree(com::kProgId, kOwnView);
  EXPECT_EQ(snapshot(), before_);
}

// Unregistration goes on after a step fails and answers the first failure: a type library
// whose registration is broken (its version key gone) cannot be removed, but the class and
// ProgID keys go all the same.
TEST_F(RegistrationTest, UnregistrationFinishesTheOtherStepsAndReportsTheFirstFailure) {
  ASSERT_EQ(server_.register_server(), S_OK);
  ASSERT_EQ(RegDeleteTreeW(HKEY_CLASSES_ROOT, (type_library_key() + L"\\1.0").c_str()), ERROR_SUCCESS);
  RegDeleteKeyW(HKEY_CLASSES_ROOT, (type_library_key() + L"\\1.0").c_str());

  EXPECT_EQ(server_.unregister_server(), SELFREG_E_TYPELIB);
  EXPECT_FALSE(key_exists(clsid_key())) << "the class was left pointing at the library";
  EXPECT_FALSE(key_exists(com::kProgId));
  EXPECT_FALSE(key_exists(appid_key()));

  // What the broken type library left, in both views (registration writes the interface to
  // both under WOW64).
  for (const std::wstring& left : {type_library_key(), interface_key()}) {
    for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) delete_tree(left, view);
  }
  EXPECT_EQ(snapshot(), before_);
}

TEST_F(RegistrationTest, Regsvr32RegistersAndUnregisters) {
  const std::wstring dll = L"\"" + varnel_library_path() + L"\"";
  ASSERT_EQ(run(L"regsvr32.exe /s " + dll), 0);
  expect_registered();
  ASSERT_EQ(run(L"regsvr32.exe /u /s " + dll), 0);
  expect_unregistered();
}

}  // namespace
}  // namespace varnel::test
