// The key-file line and the number conversions behind it.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "common/keyfile_line.h"
#include "common/numbers.h"
#include "fuzz/fuzz_util.h"

namespace {

bool inside(std::string_view part, std::string_view whole) {
  return part.data() >= whole.data() && part.data() + part.size() <= whole.data() + whole.size();
}

bool scores_match(double written, double read) {
  if (std::isnan(written)) return std::isnan(read);
  if (std::isinf(written)) return read == written;
  return std::fabs(written - read) <= 1e-6 + 1e-12 * std::fabs(written);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view line(reinterpret_cast<const char*>(data), size);
  (void)somlabel::to_int(line);
  (void)somlabel::to_double(line);

  somlabel::KeyLine fields;
  if (somlabel::split_keyfile_line(line, fields) != somlabel::KeyLineStatus::ok) return 0;
  if (fields.phrase.empty() || fields.stemmed_phrase.empty()) fuzzutil::fail("an empty field");
  if (!inside(fields.phrase, line) || !inside(fields.stemmed_phrase, line)) {
    fuzzutil::fail("a field points outside the line");
  }
  if (fields.phrase.find('\t') != std::string_view::npos ||
      fields.stemmed_phrase.find('\t') != std::string_view::npos) {
    fuzzutil::fail("a field holds a tab");
  }

  // What the tools write must read back as the same phrase line.
  if (fields.phrase.find('\n') != std::string_view::npos ||
      fields.stemmed_phrase.find('\n') != std::string_view::npos) {
    return 0;
  }
  fuzzutil::Output out;
  somlabel::write_phrase_line(out.get(), fields.phrase, fields.stemmed_phrase, fields.score);
  const std::string written = out.text();
  if (written.empty() || written.back() != '\n') fuzzutil::fail("a written line lacks its end");
  somlabel::KeyLine again;
  if (somlabel::split_keyfile_line(written, again) != somlabel::KeyLineStatus::ok) {
    fuzzutil::fail("a written line does not read back");
  }
  if (again.phrase != fields.phrase || again.stemmed_phrase != fields.stemmed_phrase) {
    fuzzutil::fail("a written line reads back other phrases");
  }
  if (!scores_match(fields.score, again.score)) fuzzutil::fail("a written score reads back wrong");
  return 0;
}
