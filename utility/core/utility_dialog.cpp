#include "utility/core/utility_dialog.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "utility/core/config_frames.h"
#include "utility/core/program_search.h"
#include "utility/core/selection_lists.h"

namespace utility {

namespace {
constexpr int kUpperSetBytes = 640;
constexpr std::size_t kInternationalSecondHalf = 28;  // bytes 32 to 59

// The command buttons SetPortControls switches, besides "Port Open".
constexpr std::array<int, 7> kCommandButtons = {
    control_id::kChange,         control_id::kInputString,     control_id::kSetCommandSet,
    control_id::kSetDefaultFont, control_id::kProgramDownLoad, control_id::kInformation,
    control_id::kFontSet,
};

void AppendHex(std::string& text, std::uint8_t value) {
  std::array<char, 8> formatted{};
  std::snprintf(formatted.data(), formatted.size(), "%2X", static_cast<unsigned>(value));
  text += formatted.data();
}
}  // namespace

std::array<std::uint8_t, 10> BuildSettingsRecord(int portIndex) {
  return {'U', ',', '0', ',', 'S', ',', '1', ',', static_cast<std::uint8_t>('0' + portIndex), ','};
}

std::string FormatInformation(const InformationRecord& record) {
  std::string text = "\n\nVersion :\n";
  for (const char c : record.firmwareVersion) {
    if (c != 0) {
      text.push_back(c);
    }
  }
  text += "\n\nCommand Set :\n";
  AppendHex(text, record.commandSetCode);
  text += "\n\nDefault Font :\n";
  AppendHex(text, record.defaultFontCode);
  text += "\n\nLanguage :\n";
  AppendHex(text, record.languageCode);
  text += "\n\nBPS :\n";
  AppendHex(text, record.baudCode);
  return text;
}

CZorn_UtilityDlg::CZorn_UtilityDlg(DialogView& view, UtilityLink& link, SettingsFile& settings,
                                   ProgramStarter& starter)
    : m_View(view), m_Link(link), m_Settings(settings), m_Starter(starter) {}

void CZorn_UtilityDlg::OnInitDialog() {
  for (int port = 1; port <= kPortCount; ++port) {
    m_View.AddListEntry(control_id::kPortList, " COM " + std::to_string(port) + " ");
  }
  for (const std::uint32_t rate : kBaudRates) {
    m_View.AddListEntry(control_id::kCurrentBaud, std::to_string(rate));
    m_View.AddListEntry(control_id::kChangingBaud, std::to_string(rate));
  }
  for (const std::string_view name : kCommandSets) {
    m_View.AddListEntry(control_id::kCommandSetList, name);
  }
  for (const std::string_view name : kDefaultFonts) {
    m_View.AddListEntry(control_id::kDefaultFontList, name);
  }
  for (int row = 0;; ++row) {
    const std::string_view entry = LanguageEntryAt(row);
    if (entry.empty()) {
      break;
    }
    m_View.AddListEntry(control_id::kLanguageList, entry);
  }
  m_View.SelectListEntry(control_id::kPortList, kDefaultPortIndex);
  for (const int list : {control_id::kCurrentBaud, control_id::kChangingBaud, control_id::kCommandSetList,
                         control_id::kDefaultFontList, control_id::kLanguageList}) {
    m_View.SelectListEntry(list, 0);
  }
  SetPortControls(false);
}

void CZorn_UtilityDlg::SetPortControls(bool open) {
  m_View.EnableControl(control_id::kPortOpen, !open);
  for (const int button : kCommandButtons) {
    m_View.EnableControl(button, open);
  }
}

void CZorn_UtilityDlg::OnPortOpen() {
  const int portIndex = m_View.SelectedIndex(control_id::kPortList);
  const int baudIndex = m_View.SelectedIndex(control_id::kCurrentBaud);
  m_PortNumber = portIndex + 1;
  m_BaudRate = static_cast<int>(BaudRateAt(baudIndex));
  bool opened = false;
  if (portIndex >= 0 && portIndex < kPortCount && m_BaudRate > 0) {
    const std::string device = "COM" + std::to_string(m_PortNumber);
    opened = m_Link.OpenLink(device, m_BaudRate, static_cast<std::uint16_t>(m_PortNumber));
  }
  m_Outcome = opened ? ActionOutcome::PortOpened : ActionOutcome::OpenFailed;
  if (opened) {
    SetPortControls(true);
  } else {
    m_View.ShowMessage(dialog_text::kOpenFailed, dialog_text::kTitle, MessageIcon::Error);
  }
  m_Link.AttachNotifications();
}

bool CZorn_UtilityDlg::ReportOverflow() {
  if (!m_Link.ApplyPendingClear()) {
    return false;
  }
  m_Outcome = ActionOutcome::QueueFull;
  m_View.ShowMessage(dialog_text::kQueueFull, dialog_text::kTitle, MessageIcon::Warning);
  return true;
}

bool CZorn_UtilityDlg::HandleLineLost() {
  if (!m_Link.TakeLineLost()) {
    return false;
  }
  EndExchange();
  m_Link.CloseLink();
  SetPortControls(false);
  m_Outcome = ActionOutcome::Disconnected;
  m_View.ShowMessage(dialog_text::kDisconnected, dialog_text::kTitle, MessageIcon::Error);
  return true;
}

void CZorn_UtilityDlg::CloseLinkIfHeld() {
  // An overflow or a lost line whose notification has not been handled
  // yet is still reported: closing would otherwise hide it for good.
  ReportOverflow();
  HandleLineLost();
  // The exchange in progress ends with the port: its timer cannot announce
  // a timeout after the close, and a reply arriving after a reopen (a late
  // acknowledgement) cannot move an abandoned download on.
  EndExchange();
  if (m_Link.IsConnected()) {
    (void)m_Link.WaitUntilSent(kSendDrainLimitMs);
  }
  // CloseLink is harmless on a closed link; calling it also after an
  // overflow (which clears the connected flag) releases the port handle.
  m_Link.CloseLink();
}

void CZorn_UtilityDlg::OnClose() {
  CloseLinkIfHeld();
  m_Outcome = ActionOutcome::PortClosed;
  m_View.ShowMessage(dialog_text::kClosed, dialog_text::kTitle, MessageIcon::Information);
  SetPortControls(false);
}

void CZorn_UtilityDlg::OnExit() {
  CloseLinkIfHeld();
  m_View.EndDialog();
}

void CZorn_UtilityDlg::OnDestroy() { CloseLinkIfHeld(); }

void CZorn_UtilityDlg::OnChange() {
  m_Outcome = ActionOutcome::Sent;
  SendAndCount(BaudRateChangeFrame(m_View.SelectedIndex(control_id::kChangingBaud)));
}

void CZorn_UtilityDlg::OnInputString() {
  const std::string line1 = m_View.EditText(control_id::kLine1, kLineLength);
  const std::string line2 = m_View.EditText(control_id::kLine2, kLineLength);
  m_Outcome = ActionOutcome::Sent;
  SendAndCount(InputStringFrame(line1, line2));
}

void CZorn_UtilityDlg::OnSetCommandSet() {
  m_Outcome = ActionOutcome::Sent;
  SendAndCount(CommandSetChangeFrame(m_View.SelectedIndex(control_id::kCommandSetList)));
}

void CZorn_UtilityDlg::OnSetDefaultFont() {
  m_Outcome = ActionOutcome::Sent;
  SendAndCount(DefaultFontChangeFrame(m_View.SelectedIndex(control_id::kDefaultFontList)));
}

void CZorn_UtilityDlg::SendAndCount(const std::vector<std::uint8_t>& frame) {
  // One write per frame; a frame that cannot be written is not reported.
  (void)m_Link.WriteBytes(frame.data(), static_cast<std::uint32_t>(frame.size()));
}

void CZorn_UtilityDlg::OnInformation() {
  ReportOverflow();
  if (HandleLineLost()) {
    return;
  }
  m_Link.ReceiveQueue().Clear();
  EndExchange();
  m_PendingReply = PendingReply::Information;
  m_Outcome = ActionOutcome::AwaitingReply;
  SendAndCount(InformationRequestFrame());
}

void CZorn_UtilityDlg::OnFontSet() {
  const int row = m_View.SelectedIndex(control_id::kLanguageList);
  m_Glyphs = row >= 0 && static_cast<std::size_t>(row) < kLanguageCount
                 ? &LanguageFontTable()[static_cast<std::size_t>(row)]
                 : nullptr;
  if (m_Glyphs == nullptr) {
    m_Outcome = ActionOutcome::NoLanguage;
    m_View.ShowMessage(dialog_text::kNoLanguage, dialog_text::kTitle, MessageIcon::Warning);
    return;
  }
  m_PendingReply = PendingReply::FontSet;
  m_Outcome = ActionOutcome::AwaitingReply;
  m_Download = DownloadProgress{};
  m_Download.row = row;
  SendAndCount(InternationalGlyphFrame(0, m_Glyphs->InternationalGlyphs.subspan<0, kGlyphBlockSize>()));
  m_Download.framesSent = 1;
  m_Download.secondBlockPending = true;
  StartResponseTimer();
}

void CZorn_UtilityDlg::StartResponseTimer() { m_View.StartTimer(ID_TIMER_RESPONSE, kResponseTimeoutMs); }

void CZorn_UtilityDlg::OnReceiveNotification() {
  // The link dropped a chunk that did not fit and stopped (the ring has
  // just been emptied), or lost its line.
  if (ReportOverflow() || HandleLineLost()) {
    return;
  }
  switch (m_PendingReply) {
    case PendingReply::None: return;
    case PendingReply::FontSet: DownloadStep(); return;
    case PendingReply::Information: InformationReply(); return;
  }
}

void CZorn_UtilityDlg::InformationReply() {
  CByteQueue& queue = m_Link.ReceiveQueue();
  // The record starts at its frame start byte. Whatever came before it (the
  // acknowledgement of a glyph block that "Zorn Information" interrupted,
  // arriving after the ring was emptied) would shift every field.
  std::uint8_t first = 0;
  while (queue.Peek(first) && first != kFrameStart) {
    (void)queue.Get(first);
  }
  const std::int32_t waiting = queue.Count();
  if (!IsInformationRecordComplete(static_cast<std::size_t>(waiting))) {
    return;
  }
  std::array<std::uint8_t, kReplyBufferSize> reply{};
  std::size_t kept = 0;
  for (std::int32_t i = 0; i < waiting; ++i) {
    std::uint8_t byte = 0;
    if (!queue.Get(byte)) {
      break;
    }
    if (kept < reply.size()) {
      reply[kept++] = byte;
    }
  }
  // The box is modal: leave the exchange before showing it, so a
  // notification handled while it is open does not show it a second time.
  m_PendingReply = PendingReply::None;
  const auto record = ReadInformationRecord(std::span(reply.data(), kept));
  if (!record) {
    return;  // the ring gave up fewer bytes than it counted
  }
  m_Outcome = ActionOutcome::Answered;
  m_View.ShowMessage(FormatInformation(*record), dialog_text::kInformationTitle, MessageIcon::Information);
}

void CZorn_UtilityDlg::DownloadStep() {
  // Only an acknowledgement that sends the next frame restarts the
  // response timer: bytes that move nothing on cannot keep it alive.
  CByteQueue& queue = m_Link.ReceiveQueue();
  const std::int32_t waiting = queue.Count();
  bool any = false;
  std::uint8_t last = 0;
  for (std::int32_t i = 0; i < waiting; ++i) {
    std::uint8_t byte = 0;
    if (!queue.Get(byte)) {
      break;
    }
    last = byte;
    any = true;
  }
  if (!any || last != kAck || m_Glyphs == nullptr) {
    return;
  }
  if (m_Download.secondBlockPending) {
    std::array<std::uint8_t, kGlyphBlockSize> block{};
    std::copy_n(m_Glyphs->InternationalGlyphs.begin() + kGlyphBlockSize, kInternationalSecondHalf,
                block.begin());
    SendAndCount(InternationalGlyphFrame(1, block));
    ++m_Download.framesSent;
    m_Download.secondBlockPending = false;
    m_Download.upperBlock = 0;
    m_Download.bytesToSend = kUpperSetBytes;
    StartResponseTimer();
  } else if (m_Download.bytesToSend > 0) {
    const auto offset = static_cast<std::size_t>(m_Download.upperBlock) * kGlyphBlockSize;
    const GlyphBlock block(m_Glyphs->UpperGlyphs.subspan(offset, kGlyphBlockSize).data(), kGlyphBlockSize);
    SendAndCount(UpperGlyphFrame(static_cast<std::uint8_t>(m_Download.upperBlock), block));
    ++m_Download.framesSent;
    m_Download.bytesToSend -= static_cast<int>(kGlyphBlockSize);
    ++m_Download.upperBlock;
    StartResponseTimer();
  } else {
    m_Download.upperBlock = 0;
    SendAndCount(LanguageCodeFrame(m_Glyphs->code[0], m_Glyphs->code[1]));
    ++m_Download.framesSent;
    m_PendingReply = PendingReply::None;
    m_Outcome = ActionOutcome::Downloaded;
    m_View.StopTimer(ID_TIMER_RESPONSE);
  }
}

void CZorn_UtilityDlg::EndExchange() {
  if (m_PendingReply == PendingReply::FontSet) {
    StopDownload();
  }
  m_PendingReply = PendingReply::None;
}

void CZorn_UtilityDlg::StopDownload() {
  m_Download.bytesToSend = 0;
  m_Download.upperBlock = 0;
  m_PendingReply = PendingReply::None;
  m_View.StopTimer(ID_TIMER_RESPONSE);
}

bool CZorn_UtilityDlg::OnTimer(unsigned timerId) {
  if (timerId != ID_TIMER_RESPONSE) {
    return false;
  }
  if (m_PendingReply != PendingReply::FontSet) {
    // A tick queued before the download ended (or was abandoned) still
    // arrives: it must not announce a timeout of nothing.
    m_View.StopTimer(ID_TIMER_RESPONSE);
    return true;
  }
  StopDownload();
  m_Outcome = ActionOutcome::TimedOut;
  m_View.ShowMessage(dialog_text::kResponseTimeout, dialog_text::kTitle, MessageIcon::Information);
  return true;
}

void CZorn_UtilityDlg::OnProgramDownLoad() {
  const ProgramStarter::Places places = m_Starter.SearchPlaces();
  const std::optional<std::string> tool =
      LocateProgram(dialog_text::kFirmwareTool, places.ownFolder, places.searchFolders, places.style,
                    [this](const std::string& path) { return m_Starter.IsProgramFile(path); });
  if (!tool) {
    m_Outcome = ActionOutcome::ToolNotFound;
    m_View.ShowMessage(dialog_text::kFirmwareToolNotFound, dialog_text::kTitle, MessageIcon::Error);
    return;
  }
  SendAndCount(EnterDownloadFrame());
  OnClose();
  int portIndex = m_View.SelectedIndex(control_id::kPortList);
  if (portIndex < 0 || portIndex >= kPortCount) {
    // Nothing selected (text typed into the list): the port last opened.
    portIndex = std::max(m_PortNumber - 1, 0);
  }
  const std::array<std::uint8_t, 10> record = BuildSettingsRecord(portIndex);
  if (m_Settings.OverwriteStart(dialog_text::kSettingsFileName, record) ==
      SettingsFile::Result::WriteFailed) {
    m_Outcome = ActionOutcome::SettingsWriteFailed;
    m_View.ShowMessage(dialog_text::kSettingsWriteFailed, dialog_text::kTitle, MessageIcon::Error);
    return;
  }
  m_Outcome = m_Starter.Start(*tool) ? ActionOutcome::ToolStarted : ActionOutcome::ToolNotStarted;
}

}  // namespace utility
