#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace utility {

// The text of `zorn-utility-cli text`: the command line gives Unicode (UTF-8 here; the Windows
// front end converts its wide command line to it), the display shows bytes of the code page it
// is set to. The conversion uses the service object's code-page tables, so both send the same
// bytes for the same text.

// The code page of `text` when --code-page is not given: the display's factory default font.
inline constexpr std::int32_t kDefaultTextCodePage = 437;

// True when `number` is one of the code pages the tables offer.
bool IsOfferedCodePage(std::int32_t number);

// The offered code pages, comma-separated, for a usage message.
std::string OfferedCodePages();

// `utf8` in code page `codePage` (an offered one), one byte per character: a character the page
// lacks, a control character and a malformed UTF-8 sequence each become '?'. Nothing when the
// page is not offered.
std::optional<std::string> DisplayBytes(std::string_view utf8, std::int32_t codePage);

}  // namespace utility
