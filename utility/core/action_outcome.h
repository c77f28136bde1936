#pragma once

namespace utility {

// What the dialog's last action came to, for a front end that reports it
// without reading the texts of the message boxes. Every button sets it; the
// receive notification and the response timer set it when an exchange ends
// or goes wrong. The latest event wins: "Program Down Load" closes the port
// and then hands over, so it ends in one of the hand-over outcomes.
enum class ActionOutcome {
  None,                 // nothing done yet
  PortOpened,           // "Port Open" opened the port
  OpenFailed,           // "Com port open failed !"
  PortClosed,           // "Com port closed !"
  Sent,                 // a setting's frame was written; the display does not answer it
  AwaitingReply,        // the information request or the glyph download is under way
  Answered,             // the information box was shown
  Downloaded,           // the glyph download's last frame was sent
  NoLanguage,           // "Font Set" with no language selected: nothing sent
  TimedOut,             // "Response Timeout !": the glyph download stopped
  QueueFull,            // the receive ring overflowed ("m_QueueRead FULL!")
  Disconnected,         // the line went away under the open port
  SettingsWriteFailed,  // config.data could not be written: the tool was not started
  ToolNotFound,         // "NuvoISP.exe was not found": nothing was sent, the port stays open
  ToolStarted,          // the firmware tool runs
  ToolNotStarted,       // config.data is written but the firmware tool did not start
};

}  // namespace utility
