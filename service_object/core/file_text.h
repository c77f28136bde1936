#pragma once
// The text of a small file as Windows programs save it: UTF-16 or UTF-8 with a byte-order mark
// (what Notepad writes as "Unicode" and "UTF-8"), or 8-bit text in the system's code page.

#include <functional>
#include <string>
#include <string_view>

namespace varnel {

// Widens 8-bit text of the system's code page (the ANSI code page on Windows).
using Widen8Bit = std::function<std::u16string(std::string_view)>;

// `raw` decoded by its byte-order mark: FF FE is UTF-16 little-endian, FE FF UTF-16
// big-endian (an odd last byte is dropped), EF BB BF UTF-8 (a malformed sequence becomes
// U+FFFD); without a mark the bytes are handed to `widen_8bit`. The mark is not part of the text.
[[nodiscard]] std::u16string decode_file_text(std::string_view raw, const Widen8Bit& widen_8bit);

}  // namespace varnel
