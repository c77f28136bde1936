// Zorn_Utility.exe when the display drops its line mid-download: ctest runs this program inside
// scripts/with-simulator.sh with the simulator's hangup-after fault.

#include <windows.h>
#include <gtest/gtest.h>

#include <array>
#include <string>

#include "tests/utility/win32/utility_window_fixture.h"
#include "utility/core/dialog_view.h"

namespace utility {
namespace {

using zorn::test::window::kCommandButtons;
using zorn::test::window::kTitle;
using zorn::test::window::OpenCom7;
using UtilityWindowHangUp = zorn::test::window::UtilityWindow;
namespace id = control_id;

// Whether with-simulator.sh gave the simulators this fault mode.
bool FaultGiven(const std::wstring& mode) {
  std::array<wchar_t, 256> faults{};
  const DWORD length =
      GetEnvironmentVariableW(L"KIT_SIM_FAULTS", faults.data(), static_cast<DWORD>(faults.size()));
  return length > 0 && length < faults.size() && std::wstring(faults.data()).find(mode) != std::wstring::npos;
}

TEST_F(UtilityWindowHangUp, ALineDroppedMidDownloadIsReportedAndClosesThePort) {
  if (!FaultGiven(L"hangup-after"))
    GTEST_SKIP() << "needs the simulator's hangup-after fault (ctest gives it)";
  OpenCom7(program_);
  program_.Click(id::kFontSet);
  const auto lost = program_.AnswerBox(20000);
  ASSERT_TRUE(lost.has_value());
  EXPECT_EQ(lost->caption, kTitle);
  EXPECT_EQ(lost->text, L"Com port disconnected !");
  EXPECT_TRUE(program_.WaitUntilEnabled(id::kPortOpen, true));
  for (const int button : kCommandButtons) EXPECT_FALSE(program_.Enabled(button)) << button;
}

}  // namespace
}  // namespace utility
