// The conversion glue: which reader a document goes to, the walks over the
// HTML and Markdown trees, the encodings and the cut. The first byte picks the
// name's ending and whether the document goes on; PDFs are left to poppler's
// own fuzzing.
#include <cstdint>
#include <string>
#include <string_view>

#include "convert/convert.h"
#include "fuzz/fuzz_util.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  constexpr const char* kNames[] = {"a.txt", "a.html", "a.md", "a"};
  const char* name = kNames[data[0] & 3];
  const bool more = (data[0] & 4) != 0;
  std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
  if (bytes.size() > somlabel::kMaxDocumentBytes) bytes.resize(somlabel::kMaxDocumentBytes);
  using somlabel::convert::Format;
  if (somlabel::convert::format_of(name, bytes) == Format::pdf) return 0;
  const somlabel::convert::Converted converted =
      somlabel::convert::convert_bytes(name, bytes, more);
  if (converted.passed_over.empty()) {
    if (!somlabel::convert::valid_utf8(converted.text, false)) fuzzutil::fail("text not UTF-8");
    if (!somlabel::has_words(converted.text)) fuzzutil::fail("a document without words");
    if (converted.text.size() > somlabel::kMaxDocumentBytes)
      fuzzutil::fail("text beyond the bound");
    if (converted.same && converted.text != bytes) fuzzutil::fail("same, yet changed");
  } else if (!converted.text.empty()) {
    fuzzutil::fail("text of a document passed over");
  }
  std::string hyphens = bytes;
  somlabel::convert::join_hyphenated(hyphens);
  if (hyphens.size() > bytes.size()) fuzzutil::fail("joining hyphens made the text longer");
  return 0;
}
