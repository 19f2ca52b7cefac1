// Text from the labelunit files on its way into the site pages and the search
// data. Names and phrases are bytes as other programs wrote them: they may be
// invalid UTF-8 and hold control characters. Pages and search data are valid
// UTF-8 throughout; each invalid sequence shows as U+FFFD, decoded as browsers
// decode it, so what a page shows and what the search matches agree.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "labelweb/page_text.h"

namespace somlabel::labelsite {

using labelweb::append_link_part;  // as the map pages write links
using labelweb::is_link_safe;
using labelweb::PageText;

inline constexpr char32_t kReplacementCharacter = 0xFFFD;

// Decodes the character at text[pos] and advances `pos` past it. An invalid
// sequence gives U+FFFD and consumes its maximal valid prefix (at least one
// byte), as the WHATWG decoder does.
[[nodiscard]] char32_t decode_utf8(std::string_view text, size_t& pos);

// Appends `text` for HTML text or a quoted attribute value: & < > " ' as
// entities, invalid UTF-8, NUL and the control characters that HTML forbids
// as U+FFFD.
void append_html_text(PageText& out, std::string_view text);

// Appends `text` as a JavaScript string literal in double quotes, in ASCII:
// other characters as \uXXXX (surrogate pairs beyond the BMP), invalid UTF-8
// as \ufffd, "<" escaped so that no "</script" can end an inline script.
void append_js_string(PageText& out, std::string_view text);

// Whether append_js_string writes `text` unchanged between the quotes:
// printable ASCII other than " \ <.
[[nodiscard]] bool is_js_plain(std::string_view text);

// Whether `text` is UTF-8 throughout (U+FFFD written as such counts).
[[nodiscard]] bool is_valid_utf8(std::string_view text);

// Appends the text a search matches against: each character lower-cased,
// invalid UTF-8 as U+FFFD, runs of blanks (space, tab, line end) as one space,
// blanks at either end dropped. UTF-8, ordered by code point when compared
// bytewise.
void append_search_key(std::string& out, std::string_view text);

// Where the words of `key` (a search key) start, in bytes: at 0, and at
// each letter that follows an ASCII character other than a letter or a digit
// (characters beyond ASCII count as letters). At most `max_starts`.
// A search finds an entry by the start of any of these words.
[[nodiscard]] int word_starts(std::string_view key, size_t* starts, int max_starts);

}  // namespace somlabel::labelsite
