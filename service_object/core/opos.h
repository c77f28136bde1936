#pragma once
// The published OPOS numbers the service object uses: result codes, property indices and
// LineDisplay constants.

#include <cstdint>

namespace varnel::opos {

// Result codes.
inline constexpr std::int32_t OPOS_SUCCESS = 0;
inline constexpr std::int32_t OPOS_E_CLOSED = 101;
inline constexpr std::int32_t OPOS_E_NOTCLAIMED = 103;
inline constexpr std::int32_t OPOS_E_NOSERVICE = 104;
inline constexpr std::int32_t OPOS_E_DISABLED = 105;
inline constexpr std::int32_t OPOS_E_ILLEGAL = 106;
inline constexpr std::int32_t OPOS_E_NOHARDWARE = 107;
inline constexpr std::int32_t OPOS_E_FAILURE = 111;
inline constexpr std::int32_t OPOS_E_TIMEOUT = 112;

// Common numeric property indices.
inline constexpr std::int32_t PIDX_Claimed = 1;
inline constexpr std::int32_t PIDX_DeviceEnabled = 3;
inline constexpr std::int32_t PIDX_ResultCode = 6;
inline constexpr std::int32_t PIDX_ServiceObjectVersion = 8;
inline constexpr std::int32_t PIDX_State = 9;

// Common string property indices.
inline constexpr std::int32_t PIDX_CheckHealthText = 1000001;
inline constexpr std::int32_t PIDX_DeviceDescription = 1000002;
inline constexpr std::int32_t PIDX_DeviceName = 1000003;
inline constexpr std::int32_t PIDX_ServiceObjectDescription = 1000004;

// LineDisplay numeric property indices that reach the display. 5012 is the LineDisplay
// inter-character wait; this display applies its scaled value as its 0x1F 0x46 setting.
inline constexpr std::int32_t PIDXDisp_InterCharacterWait = 5012;
inline constexpr std::int32_t PIDXDisp_BlinkRate = 5018;
inline constexpr std::int32_t PIDXDisp_CursorType = 5019;

// ScrollText directions.
inline constexpr std::int32_t DISP_ST_UP = 1;
inline constexpr std::int32_t DISP_ST_DOWN = 2;
inline constexpr std::int32_t DISP_ST_LEFT = 3;
inline constexpr std::int32_t DISP_ST_RIGHT = 4;

// Text attributes (accepted, not used: every attribute shows as normal text).
inline constexpr std::int32_t DISP_DT_NORMAL = 0;
inline constexpr std::int32_t DISP_DT_BLINK = 1;
inline constexpr std::int32_t DISP_DT_REVERSE = 2;
inline constexpr std::int32_t DISP_DT_BLINK_REVERSE = 3;

// Version 1.13.001 in OPOS encoding: major * 1000000 + minor * 1000 + build.
inline constexpr std::int32_t kServiceObjectVersion = 1013001;

}  // namespace varnel::opos
