// The one UTF-8 decoder of the deliverables: well-formed text in every length of sequence, and
// each kind of malformed sequence marked and replaced byte by byte.

#include "shared/utf8.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kit {
namespace {

TEST(Utf8Test, DecodesWellFormedTextAndMarksEachMalformedSequence) {
  struct Case {
    std::string utf8;
    std::u16string utf16;
    bool malformed;
  };
  const std::vector<Case> cases = {
      {"", u"", false},
      {"Coffee 2.40", u"Coffee 2.40", false},
      {"\xC3\xA4\xE2\x82\xAC", u"\u00E4\u20AC", false},                // two and three bytes
      {"\xF0\x9F\x98\x80!", u"\xD83D\xDE00!", false},                  // four bytes: a surrogate pair
      {"\xC2\x80\xDF\xBF\xEF\xBF\xBF", u"\u0080\u07FF\uFFFF", false},  // the edges of each length
      {"\xF4\x8F\xBF\xBF", u"\xDBFF\xDFFF", false},                    // U+10FFFF
      {"a\x80"
       "b",
       u"a\uFFFDb", true},        // a stray continuation byte
      {"\xC3", u"\uFFFD", true},  // cut at the end
      {"\xE2\x82"
       "x",
       u"\uFFFD\uFFFDx", true},                                 // cut before another character
      {"\xC0\xAF", u"\uFFFD\uFFFD", true},                      // an overlong '/'
      {"\xE0\x80\xAF", u"\uFFFD\uFFFD\uFFFD", true},            // overlong in three bytes
      {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD", true},            // a surrogate
      {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD", true},  // beyond U+10FFFF
      {"\xFF"
       "z",
       u"\uFFFDz", true},  // no lead byte at all
  };
  for (const Case& c : cases) {
    bool malformed = false;
    EXPECT_EQ(utf16_from_utf8(c.utf8, &malformed), c.utf16) << c.utf8;
    EXPECT_EQ(malformed, c.malformed) << c.utf8;
    EXPECT_EQ(utf16_from_utf8(c.utf8), c.utf16) << c.utf8;
  }
}

}  // namespace
}  // namespace kit
