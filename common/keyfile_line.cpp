#include "common/keyfile_line.h"

#include "common/format_texts.h"
#include "common/io.h"
#include "common/messages.h"
#include "common/numbers.h"

namespace somlabel {
namespace {

// The next tab-separated field at or after `pos`, skipping runs of tabs.
bool next_field(std::string_view line, size_t& pos, std::string_view& field) {
  while (pos < line.size() && line[pos] == '\t') ++pos;
  if (pos >= line.size()) return false;
  size_t end = line.find('\t', pos);
  if (end == std::string_view::npos) end = line.size();
  field = line.substr(pos, end - pos);
  pos = end;
  return true;
}

}  // namespace

KeyLineStatus split_keyfile_line(std::string_view line, KeyLine& out) {
  size_t pos = 0;
  std::string_view score;
  if (!next_field(line, pos, out.phrase)) return KeyLineStatus::no_second_field;
  if (!next_field(line, pos, out.stemmed_phrase)) return KeyLineStatus::no_second_field;
  if (!next_field(line, pos, score)) return KeyLineStatus::no_third_field;
  out.score = to_double(score);
  return KeyLineStatus::ok;
}

void print_keyfile_format_error(KeyLineStatus status, std::string_view name) {
  quote(texts::kWrongKeyfileFormat, static_cast<int>(name.size()), name.data());
  quote("%s", status == KeyLineStatus::no_second_field ? texts::kDesiredFormatNoSecondField
                                                       : texts::kDesiredFormatNoThirdField);
  quote("%s", texts::kStartWithOptionA);
}

void write_phrase_line(FILE* out, std::string_view phrase, std::string_view stemmed, double score) {
  char number[512];
  const int length = std::snprintf(number, sizeof number, "%f\n", score);
  put(out, phrase);
  put(out, "\t");
  put(out, stemmed);
  put(out, "\t");
  put(out, std::string_view(number, static_cast<size_t>(length)));
}

}  // namespace somlabel
