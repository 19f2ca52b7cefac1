#include "labelcalc/map_keyfile.h"

#include "common/format_texts.h"
#include "common/io.h"
#include "common/keyfile_line.h"
#include "common/map_keys.h"
#include "common/map_names.h"
#include "common/messages.h"
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

Result<Told> cannot_read(const std::string& name, const char* reason) {
  return fail("cannot read %s: %s", name.c_str(), reason);
}

}  // namespace

Result<Told> gather_mode1_blocks(LineReader& reader, std::string_view name, PhraseTable& table) {
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
    if (!merge_key_line(table, line, name, TableKind::map)) return Told{};
  }
  return {};
}

Result<Told> write_map_keyfile(const std::string& map, const Settings& settings) {
  const std::string unitlabelname = labelunit_name(map);
  File labelunit;
  if (!labelunit.open(unitlabelname, "r")) {
    quote(texts::kCouldNotOpenLabelunit, unitlabelname.c_str(), errno_text().c_str());
    return Told{};
  }
  if (!labelunit.is_regular()) return cannot_read(unitlabelname, kNotRegular);
  const std::string keyfilepath = key_file_name(settings, base_name(map));
  File keyfile;
  if (!keyfile.create(keyfilepath)) {
    const std::string reason = errno_text();
    quote(texts::kCouldNotWriteKeyfile, keyfilepath.c_str());
    return fail("%s: %s", keyfilepath.c_str(), reason.c_str());
  }
  PhraseTable table;
  LineReader reader(labelunit.get());
  if (!gather_mode1_blocks(reader, base_name(map), table)) return Told{};
  if (!reader.failure().empty()) return cannot_read(unitlabelname, reader.failure().c_str());
  table.write_block(keyfile.get(), table.finish(settings.number_of_phrases));
  return told(keyfile.close());
}

}  // namespace somlabel::labelcalc
