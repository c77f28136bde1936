#pragma once
// How the form reads a number out of a text box: the value of the text's leading number,
// brought to the nearest 32-bit signed integer.

#include <cstdint>
#include <string_view>

namespace zorntest {

// The numeric value of the leading number of `text`. Blanks (spaces, tabs, line ends) are
// skipped wherever they stand; an optional sign, digits with an optional decimal point ('.',
// whatever the system's settings) and an optional exponent ('e' or 'E', an optional sign and
// at least one digit) are read; reading stops at the first character that cannot continue the
// number. A text without a leading number (empty, a word, "nan", a lone sign or point) reads
// as 0. A value too large for a double reads as an infinity of its sign, one too small as 0.
double LeadingNumber(std::u16string_view text);

// The 32-bit signed integer nearest to `value`; a value exactly halfway between two goes to
// the even one (2.5 gives 2, 3.5 gives 4). Beyond the 32-bit range the nearest 32-bit value is
// the limit on that side (3e9 and infinity give 2147483647); NaN, which is near nothing, gives
// 0. See docs/developer.md ("Numbers in the text boxes").
std::int32_t NearestInt32(double value);

// The number in a text box: NearestInt32(LeadingNumber(text)).
std::int32_t NumberInText(std::u16string_view text);

}  // namespace zorntest
