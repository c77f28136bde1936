#include "tester/win32/dispatch_control_object.h"

#include <oleauto.h>

#include <array>
#include <cstdio>
#include <vector>

#include "shared/win32/automation_arguments.h"
#include "tester/core/number_text.h"
#include "tester/win32/win32_owners.h"

namespace zorntest::win32 {
namespace {

using kit::win32::LongArgument;
using kit::win32::LongReferenceArgument;
using kit::win32::StringArgument;
using kit::win32::UniqueBstr;
using kit::win32::UniqueVariant;

UniqueBstr MakeBstr(std::u16string_view text) { return kit::win32::MakeBstr(kit::win32::to_wide(text)); }

// Frees what an automation error handed back.
void ClearException(EXCEPINFO& exception) {
  SysFreeString(exception.bstrSource);
  SysFreeString(exception.bstrDescription);
  SysFreeString(exception.bstrHelpFile);
  exception = EXCEPINFO{};
}

}  // namespace

CreatedControl CreateControlObject(const std::wstring& progId) {
  CreatedControl created;
  CLSID clsid{};
  created.result = CLSIDFromProgID(progId.c_str(), &clsid);
  if (FAILED(created.result)) return created;
  created.result = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IDispatch,
                                    created.control.put_void());
  return created;
}

std::wstring ControlObjectMissingMessage(const std::wstring& progId, HRESULT result,
                                         const std::wstring& programName) {
  std::array<wchar_t, 16> code{};
  std::swprintf(code.data(), code.size(), L"0x%08lX", static_cast<unsigned long>(result));
  const bool unregistered = result == CO_E_CLASSSTRING || result == REGDB_E_CLASSNOTREG;
  return L"The OPOS LineDisplay Control Object \"" + progId + L"\" " +
         (unregistered ? L"is not registered on this computer" : L"could not be started") + L" (" +
         code.data() + L").\r\nInstall the Control Object and start " + programName +
         L" again: until then no device can be opened.";
}

std::optional<DISPID> DispatchControlObject::MemberId(const wchar_t* name) {
  if (!control_) return std::nullopt;
  const auto known = ids_.find(name);
  if (known != ids_.end()) return known->second;
  DISPID id = DISPID_UNKNOWN;
  auto* names = const_cast<LPOLESTR>(name);  // GetIDsOfNames does not write to the names
  if (FAILED(control_->GetIDsOfNames(IID_NULL, &names, 1, LOCALE_USER_DEFAULT, &id))) return std::nullopt;
  ids_.emplace(name, id);
  return id;
}

bool DispatchControlObject::Invoke(const wchar_t* name, WORD flags, std::span<VARIANT> arguments,
                                   VARIANT* result) {
  const std::optional<DISPID> id = MemberId(name);
  if (!id) return false;
  // DISPPARAMS takes the arguments last first.
  std::vector<VARIANT> reversed(arguments.rbegin(), arguments.rend());
  DISPID put_id = DISPID_PROPERTYPUT;
  DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
  if (flags == DISPATCH_PROPERTYPUT) {
    params.rgdispidNamedArgs = &put_id;
    params.cNamedArgs = 1;
  }
  EXCEPINFO exception{};
  UINT argument_error = 0;
  const HRESULT hr = control_->Invoke(*id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, &exception,
                                      &argument_error);
  ClearException(exception);
  return SUCCEEDED(hr);
}

bool DispatchControlObject::CallMethod(const wchar_t* name, std::span<VARIANT> arguments) {
  UniqueVariant ignored;  // the return value is not used
  return Invoke(name, DISPATCH_METHOD, arguments, ignored.get());
}

bool DispatchControlObject::PutProperty(const wchar_t* name, VARIANT value) {
  return Invoke(name, DISPATCH_PROPERTYPUT, std::span<VARIANT>(&value, 1), nullptr);
}

std::optional<std::int32_t> DispatchControlObject::GetNumberProperty(const wchar_t* name) {
  UniqueVariant value;
  if (!Invoke(name, DISPATCH_PROPERTYGET, {}, value.put())) return std::nullopt;
  if (value->vt == VT_I4) return value->lVal;
  // Any other numeric answer is brought to the nearest 32-bit integer, as the form's own
  // numbers are.
  UniqueVariant number;
  if (FAILED(VariantChangeType(number.get(), value.get(), 0, VT_R8))) return std::nullopt;
  return NearestInt32(number->dblVal);
}

bool DispatchControlObject::Open(std::u16string_view deviceName) {
  const UniqueBstr name = MakeBstr(deviceName);
  std::array arguments{StringArgument(name)};
  return CallMethod(L"Open", arguments);
}

bool DispatchControlObject::ClaimDevice(std::int32_t timeoutMs) {
  std::array arguments{LongArgument(timeoutMs)};
  return CallMethod(L"ClaimDevice", arguments);
}

bool DispatchControlObject::SetDeviceEnabled(bool enabled) {
  return PutProperty(L"DeviceEnabled", kit::win32::BoolArgument(enabled));
}

bool DispatchControlObject::DisplayText(std::u16string_view data, std::int32_t& attribute) {
  const UniqueBstr text = MakeBstr(data);
  LONG value = attribute;
  std::array arguments{StringArgument(text), LongReferenceArgument(value)};
  const bool reached = CallMethod(L"DisplayText", arguments);
  attribute = value;
  return reached;
}

bool DispatchControlObject::DisplayTextAt(std::int32_t row, std::int32_t column, std::u16string_view data,
                                          std::int32_t& attribute) {
  const UniqueBstr text = MakeBstr(data);
  LONG value = attribute;
  std::array arguments{LongArgument(row), LongArgument(column), StringArgument(text),
                       LongReferenceArgument(value)};
  const bool reached = CallMethod(L"DisplayTextAt", arguments);
  attribute = value;
  return reached;
}

bool DispatchControlObject::SetBlinkRate(std::int32_t rate) {
  return PutProperty(L"BlinkRate", LongArgument(rate));
}

std::optional<std::int32_t> DispatchControlObject::BlinkRate() { return GetNumberProperty(L"BlinkRate"); }

bool DispatchControlObject::ScrollText(std::int32_t direction, std::int32_t units) {
  std::array arguments{LongArgument(direction), LongArgument(units)};
  return CallMethod(L"ScrollText", arguments);
}

bool DispatchControlObject::ClearText() { return CallMethod(L"ClearText", {}); }
bool DispatchControlObject::ReleaseDevice() { return CallMethod(L"ReleaseDevice", {}); }
bool DispatchControlObject::Close() { return CallMethod(L"Close", {}); }

std::optional<std::int32_t> DispatchControlObject::ResultCode() { return GetNumberProperty(L"ResultCode"); }

}  // namespace zorntest::win32
