#include "utility/core/config_frames.h"

#include <algorithm>
#include <array>
#include <cassert>

#include "utility/core/selection_lists.h"

namespace utility {

namespace {
constexpr std::uint8_t kStx = 0x02;
constexpr std::uint8_t kEtx = 0x03;
constexpr std::uint8_t kSpace = 0x20;

Frame GlyphFrame(std::uint8_t command, std::uint8_t blockIndex, GlyphBlock glyphs) {
  std::array<std::uint8_t, 1 + kGlyphBlockSize> data{};
  data[0] = blockIndex;
  std::copy(glyphs.begin(), glyphs.end(), data.begin() + 1);
  return BuildFrame(command, data);
}

Frame SingleByteFrame(std::uint8_t command, std::uint8_t value) {
  const std::array<std::uint8_t, 1> data{value};
  return BuildFrame(command, data);
}
}  // namespace

std::uint8_t ComputeBcc(const std::uint8_t* bytes, std::int16_t count) {
  std::uint8_t bcc = 0;
  for (std::int16_t i = 0; i < count; ++i) {
    bcc ^= bytes[i];
  }
  return bcc;
}

Frame BuildFrame(std::uint8_t command, std::span<const std::uint8_t> data) {
  assert(data.size() <= kMaxFrameData);
  const auto len = static_cast<std::uint8_t>(data.size() + 1);
  Frame frame;
  frame.reserve(data.size() + 5);
  frame.push_back(kStx);
  frame.push_back(len);
  frame.push_back(command);
  frame.insert(frame.end(), data.begin(), data.end());
  frame.push_back(kEtx);
  // LEN through ETX: LEN + 2 bytes starting after STX.
  frame.push_back(ComputeBcc(frame.data() + 1, static_cast<std::int16_t>(len + 2)));
  return frame;
}

void SendFrame(FrameWriter& writer, std::uint8_t command, std::span<const std::uint8_t> data) {
  const Frame frame = BuildFrame(command, data);
  static_cast<void>(writer.WriteBytes(frame.data(), static_cast<std::uint32_t>(frame.size())));
}

Frame InformationRequestFrame() { return BuildFrame(frame_command::kInformationRequest, {}); }

Frame BaudRateChangeFrame(int baudIndex) {
  return SingleByteFrame(frame_command::kBaudRateChange, BaudCode(baudIndex));
}

Frame InputStringFrame(std::string_view line1, std::string_view line2) {
  std::array<std::uint8_t, 2 * kLineLength> data{};
  data.fill(kSpace);
  const auto place = [&data](std::string_view line, std::size_t offset) {
    const std::size_t length = std::min(line.size(), kLineLength);
    for (std::size_t i = 0; i < length; ++i) {
      data[offset + i] = static_cast<std::uint8_t>(line[i]);
    }
  };
  place(line1, 0);
  place(line2, kLineLength);
  return BuildFrame(frame_command::kInputString, data);
}

Frame CommandSetChangeFrame(int commandSetIndex) {
  return SingleByteFrame(frame_command::kCommandSetChange, CommandSetCode(commandSetIndex));
}

Frame DefaultFontChangeFrame(int fontIndex) {
  return SingleByteFrame(frame_command::kDefaultFontChange, DefaultFontCode(fontIndex));
}

Frame EnterDownloadFrame() {
  const std::array<std::uint8_t, 2> data{0xAA, 0x55};
  return BuildFrame(frame_command::kEnterDownload, data);
}

Frame InternationalGlyphFrame(std::uint8_t blockIndex, GlyphBlock glyphs) {
  return GlyphFrame(frame_command::kInternationalGlyph, blockIndex, glyphs);
}

Frame UpperGlyphFrame(std::uint8_t blockIndex, GlyphBlock glyphs) {
  return GlyphFrame(frame_command::kUpperGlyph, blockIndex, glyphs);
}

Frame LanguageCodeFrame(char first, char second) {
  const std::array<std::uint8_t, 2> data{static_cast<std::uint8_t>(first), static_cast<std::uint8_t>(second)};
  return BuildFrame(frame_command::kLanguageCode, data);
}

}  // namespace utility
