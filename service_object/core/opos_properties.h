#pragma once
// The published OPOS numbers of the properties the service object answers (beside those in
// opos.h): common and LineDisplay property indices, and the values their answers take.

#include <cstdint>

#include "service_object/core/opos.h"

namespace varnel::opos {

// Common numeric property indices.
inline constexpr std::int32_t PIDX_DataEventEnabled = 2;
inline constexpr std::int32_t PIDX_FreezeEvents = 4;
inline constexpr std::int32_t PIDX_OutputID = 5;
inline constexpr std::int32_t PIDX_ResultCodeExtended = 7;
inline constexpr std::int32_t PIDX_AutoDisable = 10;
inline constexpr std::int32_t PIDX_BinaryConversion = 11;
inline constexpr std::int32_t PIDX_DataCount = 12;
inline constexpr std::int32_t PIDX_PowerNotify = 13;
inline constexpr std::int32_t PIDX_PowerState = 14;
inline constexpr std::int32_t PIDX_CapPowerReporting = 501;
inline constexpr std::int32_t PIDX_CapStatisticsReporting = 502;
inline constexpr std::int32_t PIDX_CapUpdateStatistics = 503;
inline constexpr std::int32_t PIDX_CapCompareFirmwareVersion = 504;
inline constexpr std::int32_t PIDX_CapUpdateFirmware = 505;

// LineDisplay numeric property indices (5000 + n).
inline constexpr std::int32_t PIDXDisp_CharacterSet = 5001;
inline constexpr std::int32_t PIDXDisp_Columns = 5002;
inline constexpr std::int32_t PIDXDisp_CurrentWindow = 5003;
inline constexpr std::int32_t PIDXDisp_CursorColumn = 5004;
inline constexpr std::int32_t PIDXDisp_CursorRow = 5005;
inline constexpr std::int32_t PIDXDisp_CursorUpdate = 5006;
inline constexpr std::int32_t PIDXDisp_DeviceBrightness = 5007;
inline constexpr std::int32_t PIDXDisp_DeviceColumns = 5008;
inline constexpr std::int32_t PIDXDisp_DeviceDescriptors = 5009;
inline constexpr std::int32_t PIDXDisp_DeviceRows = 5010;
inline constexpr std::int32_t PIDXDisp_DeviceWindows = 5011;
inline constexpr std::int32_t PIDXDisp_MarqueeRepeatWait = 5013;
inline constexpr std::int32_t PIDXDisp_MarqueeType = 5014;
inline constexpr std::int32_t PIDXDisp_MarqueeUnitWait = 5015;
inline constexpr std::int32_t PIDXDisp_Rows = 5016;
inline constexpr std::int32_t PIDXDisp_MarqueeFormat = 5017;
inline constexpr std::int32_t PIDXDisp_GlyphHeight = 5020;
inline constexpr std::int32_t PIDXDisp_GlyphWidth = 5021;
inline constexpr std::int32_t PIDXDisp_MapCharacterSet = 5022;
inline constexpr std::int32_t PIDXDisp_MaximumX = 5023;
inline constexpr std::int32_t PIDXDisp_MaximumY = 5024;
inline constexpr std::int32_t PIDXDisp_ScreenMode = 5025;
// LineDisplay capabilities (5500 + n).
inline constexpr std::int32_t PIDXDisp_CapBlink = 5501;
inline constexpr std::int32_t PIDXDisp_CapBrightness = 5502;
inline constexpr std::int32_t PIDXDisp_CapCharacterSet = 5503;
inline constexpr std::int32_t PIDXDisp_CapDescriptors = 5504;
inline constexpr std::int32_t PIDXDisp_CapHMarquee = 5505;
inline constexpr std::int32_t PIDXDisp_CapICharWait = 5506;
inline constexpr std::int32_t PIDXDisp_CapVMarquee = 5507;
inline constexpr std::int32_t PIDXDisp_CapBlinkRate = 5508;
inline constexpr std::int32_t PIDXDisp_CapCursorType = 5509;
inline constexpr std::int32_t PIDXDisp_CapCustomGlyph = 5510;
inline constexpr std::int32_t PIDXDisp_CapReadBack = 5511;
inline constexpr std::int32_t PIDXDisp_CapReverse = 5512;
inline constexpr std::int32_t PIDXDisp_CapBitmap = 5513;
inline constexpr std::int32_t PIDXDisp_CapMapCharacterSet = 5514;
inline constexpr std::int32_t PIDXDisp_CapScreenMode = 5515;

// LineDisplay string property indices (1000000 + 5000 + n).
inline constexpr std::int32_t PIDXDisp_CharacterSetList = 1005001;
inline constexpr std::int32_t PIDXDisp_CustomGlyphList = 1005002;
inline constexpr std::int32_t PIDXDisp_ScreenModeList = 1005003;

// State.
inline constexpr std::int32_t OPOS_S_CLOSED = 1;
inline constexpr std::int32_t OPOS_S_IDLE = 2;

// PowerState, PowerNotify, CapPowerReporting, and the status-update events of power changes
// (the same numbers as the states they report).
inline constexpr std::int32_t OPOS_PS_UNKNOWN = 2000;
inline constexpr std::int32_t OPOS_PS_ONLINE = 2001;
inline constexpr std::int32_t OPOS_PS_OFF_OFFLINE = 2004;
inline constexpr std::int32_t OPOS_PN_DISABLED = 0;
inline constexpr std::int32_t OPOS_PN_ENABLED = 1;
inline constexpr std::int32_t OPOS_PR_STANDARD = 1;
inline constexpr std::int32_t OPOS_SUE_POWER_ONLINE = 2001;
inline constexpr std::int32_t OPOS_SUE_POWER_OFF_OFFLINE = 2004;

// CapBlink.
inline constexpr std::int32_t DISP_CB_NOBLINK = 0;

// CapCharacterSet and CharacterSet.
inline constexpr std::int32_t DISP_CCS_ASCII = 998;
inline constexpr std::int32_t DISP_CS_UNICODE = 997;
inline constexpr std::int32_t DISP_CS_ASCII = 998;
inline constexpr std::int32_t DISP_CS_ANSI = 999;

// CapCursorType bits.
inline constexpr std::int32_t DISP_CCT_FIXED = 0x01;
inline constexpr std::int32_t DISP_CCT_BLOCK = 0x02;
inline constexpr std::int32_t DISP_CCT_HALFBLOCK = 0x04;
inline constexpr std::int32_t DISP_CCT_UNDERLINE = 0x08;
inline constexpr std::int32_t DISP_CCT_REVERSE = 0x10;
inline constexpr std::int32_t DISP_CCT_OTHER = 0x20;
inline constexpr std::int32_t DISP_CCT_BLINK = 0x40;

// CapReadBack, CapReverse.
inline constexpr std::int32_t DISP_CRB_NONE = 0;
inline constexpr std::int32_t DISP_CRB_SINGLE = 1;
inline constexpr std::int32_t DISP_CR_NONE = 0;

}  // namespace varnel::opos
