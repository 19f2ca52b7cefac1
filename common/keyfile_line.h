// The key-file line: phrase, tab, stemmed phrase, tab, score.
#pragma once

#include <cstdio>
#include <string_view>

namespace somlabel {

enum class KeyLineStatus {
  ok,
  no_second_field,  // also a line with no field at all (empty, or only tabs)
  no_third_field,
};

struct KeyLine {
  std::string_view phrase;
  std::string_view stemmed_phrase;
  double score = 0.0;
};

// Splits one line as read (newline included, if any). Only the tab
// separates; a run of tabs counts as one and leading tabs are skipped. The
// score is the number at the start of the third field; text behind a third
// tab is ignored. The views point into `line`.
[[nodiscard]] KeyLineStatus split_keyfile_line(std::string_view line, KeyLine& out);

// The three lines a reader prints for a line that lacks a field; `name` is
// the file the caller names.
void print_keyfile_format_error(KeyLineStatus status, std::string_view name);

// Writes "phrase<TAB>stemmed<TAB>score\n" with six decimals.
void write_phrase_line(FILE* out, std::string_view phrase, std::string_view stemmed, double score);

}  // namespace somlabel
