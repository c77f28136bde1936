#pragma once
// The OPOS LineDisplay Control Object reached by late-bound automation: every member is looked
// up by name with GetIDsOfNames and called through IDispatch::Invoke, so any control that
// answers to the published member names serves, whatever its dispatch identifiers.

#include <windows.h>
#include <oaidl.h>

#include <map>
#include <optional>
#include <span>
#include <string>

#include "shared/win32/com_resources.h"
#include "tester/core/control_object.h"

namespace zorntest::win32 {

// The control created by its ProgID, or why it could not be.
struct CreatedControl {
  kit::win32::ComPtr<IDispatch> control;
  HRESULT result = E_FAIL;
};
CreatedControl CreateControlObject(const std::wstring& progId);

// The text of the start-up message for a control that could not be created.
std::wstring ControlObjectMissingMessage(const std::wstring& progId, HRESULT result,
                                         const std::wstring& programName);

class DispatchControlObject final : public ControlObject {
 public:
  // `control` may be empty (the control could not be created): every call then fails.
  explicit DispatchControlObject(kit::win32::ComPtr<IDispatch> control) : control_(std::move(control)) {}

  bool Open(std::u16string_view deviceName) override;
  bool ClaimDevice(std::int32_t timeoutMs) override;
  bool SetDeviceEnabled(bool enabled) override;
  bool DisplayText(std::u16string_view data, std::int32_t& attribute) override;
  bool DisplayTextAt(std::int32_t row, std::int32_t column, std::u16string_view data,
                     std::int32_t& attribute) override;
  bool SetBlinkRate(std::int32_t rate) override;
  std::optional<std::int32_t> BlinkRate() override;
  bool ScrollText(std::int32_t direction, std::int32_t units) override;
  bool ClearText() override;
  bool ReleaseDevice() override;
  bool Close() override;
  std::optional<std::int32_t> ResultCode() override;

 private:
  std::optional<DISPID> MemberId(const wchar_t* name);
  // Invokes `name` with `arguments` in their declared order; the result, when wanted, goes to
  // `result` (cleared first).
  bool Invoke(const wchar_t* name, WORD flags, std::span<VARIANT> arguments, VARIANT* result);
  bool CallMethod(const wchar_t* name, std::span<VARIANT> arguments);
  bool PutProperty(const wchar_t* name, VARIANT value);
  std::optional<std::int32_t> GetNumberProperty(const wchar_t* name);

  kit::win32::ComPtr<IDispatch> control_;
  std::map<std::wstring, DISPID> ids_;
};

}  // namespace zorntest::win32
