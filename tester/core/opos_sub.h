#pragma once
// opos_sub: the OPOS result codes the tester names, and their names.

#include <cstdint>
#include <string_view>

namespace zorntest {

// The published OPOS result codes.
inline constexpr std::int32_t OPOS_SUCCESS = 0;
inline constexpr std::int32_t OPOS_E_CLOSED = 101;
inline constexpr std::int32_t OPOS_E_CLAIMED = 102;
inline constexpr std::int32_t OPOS_E_NOTCLAIMED = 103;
inline constexpr std::int32_t OPOS_E_NOSERVICE = 104;
inline constexpr std::int32_t OPOS_E_DISABLED = 105;
inline constexpr std::int32_t OPOS_E_ILLEGAL = 106;
inline constexpr std::int32_t OPOS_E_NOHARDWARE = 107;
inline constexpr std::int32_t OPOS_E_OFFLINE = 108;
inline constexpr std::int32_t OPOS_E_NOEXIST = 109;
inline constexpr std::int32_t OPOS_E_EXISTS = 110;
inline constexpr std::int32_t OPOS_E_FAILURE = 111;
inline constexpr std::int32_t OPOS_E_TIMEOUT = 112;
inline constexpr std::int32_t OPOS_E_BUSY = 113;
inline constexpr std::int32_t OPOS_E_EXTENDED = 114;

// The name written to the status box for a result code: "OposSuccess", "OposEClosed", ...
// (note the lower case in "OposENotclaimed", "OposENoservice", "OposENohardware",
// "OposENoexist"); "OposUnknownResultCode" for any value that is not one of the codes above.
std::u16string_view GetResultCodeName(std::int32_t value);

}  // namespace zorntest
