// Drives the service object as an OPOS application would, through the Windows platform layer:
// open, claim, enable (the port and speed come from the device's registry key), show a few
// lines, exercise the display settings, and release. Prints each call and its result code.
//
// Until the library is packaged as an automation server this program holds the object
// directly; an application reaches the same methods by name through the Control Object.

// First: <windows.h> without the macros that clash with OPOS method names.
#include "service_object/win32/opos_names.h"

#include <cstdio>
#include <string>

#include "service_object/core/id_tarvo_varnel.h"
#include "service_object/win32/platform.h"

namespace {

using namespace varnel;

std::string narrow(std::u16string_view text) { return std::string(text.begin(), text.end()); }

void report(const char* call, std::int32_t answer, const ID_TARVO_VARNEL& so) {
  std::printf("  %-46s -> %ld   (ResultCode %ld)\n", call, static_cast<long>(answer),
              static_cast<long>(so.result_code()));
}

}  // namespace

int main() {
  win32::Platform platform;
  ServiceModule module(platform.services());
  ID_TARVO_VARNEL so(module);

  std::printf("  WOW64 process: %s; device key read from HKLM\\%s<name>\n",
              module.state().emulation ? "yes" : "no", narrow(KeyPath::base_for(module.state().emulation)).c_str());

  report("OpenService(\"LineDisplay\", \"PoleDisplay\")", so.OpenService(u"LineDisplay", u"PoleDisplay"), so);
  std::printf("  device key: HKLM\\%s\n", narrow(module.state().key_path.text()).c_str());
  report("ClaimDevice(1000)", so.ClaimDevice(1000), so);
  so.SetPropertyNumber(opos::PIDX_DeviceEnabled, 1);
  report("SetPropertyNumber(PIDX_DeviceEnabled, 1)", 0, so);
  if (!so.enabled()) {
    std::printf("  the device did not enable: see the messages above\n");
    so.CloseService();
    return 1;
  }
  std::printf("  %-46s -> %s\n", "GetPropertyString(PIDX_DeviceDescription)",
              narrow(so.GetPropertyString(opos::PIDX_DeviceDescription)).c_str());
  std::printf("  %-46s -> %ld\n", "GetPropertyNumber(PIDX_ServiceObjectVersion)",
              static_cast<long>(so.GetPropertyNumber(opos::PIDX_ServiceObjectVersion)));

  report("ClearText()", so.ClearText(), so);
  report("DisplayTextAt(0, 0, \"  Zorn pole display \")", so.DisplayTextAt(0, 0, u"  Zorn pole display ", 0), so);
  report("DisplayTextAt(1, 0, \"Total        12.50 \")", so.DisplayTextAt(1, 0, u"Total        12.50 ", 0), so);
  so.SetPropertyNumber(opos::PIDXDisp_CursorType, 0);
  report("SetPropertyNumber(PIDXDisp_CursorType, 0)", 0, so);
  so.SetPropertyNumber(opos::PIDXDisp_BlinkRate, 500);
  report("SetPropertyNumber(PIDXDisp_BlinkRate, 500)", 0, so);
  report("DisplayTextAt(1, 19, \"!\")", so.DisplayTextAt(1, 19, u"!", 0), so);

  report("ReleaseDevice()", so.ReleaseDevice(), so);
  report("CloseService()", so.CloseService(), so);
  return 0;
}
