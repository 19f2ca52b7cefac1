// Numbers as the tools read them. The option file, map files and key files
// are converted as the C library's atoi and strtod convert them (to_int,
// to_double); command lines and the files our tools write for each other are
// read strictly (parse_whole, parse_decimal).
#pragma once

#include <charconv>
#include <concepts>
#include <limits>
#include <optional>
#include <string_view>

namespace somlabel {

// Decimal conversion as the option and map files use it: leading white space,
// an optional sign, then digits up to the first other character; no digits
// give 0. Values beyond the int range are clamped.
[[nodiscard]] int to_int(std::string_view text);

// Floating-point conversion of the text at the start of `text` (leading white
// space skipped, conversion stops at the first character that cannot belong
// to the number); no number gives 0.
[[nodiscard]] double to_double(std::string_view text);

// The whole of `text` as a decimal whole number within [min, max]: digits
// only (a leading "-" for a signed type), no blanks, no "+"; nullopt for
// anything else, a number out of range included.
template <std::integral Number>
[[nodiscard]] std::optional<Number> parse_whole(std::string_view text,
                                                Number min = std::numeric_limits<Number>::min(),
                                                Number max = std::numeric_limits<Number>::max()) {
  Number value{};
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (text.empty() || ec != std::errc() || ptr != end || value < min || value > max) {
    return std::nullopt;
  }
  return value;
}

// The whole of `text` as a finite decimal number ("2", "0.5", "1e-3"): no
// blanks, no "+", no hexadecimal, inf or nan; nullopt otherwise.
[[nodiscard]] std::optional<double> parse_decimal(std::string_view text);

}  // namespace somlabel
