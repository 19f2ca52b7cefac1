#include "labelcalc/mode1_step.h"

#include <cerrno>
#include <cstring>
#include <string>

#include "common/format_texts.h"
#include "common/io.h"
#include "common/keyfile_line.h"
#include "common/map_names.h"
#include "common/messages.h"
#include "labelcalc/phrase_table.h"

namespace somlabel::labelcalc {
namespace {

// Merges every line of one document key file; false after printing why.
Result<Told> merge_key_file(FILE* in, const std::string& name, PhraseTable& table) {
  LineReader reader(in);
  std::string_view line;
  while (reader.next(line)) {
    if (!merge_key_line(table, line, name, TableKind::unit)) return Told{};
  }
  if (!reader.failure().empty()) {
    return fail("cannot read %s: %s", name.c_str(), reader.failure().c_str());
  }
  return {};
}

}  // namespace

Result<Told> do_the_calcman(const unit& curr_unit, FILE* opf, const Settings& settings) {
  PhraseTable table;
  const size_t documents = curr_unit.label_document_count();
  for (size_t i = 0; i < documents; ++i) {
    const std::string name = key_file_name(settings, curr_unit.filelist[i]);
    File key_file;
    if (!key_file.open(name, "r")) {
      quote(texts::kCouldNotOpenFile, name.c_str(), errno_text().c_str());
      return Told{};
    }
    if (!merge_key_file(key_file.get(), name, table)) return Told{};
  }
  table.write_block(opf, table.finish(settings.number_of_phrases));
  return {};
}

}  // namespace somlabel::labelcalc
