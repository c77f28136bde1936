#include "service_object/win32/com/control_object_events.h"

#include "shared/win32/automation_arguments.h"

namespace varnel::com {

ControlObjectEvents::ControlObjectEvents(IDispatch* control) {
  control->AddRef();
  control_ = ComPtr<IDispatch>::attach(control);
}

void ControlObjectEvents::status_update(std::int32_t status) {
  if (!looked_up_) {
    looked_up_ = true;
    auto* name = const_cast<LPOLESTR>(L"SOStatusUpdate");  // GetIDsOfNames does not write to it
    if (FAILED(control_->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &status_update_))) {
      status_update_ = DISPID_UNKNOWN;
    }
  }
  if (status_update_ == DISPID_UNKNOWN) return;
  VARIANT argument = kit::win32::LongArgument(status);
  DISPPARAMS params{&argument, nullptr, 1, 0};
  UniqueVariant result;
  control_->Invoke(status_update_, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, result.put(),
                   nullptr, nullptr);
}

}  // namespace varnel::com
