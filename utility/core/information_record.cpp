#include "utility/core/information_record.h"

namespace utility {

namespace {
constexpr std::size_t kCommandSetPosition = 15;
constexpr std::size_t kDefaultFontPosition = 16;
constexpr std::size_t kLanguagePosition = 17;
constexpr std::size_t kBaudPosition = 18;
}  // namespace

bool IsInformationRecordComplete(std::size_t bytesWaiting) { return bytesWaiting >= kInformationRecordSize; }

std::optional<InformationRecord> ReadInformationRecord(std::span<const std::uint8_t> reply) {
  if (!IsInformationRecordComplete(reply.size())) {
    return std::nullopt;
  }
  InformationRecord record;
  record.firmwareVersion.reserve(kFirmwareVersionLength);
  for (const std::uint8_t byte : reply.subspan(kFirmwareVersionOffset, kFirmwareVersionLength)) {
    record.firmwareVersion.push_back(static_cast<char>(byte));
  }
  record.commandSetCode = reply[kCommandSetPosition];
  record.defaultFontCode = reply[kDefaultFontPosition];
  record.languageCode = reply[kLanguagePosition];
  record.baudCode = reply[kBaudPosition];
  return record;
}

}  // namespace utility
