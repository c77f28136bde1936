#pragma once
// Facts about the process this library runs in, from Windows.

#include "service_object/core/process_info.h"

namespace varnel {

class Win32ProcessInfo final : public ProcessInfo {
 public:
  Win32ProcessInfo() = default;

  // IsWow64Process on the current process: true only when the call succeeds and says TRUE.
  bool is_wow64() override;
};

}  // namespace varnel
