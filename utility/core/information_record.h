#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace utility {

// The display's answer to the information request, read by position from
// its frame start byte (0x02). Bytes received before that byte (a late
// acknowledgement of an interrupted glyph block) are not part of it. The
// other framing bytes are not checked: from its start byte on, the record is
// recognised by its size alone.
inline constexpr std::uint8_t kFrameStart = 0x02;
inline constexpr std::size_t kInformationRecordSize = 22;
inline constexpr std::size_t kFirmwareVersionOffset = 3;
inline constexpr std::size_t kFirmwareVersionLength = 12;

struct InformationRecord {
  std::string firmwareVersion;  // 12 bytes, one character each
  std::uint8_t commandSetCode = 0;
  std::uint8_t defaultFontCode = 0;
  std::uint8_t languageCode = 0;
  std::uint8_t baudCode = 0;
};

// True once enough bytes are waiting to hold a whole record.
bool IsInformationRecordComplete(std::size_t bytesWaiting);

// The record's fields, or nothing while fewer than 22 bytes have arrived.
std::optional<InformationRecord> ReadInformationRecord(std::span<const std::uint8_t> reply);

}  // namespace utility
