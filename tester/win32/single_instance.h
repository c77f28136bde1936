#pragma once
// Whether another instance of this program runs: a named mutex per executable name in the
// user's session. Renaming the executable makes it another program, with its own name in the
// message (docs/developer.md: "One instance per executable name").

#include <string>

#include "tester/core/form_view.h"
#include "tester/win32/win32_owners.h"

namespace zorntest::win32 {

class SingleInstance final : public ProgramInstance {
 public:
  SingleInstance();
  // Takes this program's mutex, which stays held until the program ends; true when an earlier
  // instance already holds it.
  bool PreviousInstanceRunning() override;
  std::u16string ExecutableName() const override { return kit::win32::to_u16(name_); }

 private:
  std::wstring name_;
  UniqueKernelHandle mutex_;
};

// The file name of this program's executable without folder and extension.
std::wstring ExecutableBaseName();

}  // namespace zorntest::win32
