// Numbers in the option file, map files and key files, converted as the C
// library's atoi and strtod convert them.
#pragma once

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

}  // namespace somlabel
