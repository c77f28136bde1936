#include "service_object/win32/com/registration.h"

#include <oleauto.h>
#include <olectl.h>

#include <array>
#include <new>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "service_object/win32/com/com_resources.h"
#include "service_object/win32/com/guids.h"
#include "service_object/win32/com/registry_script.h"
#include "service_object/win32/com/registry_snapshot.h"
#include "service_object/win32/com/server_module.h"
#include "shared/win32/unique_handle.h"

namespace varnel::com {

namespace {

std::wstring guid_text(const GUID& guid) {
  // StringFromGUID2: the characters written with the NUL, 0 when the buffer is too small.
  std::array<wchar_t, 40> text{};
  const int written = StringFromGUID2(guid, text.data(), static_cast<int>(text.size()));
  return written > 0 ? std::wstring(text.data(), static_cast<std::size_t>(written - 1)) : std::wstring();
}

// The AppID script as stored in the library: 8-bit text of the resource's size.
std::string_view appid_script() {
  HMODULE module = module_handle();
  // FindResourceW / LoadResource / LockResource: null on failure. The data stays mapped as long
  // as the library is loaded; nothing is freed.
  HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(kAppIdScriptResource), L"REGISTRY");
  if (found == nullptr) return {};
  HGLOBAL loaded = LoadResource(module, found);
  const void* data = loaded == nullptr ? nullptr : LockResource(loaded);
  if (data == nullptr) return {};
  return std::string_view(static_cast<const char*>(data), SizeofResource(module, found));
}

HRESULT run_appid_script(bool install) {
  const std::string_view script = appid_script();
  if (script.empty()) return E_FAIL;
  const ParsedRegistryScript parsed = parse_registry_script(script, guid_text(kAppId));
  if (parsed.error) return E_FAIL;
  return apply_registry_script(HKEY_CLASSES_ROOT, parsed.lines, install);
}

// A string value of a class key, as a line of the registry script would name it (an empty
// name: the key's default value).
RegistryScriptLine class_value(std::wstring key, std::wstring name, std::wstring text) {
  RegistryScriptLine line;
  line.key = std::move(key);
  line.has_value = true;
  line.value_name = std::move(name);
  line.text = std::move(text);
  return line;
}

HRESULT register_class(const std::wstring& path) {
  const std::wstring clsid = guid_text(kClassId);
  const std::wstring class_key = L"CLSID\\" + clsid;
  const std::array<RegistryScriptLine, 6> values = {
      class_value(class_key, L"", kClassName),
      class_value(class_key + L"\\InprocServer32", L"", path),
      class_value(class_key + L"\\InprocServer32", L"ThreadingModel", L"Apartment"),
      class_value(class_key + L"\\ProgID", L"", kProgId),
      class_value(kProgId, L"", kClassName),
      class_value(std::wstring(kProgId) + L"\\CLSID", L"", clsid),
  };
  // In order; the first value that cannot be written ends the registration.
  for (const RegistryScriptLine& value : values) {
    if (const HRESULT written = write_registry_line(HKEY_CLASSES_ROOT, value); FAILED(written))
      return written;
  }
  return S_OK;
}

HRESULT unregister_class() {
  const std::wstring class_key = L"CLSID\\" + guid_text(kClassId);
  for (const wchar_t* key : {class_key.c_str(), kProgId}) {
    // RegDeleteTreeW: the key and everything below it; ERROR_FILE_NOT_FOUND when it is not there.
    const LSTATUS status = RegDeleteTreeW(HKEY_CLASSES_ROOT, key);
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) return HRESULT_FROM_WIN32(status);
  }
  return S_OK;
}

bool type_library_registered() {
  const std::wstring key = L"TypeLib\\" + guid_text(kTypeLibraryId);
  kit::win32::UniqueRegistryKey opened;
  return RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, opened.put()) == ERROR_SUCCESS;
}

// The locale the embedded type library declares (0x409), under which registration stored it.
LCID embedded_library_locale() {
  const std::wstring path = module_path();
  ComPtr<ITypeLib> library;
  if (path.empty() || FAILED(LoadTypeLibEx(path.c_str(), REGKIND_NONE, library.put()))) return 0;
  TLIBATTR* attributes = nullptr;
  if (FAILED(library->GetLibAttr(&attributes)) || attributes == nullptr) return 0;
  const LCID locale = attributes->lcid;
  library->ReleaseTLibAttr(attributes);
  return locale;
}

