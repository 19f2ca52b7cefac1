// The option file and the process-file walk, for both tools.
#include <cstdint>
#include <string>

#include "common/frame.h"
#include "common/option_keys.h"
#include "common/settings.h"
#include "fuzz/fuzz_util.h"
#include "labelcalc/map_driver.h"
#include "labelweb/page_maker.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  for (const std::span<const somlabel::OptionKey> own_keys :
       {std::span<const somlabel::OptionKey>(somlabel::kLabelcalcKeys),
        std::span<const somlabel::OptionKey>(somlabel::kLabelwebKeys)}) {
    FILE* in = fuzzutil::input(data, size);
    somlabel::Settings settings;
    somlabel::LineReader lines(in);
    const somlabel::OptionResult result = somlabel::read_option_file(lines, own_keys, settings);
    std::fclose(in);
    if (result == somlabel::OptionResult::ok && (settings.mode < 0 || settings.mode > 2)) {
      fuzzutil::fail("an accepted option file left MODE outside 0..2");
    }
    for (const std::string* text : {&settings.path, &settings.keypath, &settings.model}) {
      if (!text->empty() && text->back() == '\n')
        fuzzutil::fail("a text setting kept its line end");
    }
  }

  // Every process-file line becomes one name: the path, then the line less
  // its line end.
  FILE* in = fuzzutil::input(data, size);
  size_t names = 0;
  size_t bytes = 0;
  somlabel::LineReader process_lines(in);
  const somlabel::Result<somlabel::Told> walked =
      somlabel::walk_process_file(process_lines, "p/", [&](std::string& name) {
        if (name.compare(0, 2, "p/") != 0) fuzzutil::fail("a name lost its path");
        ++names;
        bytes += name.size() - 2;
        return somlabel::Result<somlabel::Told>();
      });
  std::fclose(in);
  if (!walked) fuzzutil::fail("the walk failed although every map succeeded");
  size_t newlines = 0;
  for (size_t i = 0; i < size; ++i) newlines += data[i] == '\n';
  const size_t lines = newlines + (size > 0 && data[size - 1] != '\n' ? 1 : 0);
  if (names != lines) fuzzutil::fail("the walk did not make one name per line");
  if (bytes + newlines != size) fuzzutil::fail("the names do not hold the lines' bytes");
  return 0;
}
