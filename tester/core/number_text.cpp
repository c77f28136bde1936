#include "tester/core/number_text.h"

#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>

namespace zorntest {
namespace {

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; }
bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

// Walks the text's characters with the blanks left out.
class NumberCursor {
 public:
  explicit NumberCursor(std::u16string_view text) : text_(text) { SkipBlanks(); }

  [[nodiscard]] bool AtEnd() const { return position_ >= text_.size(); }
  [[nodiscard]] char16_t Peek() const { return AtEnd() ? u'\0' : text_[position_]; }
  void Advance() {
    ++position_;
    SkipBlanks();
  }
  [[nodiscard]] std::size_t Position() const { return position_; }
  void Rewind(std::size_t position) { position_ = position; }

 private:
  void SkipBlanks() {
    while (position_ < text_.size() && IsBlank(text_[position_])) ++position_;
  }

  std::u16string_view text_;
  std::size_t position_ = 0;
};

// Copies the digits under the cursor to `out`; answers how many there were.
std::size_t TakeDigits(NumberCursor& cursor, std::string& out) {
  std::size_t count = 0;
  while (IsDigit(cursor.Peek())) {
    out.push_back(static_cast<char>(cursor.Peek()));
    cursor.Advance();
    ++count;
  }
  return count;
}

void TakeSign(NumberCursor& cursor, std::string& out) {
  if (cursor.Peek() == u'+' || cursor.Peek() == u'-') {
    out.push_back(static_cast<char>(cursor.Peek()));
    cursor.Advance();
  }
}

// The exponent part, only when it holds at least one digit; otherwise nothing is taken.
void TakeExponent(NumberCursor& cursor, std::string& out) {
  if (cursor.Peek() != u'e' && cursor.Peek() != u'E') return;
  const std::size_t start = cursor.Position();
  std::string exponent = "e";
  cursor.Advance();
  TakeSign(cursor, exponent);
  if (TakeDigits(cursor, exponent) == 0) {
    cursor.Rewind(start);
    return;
  }
  out += exponent;
}

}  // namespace

double LeadingNumber(std::u16string_view text) {
  NumberCursor cursor(text);
  // The number is gathered as plain ASCII in the C library's own notation, so that its
  // conversion does not depend on any locale setting.
  std::string number;
  TakeSign(cursor, number);
  std::size_t digits = TakeDigits(cursor, number);
  if (cursor.Peek() == u'.') {
    number.push_back('.');
    cursor.Advance();
    digits += TakeDigits(cursor, number);
  }
  if (digits == 0) return 0.0;
  TakeExponent(cursor, number);
  // strtod answers +-HUGE_VAL (an infinity) on overflow and 0 or a subnormal on underflow.
  return std::strtod(number.c_str(), nullptr);
}

std::int32_t NearestInt32(double value) {
  constexpr double kMax = std::numeric_limits<std::int32_t>::max();
  constexpr double kMin = std::numeric_limits<std::int32_t>::min();
  if (std::isnan(value)) return 0;
  if (value >= kMax) return std::numeric_limits<std::int32_t>::max();
  if (value <= kMin) return std::numeric_limits<std::int32_t>::min();
  double whole = std::floor(value);
  const double fraction = value - whole;
  if (fraction > 0.5 || (fraction == 0.5 && std::fmod(whole, 2.0) != 0.0)) whole += 1.0;
  return static_cast<std::int32_t>(whole);
}

std::int32_t NumberInText(std::u16string_view text) { return NearestInt32(LeadingNumber(text)); }

}  // namespace zorntest
