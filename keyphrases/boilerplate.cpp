#include "keyphrases/boilerplate.h"

#include <algorithm>
#include <cmath>

#include "keyphrases/phrase_hash.h"

namespace somlabel::keyphrases {
namespace {

// Box-drawing characters are U+2500 to U+257F: E2 94 80 to E2 95 BF in UTF-8.
std::size_t box_drawing_at(std::string_view text, std::size_t i) {
  if (i + 2 < text.size() && static_cast<unsigned char>(text[i]) == 0xE2 &&
      (static_cast<unsigned char>(text[i + 1]) == 0x94 ||
       static_cast<unsigned char>(text[i + 1]) == 0x95))
    return 3;
  return 0;
}

bool is_blank(char c) { return c == ' ' || c == '\r' || c == '\f' || c == '\v'; }

bool is_alnum(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
         static_cast<unsigned char>(c) >= 0x80;
}

}  // namespace

std::uint64_t boilerplate_min_documents(std::uint64_t n_documents) {
  const auto by_share =
      static_cast<std::uint64_t>(std::ceil(kBoilerplateLineShare * double(n_documents)));
  return std::max(kMinBoilerplateLineDocuments, by_share);
}

std::vector<TextSegment> text_segments(std::string_view text) {
  std::vector<TextSegment> out;
  // The key hashes a line break first: no stemmed phrase holds one.
  const std::uint64_t seed = phrase_hash_extend(kPhraseHashSeed, "\n");
  std::uint64_t h = seed;
  std::size_t begin = 0, end = 0;  // the segment's first and past its last non-blank byte
  std::size_t line = 0;
  bool open = false, text_seen = false, blank_pending = false;
  auto close = [&] {
    if (open && text_seen) out.push_back({begin, end, line, phrase_key(h)});
    h = seed;
    open = text_seen = blank_pending = false;
  };
  for (std::size_t i = 0; i < text.size();) {
    const char c = text[i];
    if (const std::size_t box = box_drawing_at(text, i);
        box != 0 || c == '\n' || c == '\t' || c == '|') {
      close();
      line += c == '\n';
      i += box != 0 ? box : 1;
      continue;
    }
    if (is_blank(c)) {
      blank_pending = open;
      ++i;
      continue;
    }
    if (!open) {
      open = true;
      begin = i;
    } else if (blank_pending) {
      h = phrase_hash_extend(h, " ");
    }
    blank_pending = false;
    const char lowered = c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
    h = phrase_hash_extend(h, std::string_view(&lowered, 1));
    text_seen = text_seen || is_alnum(c);
    end = ++i;
  }
  close();
  return out;
}

}  // namespace somlabel::keyphrases
