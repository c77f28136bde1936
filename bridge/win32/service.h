#pragma once
// zorn-display-bridge.exe --service: the bridge under the Windows service manager. The settings
// come from zorn-display-bridge.conf next to the program (bridge/core/service_control.h has its
// form), followed by any options after --service on the service's command line and the start
// parameters; the program's output goes to zorn-display-bridge.log next to it, written anew at
// each start. docs/technician.md describes the service.

#include <string>
#include <vector>

#include "bridge/program/bridge_program.h"

namespace bridge::win32 {

// The name setup registers the service under.
inline constexpr wchar_t kServiceName[] = L"zorn-display-bridge";

// Hands the process to the service manager until the service has stopped. Exit codes: the
// program's own (bridge_program.h) for a service that ran; 2 when the process was not started
// by the service manager (the message goes to `errors`).
int run_service(const std::vector<std::string>& arguments, const PortFactory& make_port,
                std::ostream& errors);

}  // namespace bridge::win32
