#include "tester/core/form1.h"

#include <array>
#include <string>

#include "tester/core/form_controls.h"
#include "tester/core/number_text.h"
#include "tester/core/opos_sub.h"

namespace zorntest {
namespace {

using namespace control_id;

// The form's message map: which handler a click on each button runs.
struct ClickHandler {
  int id;
  void (Form1::*handler)();
};
constexpr std::array<ClickHandler, 13> kClickHandlers{{
    {kCommand1, &Form1::Command1_Click},
    {kCommand2, &Form1::Command2_Click},
    {kCommand3, &Form1::Command3_Click},
    {kCommand4, &Form1::Command4_Click},
    {kCommand5, &Form1::Command5_Click},
    {kCommand6, &Form1::Command6_Click},
    {kCommand7, &Form1::Command7_Click},
    {kCommand8, &Form1::Command8_Click},
    {kCommand9, &Form1::Command9_Click},
    {kCommand10, &Form1::Command10_Click},
    {kCommand11, &Form1::Command11_Click},
    {kCommand12, &Form1::Command12_Click},
    {kCommand13, &Form1::Command13_Click},
}};

std::u16string Decimal(std::int32_t value) {
  const std::string digits = std::to_string(value);
  return {digits.begin(), digits.end()};
}

}  // namespace

Form1::Form1(FormView& view, ControlObject& control, AnsiRegistry& registry, ProgramInstance& instance)
    : m_View(view), m_Control(control), m_Registry(registry), m_Instance(instance) {}

bool Form1::Form_Load() {
  if (m_Instance.PreviousInstanceRunning()) {
    m_View.ShowMessage(m_Instance.ExecutableName() + std::u16string(kRunningSuffix),
                       MessageIcon::Exclamation);
    m_View.EndProgram();
    return false;
  }
  FillDeviceList();
  return true;
}

void Form1::FillDeviceList() {
  const auto devices = ReadLineDisplayDevices(m_Registry);
  if (!devices) {
    // The device list stays empty and the option lists keep no selection: the fallbacks of
    // the buttons stand in for it.
    m_View.ShowMessage(kRegistryProblemMessage, MessageIcon::None);
    return;
  }
  int index = 0;
  for (const std::u16string& name : *devices) {
    m_View.AddItem(kCombo1, name);
    if (m_View.Text(kCombo1).empty()) m_View.SetListIndex(kCombo1, index);
    ++index;
  }
  m_View.SetListIndex(kCombo3, 0);
  m_View.SetListIndex(kCombo2, 0);
}

bool Form1::OnClick(int controlId) {
  for (const ClickHandler& entry : kClickHandlers) {
    if (entry.id == controlId) {
      (this->*entry.handler)();
      return true;
    }
  }
  return false;
}

template <typename Calls>
std::int32_t Form1::RunCommon(Calls&& calls) {
  m_View.SetMousePointer(MousePointer::Hourglass);
  const bool reached = calls();
  const std::int32_t code = reached ? m_Control.ResultCode().value_or(OPOS_E_FAILURE) : OPOS_E_FAILURE;
  m_View.SetText(kText5, GetResultCodeName(code));
  m_View.SetMousePointer(MousePointer::Default);
  return code;
}

void Form1::Command1_Click() {
  const std::u16string device = m_View.Text(kCombo1);
  const std::int32_t code = RunCommon([&] { return m_Control.Open(device); });
  if (code != OPOS_SUCCESS) return;
  SetControlsEnabled(true);
  Command12_Click();
}

void Form1::Command2_Click() {
  RunCommon([&] { return m_Control.ClaimDevice(kClaimTimeoutMs); });
}

void Form1::Command3_Click() {
  RunCommon([&] { return m_Control.SetDeviceEnabled(true); });
}

void Form1::Command4_Click() {
  RunCommon([&] {
    std::int32_t attribute = AttributeAfterFallback();
    return m_Control.DisplayText(m_View.Text(kText3), attribute);
  });
}

void Form1::Command5_Click() {
  RunCommon([&] {
    std::int32_t attribute = AttributeAfterFallback();
    return m_Control.DisplayTextAt(NumberIn(kText1), NumberIn(kText2), m_View.Text(kText3), attribute);
  });
}

void Form1::Command6_Click() {
  RunCommon([&] { return m_Control.ClearText(); });
}

void Form1::Command7_Click() {
  RunCommon([&] { return m_Control.ScrollText(DirectionAfterFallback(), NumberIn(kText4)); });
}

void Form1::Command8_Click() {
  RunCommon([&] { return m_Control.SetDeviceEnabled(false); });
}

void Form1::Command9_Click() {
  RunCommon([&] { return m_Control.ReleaseDevice(); });
}

void Form1::Command10_Click() {
  RunCommon([&] { return m_Control.Close(); });
  SetControlsEnabled(false);
}

void Form1::Command11_Click() { m_View.EndProgram(); }

void Form1::Command12_Click() {
  RunCommon([&] {
    const std::optional<std::int32_t> rate = m_Control.BlinkRate();
    if (!rate) return false;
    m_View.SetText(kText6, Decimal(*rate));
    return true;
  });
}

void Form1::Command13_Click() {
  RunCommon([&] { return m_Control.SetBlinkRate(NumberIn(kText6)); });
}

void Form1::Form_Unload() { m_View.EndProgram(); }

void Form1::SetControlsEnabled(bool enabled) {
  for (const FormControl& control : FormControls()) {
    if (control.tagX) continue;
    // A control without a settable Enabled property is skipped silently.
    (void)m_View.SetEnabled(control.id, enabled);
  }
}

std::int32_t Form1::AttributeAfterFallback() {
  if (m_View.ListIndex(kCombo3) < 0) m_View.SetListIndex(kCombo3, 0);
  return m_View.ListIndex(kCombo3);
}

std::int32_t Form1::DirectionAfterFallback() {
  if (m_View.ListIndex(kCombo2) < 0) m_View.SetListIndex(kCombo2, 0);
  // The index and the constant are small; the form computes them in 16 bits.
  return static_cast<std::int16_t>(m_View.ListIndex(kCombo2) + 1);
}

std::int32_t Form1::NumberIn(int textBoxId) const { return NumberInText(m_View.Text(textBoxId)); }

}  // namespace zorntest
