// The somtrain command line: options, checks, and the run from documents to
// unit files. Exit codes in common/exit_codes.h.
#pragma once

#include <string>
#include <vector>

#include "somtrain/corpus.h"
#include "somtrain/hierarchy.h"
#include "somtrain/unit_file.h"

namespace somtrain {

struct Options {
  std::string documents;  // directory of plain-text documents
  std::string work_dir;   // where options, process files and OUTPUTPATH go
  std::string output_path = "output/";
  text::Language language = text::Language::english;
  VocabularyLimits vocabulary;
  HierarchySettings hierarchy;
};

// Parses argv into `options`. Returns -1 to go on, or the exit status to end
// with (after --help, or a usage error that has been printed).
[[nodiscard]] int parse_options(int argc, char** argv, Options& options);

// Reads the documents, trains the hierarchy and writes its files.
[[nodiscard]] int run(const Options& options);

[[nodiscard]] int run_cli(int argc, char** argv);

}  // namespace somtrain
