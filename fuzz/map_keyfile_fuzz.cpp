// The map key file step: gathers the "$MODE1_PHRASES" blocks of a labelunit
// text, writes the map key file, and reads that file back as the map above
// will copy it in.
#include <cstdint>
#include <string>

#include "common/map_keys.h"
#include "common/settings.h"
#include "fuzz/fuzz_util.h"
#include "labelcalc/map_keyfile.h"
#include "labelcalc/phrase_table.h"

namespace {

size_t count_lines(const std::string& text) {
  size_t lines = 0;
  for (char c : text) lines += c == '\n';
  return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FILE* in = fuzzutil::input(data, size);
  somlabel::labelcalc::PhraseTable table;
  somlabel::LineReader reader(in);
  const somlabel::Result<somlabel::Told> gathered =
      somlabel::labelcalc::gather_mode1_blocks(reader, "fuzz.unit", table);
  std::fclose(in);
  if (!gathered) return 0;
  if (table.count() > somlabel::kMaxPhrases) fuzzutil::fail("the table grew past its capacity");

  const int number_of_phrases = size > 0 ? 1 + data[0] % 20 : 15;
  const int k = table.finish(number_of_phrases);
  if (k < 0 || k > table.count()) fuzzutil::fail("more phrases chosen than the table holds");
  if (table.count() >= number_of_phrases && k < number_of_phrases) {
    fuzzutil::fail("fewer phrases chosen than asked for");
  }
  for (int i = 1; i < table.count(); ++i) {
    if (table.entry(i - 1).score > table.entry(i).score) fuzzutil::fail("the table is not sorted");
  }
  fuzzutil::Output keyfile;
  table.write_block(keyfile.get(), k);
  const std::string written = keyfile.text();
  if (count_lines(written) != static_cast<size_t>(k) + 1) {
    fuzzutil::fail("the map key file does not hold its header and k lines");
  }

  // The map above reads this file as one more block; it must read whole.
  FILE* back = fuzzutil::input(reinterpret_cast<const uint8_t*>(written.data()), written.size());
  somlabel::labelcalc::PhraseTable again;
  somlabel::LineReader back_reader(back);
  if (!somlabel::labelcalc::gather_mode1_blocks(back_reader, "fuzz.unit", again)) {
    fuzzutil::fail("a written map key file does not read back");
  }
  std::fclose(back);
  if (again.count() > k) fuzzutil::fail("the map key file reads back more phrases than written");
  return 0;
}
