#include "labelsite/web_text.h"

#include <utf8proc.h>

#include <algorithm>
#include <array>

namespace somlabel::labelsite {
namespace {

constexpr char kLowerHex[] = "0123456789abcdef";

using ByteTable = std::array<bool, 256>;

constexpr bool is_ascii_alnum(unsigned c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

// ASCII bytes that HTML text takes as they are: printable ones other than
// & < > " ', and tab, line feed and carriage return.
constexpr ByteTable kHtmlPlain = [] {
  ByteTable table{};
  for (unsigned c = 0x20; c < 0x7f; ++c) {
    table[c] = c != '&' && c != '<' && c != '>' && c != '"' && c != '\'';
  }
  table['\t'] = table['\n'] = table['\r'] = true;
  return table;
}();

// ASCII bytes that a JavaScript string literal takes as they are.
constexpr ByteTable kJsPlain = [] {
  ByteTable table{};
  for (unsigned c = 0x20; c < 0x7f; ++c) table[c] = c != '"' && c != '\\' && c != '<';
  return table;
}();

// Bytes that a search key takes as they are: ASCII other than blanks,
// control characters and upper-case letters.
constexpr ByteTable kKeyPlain = [] {
  ByteTable table{};
  for (unsigned c = 0x21; c < 0x7f; ++c) table[c] = !(c >= 'A' && c <= 'Z');
  return table;
}();

// Bytes after which a letter starts a word: ASCII other than letters and digits.
constexpr ByteTable kWordSeparator = [] {
  ByteTable table{};
  for (unsigned c = 0; c < 0x80; ++c) table[c] = !is_ascii_alnum(c);
  return table;
}();

// Bytes that start a letter: ASCII letters and the lead bytes of characters
// beyond ASCII.
constexpr ByteTable kLetterStart = [] {
  ByteTable table{};
  for (unsigned c = 0; c < table.size(); ++c) {
    table[c] = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c >= 0xC0;
  }
  return table;
}();

// Characters that HTML forbids in text (control characters other than
// blanks, noncharacters): they are parse errors, shown as U+FFFD.
bool forbidden_in_html(char32_t c) {
  if (c < 0x20) return c != '\t' && c != '\n' && c != '\f' && c != '\r';
  if (c >= 0x7f && c <= 0x9f) return true;
  if (c >= 0xFDD0 && c <= 0xFDEF) return true;
  return (c & 0xFFFE) == 0xFFFE;
}

template <typename Text>
void append_utf8(Text& out, char32_t c) {
  char bytes[4];
  size_t size = 0;
  if (c < 0x80) {
    bytes[size++] = static_cast<char>(c);
  } else if (c < 0x800) {
    bytes[size++] = static_cast<char>(0xC0 | (c >> 6));
    bytes[size++] = static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    bytes[size++] = static_cast<char>(0xE0 | (c >> 12));
    bytes[size++] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    bytes[size++] = static_cast<char>(0x80 | (c & 0x3F));
  } else {
    bytes[size++] = static_cast<char>(0xF0 | (c >> 18));
    bytes[size++] = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    bytes[size++] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    bytes[size++] = static_cast<char>(0x80 | (c & 0x3F));
  }
  out.append(bytes, size);
}

void append_js_unit(PageText& out, unsigned unit) {
  const char code[6] = {'\\',
                        'u',
                        kLowerHex[(unit >> 12) & 0xf],
                        kLowerHex[(unit >> 8) & 0xf],
                        kLowerHex[(unit >> 4) & 0xf],
                        kLowerHex[unit & 0xf]};
  out.append(code, sizeof code);
}

char32_t to_lower(char32_t c) {
  if (c < 0x80) return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c;
  return static_cast<char32_t>(utf8proc_tolower(static_cast<utf8proc_int32_t>(c)));
}

bool is_blank(char32_t c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

}  // namespace

char32_t decode_utf8(std::string_view text, size_t& pos) {
  const auto lead = static_cast<unsigned char>(text[pos++]);
  if (lead < 0x80) return lead;
  int needed = 0;
  char32_t c = 0;
  unsigned lower = 0x80;
  unsigned upper = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    needed = 1;
    c = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    needed = 2;
    c = lead & 0x0F;
    if (lead == 0xE0) lower = 0xA0;
    if (lead == 0xED) upper = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    needed = 3;
    c = lead & 0x07;
    if (lead == 0xF0) lower = 0x90;
    if (lead == 0xF4) upper = 0x8F;  // nothing beyond U+10FFFF
  } else {
    return kReplacementCharacter;
  }
  for (int i = 0; i < needed; ++i) {
    if (pos == text.size()) return kReplacementCharacter;
    const auto next = static_cast<unsigned char>(text[pos]);
    if (next < lower || next > upper) return kReplacementCharacter;  // `next` starts anew
    c = (c << 6) | (next & 0x3F);
    ++pos;
    lower = 0x80;
    upper = 0xBF;
  }
  return c;
}

void append_html_text(PageText& out, std::string_view text) {
  size_t plain_start = 0;
  size_t pos = 0;
  while (pos < text.size()) {
    const auto byte = static_cast<unsigned char>(text[pos]);
    if (kHtmlPlain[byte]) {
      ++pos;
      continue;
    }
    out.append(text.substr(plain_start, pos - plain_start));
    const size_t start = pos;
    const char32_t c = decode_utf8(text, pos);
    switch (c) {
      case '&': out.append("&amp;"); break;
      case '<': out.append("&lt;"); break;
      case '>': out.append("&gt;"); break;
      case '"': out.append("&quot;"); break;
      case '\'': out.append("&#39;"); break;
      default:
        if (forbidden_in_html(c)) {
          append_utf8(out, kReplacementCharacter);
        } else if (c == kReplacementCharacter) {
          append_utf8(out, c);  // also for bytes that were no UTF-8
        } else {
          out.append(text.substr(start, pos - start));
        }
    }
    plain_start = pos;
  }
  out.append(text.substr(plain_start));
}

void append_js_string(PageText& out, std::string_view text) {
  out.push_back('"');
  size_t plain_start = 0;
  size_t pos = 0;
  while (pos < text.size()) {
    if (kJsPlain[static_cast<unsigned char>(text[pos])]) {
      ++pos;
      continue;
    }
    out.append(text.substr(plain_start, pos - plain_start));
    const char32_t c = decode_utf8(text, pos);
    if (c == '"' || c == '\\') {
      const char escaped[2] = {'\\', static_cast<char>(c)};
      out.append(escaped, 2);
    } else if (c < 0x10000) {
      append_js_unit(out, c);
    } else {
      const char32_t v = c - 0x10000;
      append_js_unit(out, 0xD800 + (v >> 10));
      append_js_unit(out, 0xDC00 + (v & 0x3FF));
    }
    plain_start = pos;
  }
  out.append(text.substr(plain_start));
  out.push_back('"');
}

void append_search_key(std::string& out, std::string_view text) {
  const size_t begin = out.size();
  bool blank_pending = false;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = pos;
    while (end < text.size() && kKeyPlain[static_cast<unsigned char>(text[end])]) ++end;
    if (end == pos) {
      const char32_t c = decode_utf8(text, end);
      if (is_blank(c)) {
        blank_pending = out.size() != begin;
        pos = end;
        continue;
      }
      if (blank_pending) out.push_back(' ');
      append_utf8(out, to_lower(c));
    } else {
      if (blank_pending) out.push_back(' ');
      out.append(text.data() + pos, end - pos);
    }
    blank_pending = false;
    pos = end;
  }
}

bool is_js_plain(std::string_view text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return kJsPlain[static_cast<unsigned char>(c)]; });
}

bool is_valid_utf8(std::string_view text) {
  size_t pos = 0;
  while (pos < text.size() && static_cast<unsigned char>(text[pos]) < 0x80) ++pos;
  while (pos < text.size()) {
    const size_t start = pos;
    if (decode_utf8(text, pos) == kReplacementCharacter &&
        text.substr(start, pos - start) != "\xEF\xBF\xBD") {
      return false;
    }
  }
  return true;
}

int word_starts(std::string_view key, size_t* starts, int max_starts) {
  if (key.empty() || max_starts < 1) return 0;
  int count = 0;
  starts[count++] = 0;
  for (size_t i = 1; i < key.size() && count < max_starts; ++i) {
    if (kWordSeparator[static_cast<unsigned char>(key[i - 1])] &&
        kLetterStart[static_cast<unsigned char>(key[i])]) {
      starts[count++] = i;
    }
  }
  return count;
}

}  // namespace somlabel::labelsite
