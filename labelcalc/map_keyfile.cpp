#include "labelcalc/map_keyfile.h"

#include "common/io.h"
#include "common/keyfile_line.h"
#include "common/map_keys.h"
#include "common/map_names.h"
#include "common/numbers.h"

namespace somlabel::labelcalc {
namespace {

// The first two space-separated tokens of a line (tabs and the line end
// belong to the tokens).
void first_two_tokens(std::string_view line, std::string_view& first, std::string_view& second) {
  first = second = {};
  std::string_view* slots[] = {&first, &second};
  size_t pos = 0;
  for (std::string_view* slot : slots) {
    while (pos < line.size() && line[pos] == ' ') ++pos;
    if (pos == line.size()) return;
    size_t end = line.find(' ', pos);
    if (end == std::string_view::npos) end = line.size();
    *slot = line.substr(pos, end - pos);
    pos = end;
  }
}

Result cannot_read(const std::string& name, const char* reason) {
  std::fprintf(stderr, "labelcalc: cannot read %s: %s\n", name.c_str(), reason);
  return Result::failure();
}

}  // namespace

Result gather_mode1_blocks(LineReader& reader, std::string_view name, PhraseTable& table) {
  std::string_view line;
  long phrase_linecount = 0;
  while (reader.next(line)) {
    if (phrase_linecount <= 0) {
      std::string_view key, value;
      first_two_tokens(line, key, value);
      if (key == keys::kMode1Phrases) phrase_linecount = to_int(value);
      continue;
    }
    --phrase_linecount;
    if (!merge_key_line(table, line, name, TableKind::map)) return Result::failure();
  }
  return {};
}

Result write_map_keyfile(const std::string& map, const Settings& settings) {
  const std::string unitlabelname = labelunit_name(map);
  File labelunit;
  if (!labelunit.open(unitlabelname, "r")) {
    std::fprintf(stderr, "Couldn't open labelunit file %s ! (%s)\n", unitlabelname.c_str(),
                 errno_text().c_str());
    return Result::failure();
  }
  if (!labelunit.is_regular()) return cannot_read(unitlabelname, kNotRegular);
  const std::string keyfilepath = key_file_name(settings, base_name(map));
  File keyfile;
  if (!keyfile.create(keyfilepath)) {
    const std::string reason = errno_text();
    std::fprintf(stderr, "Couldn't write keyfile %s !\n", keyfilepath.c_str());
    std::fprintf(stderr, "labelcalc: %s: %s\n", keyfilepath.c_str(), reason.c_str());
    return Result::failure();
  }
  PhraseTable table;
  LineReader reader(labelunit.get());
  if (!gather_mode1_blocks(reader, base_name(map), table)) return Result::failure();
  if (!reader.failure().empty()) return cannot_read(unitlabelname, reader.failure().c_str());
  table.write_block(keyfile.get(), table.finish(settings.number_of_phrases));
  return reported("labelcalc", keyfile.close());
}

}  // namespace somlabel::labelcalc