// The platform the library was registered for: the one this module is built for (win32 for the
// 32-bit library, win64 for a 64-bit build).
constexpr SYSKIND kOwnPlatform = sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32;

// UnRegisterTypeLib for locale 0, the neutral entry; registration stored the library under its
// own locale (TypeLib\{libid}\1.0\409\win32, or ...\win64 for a 64-bit build), which a neutral
// request does not reach, so the library's own locale is asked for next.
HRESULT unregister_type_library() {
  if (!type_library_registered()) return S_OK;
  if (SUCCEEDED(UnRegisterTypeLib(kTypeLibraryId, kTypeLibraryMajor, kTypeLibraryMinor, 0, kOwnPlatform))) {
    return S_OK;
  }
  const LCID own = embedded_library_locale();
  if (own == 0) return TYPE_E_REGISTRYACCESS;
  return UnRegisterTypeLib(kTypeLibraryId, kTypeLibraryMajor, kTypeLibraryMinor, own, kOwnPlatform);
}

// Every key registration may add or change, in both registry views (on 32-bit Windows the two
// are one), as they stand before it starts.
std::vector<RegistrySnapshot> snapshot_of_registration_keys() {
  const std::wstring appid = guid_text(kAppId);
  std::vector<RegistrySnapshot> keys;
  for (const REGSAM view : {REGSAM{KEY_WOW64_32KEY}, REGSAM{KEY_WOW64_64KEY}}) {
    keys.push_back(
        RegistrySnapshot::take(HKEY_CLASSES_ROOT, L"AppID", view, RegistrySnapshot::Depth::existence));
    for (const std::wstring& path :
         {L"AppID\\" + appid, std::wstring(L"AppID\\VARNEL.DLL"), L"TypeLib\\" + guid_text(kTypeLibraryId),
          L"Interface\\" + guid_text(kDispatchInterfaceId), L"CLSID\\" + guid_text(kClassId),
          std::wstring(kProgId)}) {
      keys.push_back(RegistrySnapshot::take(HKEY_CLASSES_ROOT, path, view));
    }
  }
  return keys;
}

HRESULT register_steps(const std::wstring& path) {
  // The AppID script's result does not decide the outcome.
  static_cast<void>(run_appid_script(true));

  // LoadTypeLibEx with REGKIND_REGISTER: reads TYPELIB 1 of the file and registers the library
  // (and its dispatch interface) under that path.
  ComPtr<ITypeLib> library;
  if (FAILED(LoadTypeLibEx(path.c_str(), REGKIND_REGISTER, library.put()))) return SELFREG_E_TYPELIB;

  if (FAILED(register_class(path))) return SELFREG_E_CLASS;
  return S_OK;
}

}  // namespace

HRESULT register_server() {
  try {
    const std::wstring path = module_path();
    // Registration writes nothing it cannot finish: without its own path it stops here.
    if (path.empty()) return SELFREG_E_CLASS;
    // A registration that fails half way (a class without its threading model, say) would
    // leave the class pointing at a library that cannot be used as registered: what it wrote
    // is taken back, and the keys are as they were before.
    const std::vector<RegistrySnapshot> before = snapshot_of_registration_keys();
    const HRESULT result = register_steps(path);
    if (FAILED(result)) {
      for (const RegistrySnapshot& key : before) static_cast<void>(key.restore());
    }
    return result;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

HRESULT unregister_server() {
  try {
    static_cast<void>(run_appid_script(false));

    // Every step runs, whichever failed before it: a type library that cannot be removed must
    // not leave the class pointing at the library. The first failure is the answer.
    const bool type_library_removed = SUCCEEDED(unregister_type_library());
    const bool class_removed = SUCCEEDED(unregister_class());
    if (!type_library_removed) return SELFREG_E_TYPELIB;
    if (!class_removed) return SELFREG_E_CLASS;
    return S_OK;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

}  // namespace varnel::com
