#include "common/numbers.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace somlabel {

int to_int(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  long long value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > static_cast<long long>(INT_MAX) + 1) value = static_cast<long long>(INT_MAX) + 1;
  }
  if (negative) value = -value;
  if (value > INT_MAX) value = INT_MAX;
  return static_cast<int>(value);
}

namespace {

// White space as strtod skips it in the C locale.
bool is_c_space(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// A decimal number (the scores the extractor writes) converted without
// strtod. from_chars rounds correctly, as strtod does, so the value is the
// same; it knows no leading blanks, '+' or hexadecimal, and reports values out
// of range instead of converting them, so those cases are left to strtod.
bool convert_decimal(std::string_view text, double& value) {
  size_t i = 0;
  while (i < text.size() && is_c_space(text[i])) ++i;
  const bool plus = i < text.size() && text[i] == '+';
  if (plus) ++i;
  const size_t start = i;
  if (!plus && i < text.size() && text[i] == '-') ++i;
  if (i == text.size() || text[i] < '0' || text[i] > '9') return false;
  if (text[i] == '0' && i + 1 < text.size() && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    return false;
  }
  const auto result = std::from_chars(text.data() + start, text.data() + text.size(), value,
                                      std::chars_format::general);
  return result.ec == std::errc();
}

// The scores the tools write ("%f": a few digits, a point, six more) by the
// exact shortcut: when the digits as a whole number m stay within 2^53 and
// there are at most 22 after the point, m and 10^k are both exact doubles,
// and one correctly rounded division gives the nearest double to m / 10^k,
// which is what strtod returns. Anything else (an exponent, more digits,
// hexadecimal, inf) is left to the full conversion.
bool convert_short_decimal(std::string_view text, double& value) {
  static constexpr double kPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                            1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                            1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  size_t i = 0;
  // White space as strtod skips it, but a line end ends the number's line.
  while (i < text.size() && text[i] != '\n' && is_c_space(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  std::uint64_t digits = 0;
  int digit_count = 0;
  int after_point = -1;  // digits after the point; -1 before one is seen
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c >= '0' && c <= '9') {
      if (++digit_count > 19) return false;
      digits = digits * 10 + static_cast<unsigned>(c - '0');
      if (after_point >= 0) ++after_point;
    } else if (c == '.' && after_point < 0) {
      after_point = 0;
    } else {
      break;
    }
  }
  if (digit_count == 0) return false;
  if (i < text.size()) {
    const char next = text[i];
    if (next == 'e' || next == 'E' || next == 'x' || next == 'X') return false;
  }
  if (digits > (std::uint64_t{1} << 53) || after_point > 22) return false;
  value = static_cast<double>(digits) / kPowersOfTen[std::max(after_point, 0)];
  if (negative) value = -value;
  return true;
}

}  // namespace

double to_double(std::string_view text) {
  double value = 0;
  if (convert_short_decimal(text, value)) return value;
  // The number is read from the text up to its first NUL and its first line
  // end, as the strtod call below sees it.
  std::string_view line = text.substr(0, text.find('\0'));
  line = line.substr(0, line.find('\n'));
  if (line.size() < 127 && convert_decimal(line, value)) return value;
  // strtod needs a terminated string; the numbers we read are short, so copy
  // at most a bounded prefix (white space, sign, digits, exponent).
  char buffer[128];
  size_t n = 0;
  size_t i = 0;
  while (i < text.size() && n < sizeof buffer - 1) {
    const char c = text[i++];
    if (c == '\0') break;
    buffer[n++] = c;
    if (c == '\n') break;
  }
  buffer[n] = '\0';
  if (n == sizeof buffer - 1 && i < text.size()) {
    // A number longer than the buffer: convert the whole field.
    const std::string whole(text.substr(0, text.find('\0')));
    return std::strtod(whole.c_str(), nullptr);
  }
  return std::strtod(buffer, nullptr);
}

std::optional<double> parse_decimal(std::string_view text) {
  double value = 0;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value, std::chars_format::general);
  if (text.empty() || ec != std::errc() || ptr != end || !std::isfinite(value)) return std::nullopt;
  return value;
}

}  // namespace somlabel
