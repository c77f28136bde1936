#pragma once
// Form1, the tester's form: what loading the form and each button do. A window forwards its
// events to the handlers on one thread; every Control Object call is synchronous.
//
// Every button but Exit runs the common sequence: hourglass, the call or calls, ResultCode,
// its OPOS name into the status box Text5, pointer back. What it decides where its design leaves
// it open (a call that never reaches the Control Object, numbers beyond 32 bits): docs/developer.md,
// "What ZornTest decides where its design leaves it open".

#include <cstdint>
#include <string>
#include <string_view>

#include "tester/core/chk_registry.h"
#include "tester/core/control_object.h"
#include "tester/core/form_view.h"

namespace zorntest {

inline constexpr std::u16string_view kRegistryProblemMessage =
    u"Problem with the Windows Registry\r\nUnable to open key";
inline constexpr std::u16string_view kRunningSuffix = u" is running.";
inline constexpr std::int32_t kClaimTimeoutMs = 3000;

class Form1 {
 public:
  Form1(FormView& view, ControlObject& control, AnsiRegistry& registry, ProgramInstance& instance);
  Form1(const Form1&) = delete;
  Form1& operator=(const Form1&) = delete;

  // The start-up steps: single-instance check, device list, default selections. False when
  // the program ends here (another instance runs): the form must not be shown.
  bool Form_Load();

  void Command1_Click();   // Open
  void Command2_Click();   // Claim
  void Command3_Click();   // Device Enable
  void Command4_Click();   // Display Text
  void Command5_Click();   // Display Text At
  void Command6_Click();   // Clear Text
  void Command7_Click();   // Scroll Text
  void Command8_Click();   // Device Disable
  void Command9_Click();   // Release
  void Command10_Click();  // Close
  void Command11_Click();  // Exit
  void Command12_Click();  // read the blink rate (started by Open)
  void Command13_Click();  // Set (blink rate)

  // The close box: ends the program like Exit.
  void Form_Unload();

  // A click on the control with this identifier, dispatched through the form's table of
  // handlers; false when no handler is bound to it.
  bool OnClick(int controlId);

 private:
  // Runs the common sequence around `calls` (which answers whether its calls reached the
  // control object) and answers the result code shown.
  template <typename Calls>
  std::int32_t RunCommon(Calls&& calls);
  void SetControlsEnabled(bool enabled);
  std::int32_t AttributeAfterFallback();
  std::int32_t DirectionAfterFallback();
  std::int32_t NumberIn(int textBoxId) const;
  void FillDeviceList();

  FormView& m_View;
  ControlObject& m_Control;
  AnsiRegistry& m_Registry;
  ProgramInstance& m_Instance;
};

}  // namespace zorntest
