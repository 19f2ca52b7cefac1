#include "text/tokenizer.h"

#include <utf8proc.h>

namespace somlabel::text {
namespace {

// One decoded character; `size` bytes long, `cp` < 0 for an invalid byte.
struct Char {
  utf8proc_int32_t cp;
  std::size_t size;
};

Char decode(std::string_view s, std::size_t i) {
  auto byte = static_cast<unsigned char>(s[i]);
  if (byte < 0x80) return {byte, 1};
  utf8proc_int32_t cp = -1;
  auto n = utf8proc_iterate(reinterpret_cast<const utf8proc_uint8_t*>(s.data() + i),
                            static_cast<utf8proc_ssize_t>(s.size() - i), &cp);
  if (n <= 0) return {-1, 1};
  return {cp, static_cast<std::size_t>(n)};
}

bool is_word_char(utf8proc_int32_t cp) {
  if (cp < 0) return false;
  if (cp < 0x80)
    return (cp >= 'a' && cp <= 'z') || (cp >= 'A' && cp <= 'Z') || (cp >= '0' && cp <= '9');
  switch (utf8proc_category(cp)) {
    case UTF8PROC_CATEGORY_LU:
    case UTF8PROC_CATEGORY_LL:
    case UTF8PROC_CATEGORY_LT:
    case UTF8PROC_CATEGORY_LM:
    case UTF8PROC_CATEGORY_LO:
    case UTF8PROC_CATEGORY_MN:
    case UTF8PROC_CATEGORY_MC:
    case UTF8PROC_CATEGORY_ME:
    case UTF8PROC_CATEGORY_ND:
    case UTF8PROC_CATEGORY_NL:
    case UTF8PROC_CATEGORY_NO: return true;
    default: return false;
  }
}

bool is_digit(utf8proc_int32_t cp) {
  if (cp < 0x80) return cp >= '0' && cp <= '9';
  return utf8proc_category(cp) == UTF8PROC_CATEGORY_ND;
}

// Characters kept inside a word when a word character stands on both sides.
bool is_joiner(utf8proc_int32_t cp) {
  return cp == '\'' || cp == '-' || cp == '.' || cp == 0x2019 || cp == 0x2010 || cp == 0x2011;
}

bool is_space(utf8proc_int32_t cp) {
  if (cp == ' ' || cp == '\t' || cp == '\n' || cp == '\r' || cp == '\f' || cp == '\v') return true;
  if (cp < 0x80) return false;
  auto cat = utf8proc_category(cp);
  return cat == UTF8PROC_CATEGORY_ZS || cat == UTF8PROC_CATEGORY_ZL || cat == UTF8PROC_CATEGORY_ZP;
}

bool starts_upper(std::string_view word) {
  Char c = decode(word, 0);
  if (c.cp < 0x80) return c.cp >= 'A' && c.cp <= 'Z';
  return utf8proc_category(c.cp) == UTF8PROC_CATEGORY_LU;
}

bool ends_sentence(utf8proc_int32_t cp) {
  return cp == '.' || cp == '!' || cp == '?' || cp == 0x2026 || cp == 0x3002 || cp == 0xA1 ||
         cp == 0xBF;
}

// Scans the input once; state says what the gap before the next word held.
class Tokenizer {
 public:
  explicit Tokenizer(std::string_view text) : text_(text) {}

  std::vector<Token> run() {
    std::vector<Token> out;
    out.reserve(text_.size() / 6 + 1);
    std::size_t i = 0;
    while (i < text_.size()) {
      Char c = decode(text_, i);
      if (is_word_char(c.cp)) {
        i = read_word(i, out);
      } else {
        note_gap(c.cp);
        i += c.size;
      }
    }
    return out;
  }

 private:
  void note_gap(utf8proc_int32_t cp) {
    if (cp == '\n') {
      if (++newlines_ >= 2) sentence_break_ = true;
      return;
    }
    if (is_space(cp)) return;
    if (ends_sentence(cp)) sentence_break_ = true;
    phrase_break_ = true;
  }

  std::size_t read_word(std::size_t start, std::vector<Token>& out) {
    std::size_t i = start;
    bool all_digits = true;
    while (i < text_.size()) {
      Char c = decode(text_, i);
      if (is_word_char(c.cp)) {
        all_digits = all_digits && is_digit(c.cp);
        i += c.size;
        continue;
      }
      if (!is_joiner(c.cp) || i + c.size >= text_.size()) break;
      Char next = decode(text_, i + c.size);
      if (!is_word_char(next.cp)) break;
      i += c.size;
    }
    Token t;
    t.text = text_.substr(start, i - start);
    t.offset = start;
    t.sentence_start = sentence_break_ || out.empty();
    // A line that starts with a capital after a line break is usually a new
    // heading or sentence (titles carry no period).
    bool capital_line = newlines_ > 0 && starts_upper(t.text);
    t.phrase_start = t.sentence_start || phrase_break_ || capital_line;
    t.is_number = all_digits;
    out.push_back(t);
    sentence_break_ = phrase_break_ = false;
    newlines_ = 0;
    return i;
  }

  std::string_view text_;
  bool sentence_break_ = false;
  bool phrase_break_ = false;
  int newlines_ = 0;
};

}  // namespace

std::vector<Token> tokenize(std::string_view text) { return Tokenizer(text).run(); }

std::string lower(std::string_view word) {
  std::string out;
  out.reserve(word.size());
  std::size_t i = 0;
  while (i < word.size()) {
    auto byte = static_cast<unsigned char>(word[i]);
    if (byte < 0x80) {
      out.push_back(static_cast<char>(byte >= 'A' && byte <= 'Z' ? byte + 32 : byte));
      ++i;
      continue;
    }
    Char c = decode(word, i);
    i += c.size;
    if (c.cp < 0) continue;
    utf8proc_uint8_t buf[4];
    auto n = utf8proc_encode_char(utf8proc_tolower(c.cp), buf);
    out.append(reinterpret_cast<const char*>(buf), static_cast<std::size_t>(n));
  }
  return out;
}

}  // namespace somlabel::text
