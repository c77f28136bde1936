// The display's built-in character generator for the printable ASCII codes.
#pragma once

#include <cstdint>
#include <optional>

#include "sim/model/flash_settings.h"

namespace sim {

// The built-in glyph of 0x20..0x7E (5 columns, bit 7 the top row); nothing
// for other codes.
std::optional<Glyph> builtin_glyph(std::uint8_t code);

}  // namespace sim
