#pragma once
// What the programs that drive Zorn_Utility.exe against the display simulator on COM7 share: the
// fixture that starts the program, the simulator's link, and the opening of COM7 as a user does.

#include <gtest/gtest.h>

#include <array>
#include <optional>

#include "tests/support/simulator_link.h"
#include "tests/support/utility_program.h"
#include "utility/core/dialog_view.h"

namespace zorn::test::window {

namespace control_id = utility::control_id;

inline constexpr int kCom7 = 6;  // its index in the port list
inline constexpr const wchar_t* kTitle = L" Zorn Utility Ver 2.03  ";
inline constexpr std::array<int, 7> kCommandButtons = {
    control_id::kChange,         control_id::kInputString,     control_id::kSetCommandSet,
    control_id::kSetDefaultFont, control_id::kProgramDownLoad, control_id::kInformation,
    control_id::kFontSet};

inline test_support::SimulatorLink Simulator() {
  const std::optional<test_support::SimulatorLink> simulator = test_support::SimulatorLink::for_port(7);
  if (!simulator)
    ADD_FAILURE() << "needs the simulator on COM7: run through scripts/with-simulator.sh (ctest does)";
  return *simulator;
}

// Opens COM7 at the speed selected, as the user does, and waits for the buttons to follow: the
// program enables them one after another, so each one is waited for.
inline void OpenCom7(const UtilityProgram& program) {
  program.Select(control_id::kPortList, kCom7);
  program.Click(control_id::kPortOpen);
  for (const int button : kCommandButtons) {
    ASSERT_TRUE(program.WaitUntilEnabled(button, true))
        << "COM7 did not open: " << button << " stays disabled";
  }
  EXPECT_TRUE(program.WaitUntilEnabled(control_id::kPortOpen, false));
}

class UtilityWindow : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_NE(program_.Dialog(), nullptr) << "no dialog from Zorn_Utility.exe"; }
  UtilityProgram program_;
};

}  // namespace zorn::test::window
