#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace utility {

// Configuration frames sent to the display:
//   STX 0x02 | LEN | CMD | DATA (LEN - 1 bytes) | ETX 0x03 | BCC
// LEN counts CMD and DATA; BCC is the plain XOR of LEN through ETX. Nothing is
// escaped, so DATA may hold 0x02 or 0x03. A frame is LEN + 4 bytes.

using Frame = std::vector<std::uint8_t>;

namespace frame_command {
inline constexpr std::uint8_t kInformationRequest = 0x44;  // 'D'
inline constexpr std::uint8_t kBaudRateChange = 0x33;      // '3'
inline constexpr std::uint8_t kInputString = 0x32;         // '2'
inline constexpr std::uint8_t kCommandSetChange = 0x34;    // '4'
inline constexpr std::uint8_t kDefaultFontChange = 0x35;   // '5'
inline constexpr std::uint8_t kEnterDownload = 0x40;       // '@'
inline constexpr std::uint8_t kInternationalGlyph = 0x41;  // 'A'
inline constexpr std::uint8_t kUpperGlyph = 0x42;          // 'B'
inline constexpr std::uint8_t kLanguageCode = 0x43;        // 'C'
}  // namespace frame_command

inline constexpr std::size_t kLineLength = 20;
inline constexpr std::size_t kGlyphBlockSize = 32;
// LEN is one byte and includes CMD.
inline constexpr std::size_t kMaxFrameData = 254;

using GlyphBlock = std::span<const std::uint8_t, kGlyphBlockSize>;

// XOR of the first `count` bytes. The count is a 16-bit signed number; 0 or
// less gives 0. For a frame it covers LEN through ETX, i.e. LEN + 2 bytes.
std::uint8_t ComputeBcc(const std::uint8_t* bytes, std::int16_t count);

// The complete frame for a command and its data (at most 254 data bytes).
Frame BuildFrame(std::uint8_t command, std::span<const std::uint8_t> data);

// Where frames go. CSerialLink implements it; tests substitute a recorder.
class FrameWriter {
 public:
  virtual ~FrameWriter() = default;
  // Writes `length` bytes in one go; returns the number written, 0 on failure.
  virtual std::uint32_t WriteBytes(const std::uint8_t* bytes, std::uint32_t length) = 0;
};

// Builds the frame and hands it to the writer in a single WriteBytes call.
// The result is deliberately ignored: the display protocol has no
// retransmission, and an unwritten frame is not reported to the technician.
void SendFrame(FrameWriter& writer, std::uint8_t command, std::span<const std::uint8_t> data);

// One builder per command. List-based builders take the list box's selected
// index; -1 (nothing selected) is masked like any other index.
Frame InformationRequestFrame();
Frame BaudRateChangeFrame(int baudIndex);
// Each line is cut to its first 20 bytes and padded with spaces to 20.
Frame InputStringFrame(std::string_view line1, std::string_view line2);
Frame CommandSetChangeFrame(int commandSetIndex);
Frame DefaultFontChangeFrame(int fontIndex);
Frame EnterDownloadFrame();
Frame InternationalGlyphFrame(std::uint8_t blockIndex, GlyphBlock glyphs);
Frame UpperGlyphFrame(std::uint8_t blockIndex, GlyphBlock glyphs);
Frame LanguageCodeFrame(char first, char second);

}  // namespace utility
