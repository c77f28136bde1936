#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "utility/core/action_outcome.h"
#include "utility/core/dialog_view.h"
#include "utility/core/information_record.h"
#include "utility/core/language_font_table.h"
#include "utility/core/utility_link.h"
#include "utility/core/utility_title.h"

namespace utility {

// Texts the dialog shows.
namespace dialog_text {
// The title of every message box that has none of its own.
inline constexpr std::string_view kTitle = kUtilityTitle;
inline constexpr std::string_view kCaption = "Zorn Utility Ver 2.03";
inline constexpr std::string_view kOpenFailed = "Com port open failed !";
inline constexpr std::string_view kClosed = "Com port closed !";
inline constexpr std::string_view kInformationTitle = "Zorn Information";
inline constexpr std::string_view kResponseTimeout = "Response Timeout !\n Try again";
inline constexpr std::string_view kQueueFull = "m_QueueRead FULL!";
inline constexpr std::string_view kDisconnected = "Com port disconnected !";
inline constexpr std::string_view kSettingsWriteFailed = "An error occurred while writing config.data.";
inline constexpr std::string_view kNoLanguage = "Select a language from the list first.";
inline constexpr std::string_view kSettingsFileName = "config.data";
inline constexpr std::string_view kFirmwareTool = "NuvoISP.exe";
inline constexpr std::string_view kFirmwareToolNotFound = "NuvoISP.exe was not found";
}  // namespace dialog_text

inline constexpr unsigned ID_TIMER_RESPONSE = 150;
inline constexpr unsigned kResponseTimeoutMs = 5000;
// How long a close waits for written bytes to leave the driver before it
// purges its queues: the longest frame takes 47 ms at 9600 bit/s.
inline constexpr std::uint32_t kSendDrainLimitMs = 1000;
inline constexpr int kPortCount = 20;
inline constexpr int kDefaultPortIndex = 3;  // COM4
inline constexpr std::size_t kReplyBufferSize = 1024;
inline constexpr std::uint8_t kAck = 0x06;

// The ten bytes left in config.data for the firmware tool:
//   U , 0 , S , 1 , <port digit> <tenth byte>
// The port digit is '0' plus the port list's index, so ports 11 to 20 give
// the characters after '9' (':' to 'C'). The tenth byte is a ',' that closes
// the port field: the record is written over the start of an existing file and
// the separator keeps the digit apart from whatever the file holds after it.
std::array<std::uint8_t, 10> BuildSettingsRecord(int portIndex);

// The text of the information box: the version characters (zero bytes left
// out) and the four codes in "%2X" form.
std::string FormatInformation(const InformationRecord& record);

// The main dialog's behaviour: what each button, the receive notification and
// the response timer do. A window (or a front end without one) forwards its
// events to the On... handlers on one thread; the port object's watch thread
// reaches this class only through the notification its owner forwards.
//
// What it decides where the protocol leaves it open: docs/developer.md, "What the utility
// decides where the protocol leaves it open".
class CZorn_UtilityDlg {
 public:
  enum class PendingReply { None = 0, FontSet = 1, Information = 2 };

  // Where a glyph download stands while PendingReply is FontSet.
  struct DownloadProgress {
    int row = 0;
    bool secondBlockPending = false;
    int upperBlock = 0;   // next upper block, 0 to 20
    int bytesToSend = 0;  // upper-set bytes still to send, 640 to 0
    int framesSent = 0;   // frames of the current download so far, 0 to 23
  };

  CZorn_UtilityDlg(DialogView& view, UtilityLink& link, SettingsFile& settings, ProgramStarter& starter);
  CZorn_UtilityDlg(const CZorn_UtilityDlg&) = delete;
  CZorn_UtilityDlg& operator=(const CZorn_UtilityDlg&) = delete;

  // Fills the lists, selects the start entries and disables the command
  // buttons.
  void OnInitDialog();

  void OnPortOpen();
  void OnClose();
  void OnExit();
  void OnChange();
  void OnInputString();
  void OnSetCommandSet();
  void OnSetDefaultFont();
  void OnFontSet();
  void OnInformation();
  void OnProgramDownLoad();

  // WM_USER+1: received bytes are waiting in the ring.
  void OnReceiveNotification();
  // WM_TIMER; false when the timer is not the dialog's (default handling).
  bool OnTimer(unsigned timerId);
  // The dialog ends in any way: the port is released.
  void OnDestroy();

  void SetPortControls(bool open);

  PendingReply Pending() const { return m_PendingReply; }
  ActionOutcome LastOutcome() const { return m_Outcome; }
  const DownloadProgress& Progress() const { return m_Download; }
  int PortNumber() const { return m_PortNumber; }
  int BaudRate() const { return m_BaudRate; }

 private:
  void CloseLinkIfHeld();
  // Shows an overflow the link reported since the last look; answers
  // whether there was one.
  bool ReportOverflow();
  // Ends the exchange in progress and releases the port when the link
  // reported the line lost; answers whether it did.
  bool HandleLineLost();
  void StartResponseTimer();
  void SendAndCount(const std::vector<std::uint8_t>& frame);
  void DownloadStep();
  void InformationReply();
  void StopDownload();
  // Ends the glyph download (and its response timer) or the information
  // query in progress; nothing else changes.
  void EndExchange();

  DialogView& m_View;
  UtilityLink& m_Link;
  SettingsFile& m_Settings;
  ProgramStarter& m_Starter;

  int m_PortNumber = 0;
  int m_BaudRate = 0;
  PendingReply m_PendingReply = PendingReply::None;
  ActionOutcome m_Outcome = ActionOutcome::None;
  DownloadProgress m_Download;
  const LanguageFontRow* m_Glyphs = nullptr;  // the row being downloaded
};

}  // namespace utility
