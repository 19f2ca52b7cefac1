// Feeds arbitrary bytes to the tokenizer, lower-casing and candidate
// collection; checks that words stay inside the input and come out as valid UTF-8.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include <utf8proc.h>

#include "keyphrases/candidates.h"
#include "text/tokenizer.h"

namespace {

bool valid_utf8(std::string_view s) {
  return utf8proc_decompose(reinterpret_cast<const utf8proc_uint8_t*>(s.data()),
                            static_cast<utf8proc_ssize_t>(s.size()), nullptr, 0,
                            UTF8PROC_STABLE) >= 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  std::size_t previous_end = 0;
  for (const somlabel::text::Token& t : somlabel::text::tokenize(text)) {
    if (t.text.empty() || t.offset < previous_end || t.offset + t.text.size() > size ||
        t.text.data() != text.data() + t.offset || !valid_utf8(t.text) ||
        !valid_utf8(somlabel::text::lower(t.text)))
      std::abort();
    previous_end = t.offset + t.text.size();
  }
  static somlabel::keyphrases::WordNormalizer words(somlabel::text::Language::english);
  auto doc = somlabel::keyphrases::collect_candidates(text, words);
  for (const auto& c : doc.candidates)
    if (c.count == 0 || c.length < 1 || c.length > somlabel::keyphrases::kMaxPhraseWords ||
        !valid_utf8(somlabel::keyphrases::surface_form(doc, c)) ||
        !valid_utf8(somlabel::keyphrases::stemmed_form(doc, c)))
      std::abort();
  return 0;
}
