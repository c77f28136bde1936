#pragma once
// Facts about the process the library is loaded into.

namespace varnel {

class ProcessInfo {
 public:
  virtual ~ProcessInfo() = default;

  // True only when the process is a 32-bit process running on 64-bit Windows (WOW64) and the
  // system said so; false when it is not, or when the question could not be answered.
  virtual bool is_wow64() = 0;
};

}  // namespace varnel
