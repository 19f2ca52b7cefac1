// The steps from a folder of documents to the pages of its maps and their
// site, each one run of one tool. A step function only says what to run; the runner (runner.h)
// starts it here, and a batch system could submit the same command instead.
#pragma once

#include <string>
#include <vector>

namespace somlabel::driver {

// Where the files of one corpus live. Every path is absolute. The maps'
// own files (unit files, labelunit files, pages, key files) lie where the
// option file says, below `out`.
struct Layout {
  std::string documents;  // DOCS: the user's documents, only ever read
  std::string out;        // OUT: everything somlabel writes

  // The documents' text, by the same names (convert/text_store.h): what the
  // tools read; the pages link to the documents themselves.
  [[nodiscard]] std::string texts() const { return out + "/text"; }
  [[nodiscard]] std::string model() const { return out + "/model"; }
  [[nodiscard]] std::string option_file() const { return out + "/options"; }
  [[nodiscard]] std::string process() const { return out + "/process"; }
  [[nodiscard]] std::string process_web() const { return out + "/process.web"; }
  // The map options of the last map training, one a line; its time stamp
  // is when the maps were last trained.
  [[nodiscard]] std::string map_options() const { return out + "/map-options"; }
  [[nodiscard]] std::string logs() const { return out + "/logs/"; }
  // What labelsite found in the documents' text, for its next run.
  [[nodiscard]] std::string site_cache() const { return out + "/site-text.cache"; }
};

// A path the option file gives, as the tools resolve it from OUT, where
// they run: absolute, or below `out`.
[[nodiscard]] inline std::string from_out(const std::string& out, const std::string& path) {
  return !path.empty() && path.front() == '/' ? path : out + "/" + path;
}

// The programs the steps run, by path.
struct Tools {
  std::string keyphrases;
  std::string somtrain;
  std::string labelcalc;
  std::string labelweb;
  std::string labelsite;
};

// One run of one tool.
struct Command {
  std::string step;               // the step's name, as messages and logs show it
  std::vector<std::string> argv;  // argv[0] is the tool's path
  std::string directory;          // working directory
  std::string path_prefix;        // a directory put first on PATH, or empty
};

// What the extractor steps take from the map options.
struct ExtractorOptions {
  std::string language;  // empty: the default
  std::string jobs;      // empty: all cores
};

// Phrases per document key file (keyphrases docs --for-labels); labelcalc sums
// them over a unit and keeps NUMBEROFPHRASES. With 10, a unit's labels missed
// every phrase that was the 11th of each of its documents; 30 raised the share
// of a unit's documents that hold its top label on every collection tried
// (bench/labels.sh), and 50 only a little more on full papers.
inline constexpr int kPhrasesPerDocument = 30;

// somtrain: unit files, process files and the option file from the documents.
[[nodiscard]] Command train_maps(const Layout& layout, const Tools& tools,
                                 const std::vector<std::string>& map_options);

// keyphrases train: the extractor model from the documents.
[[nodiscard]] Command train_model(const Layout& layout, const Tools& tools,
                                  const ExtractorOptions& options);

// keyphrases docs: a key file per document in `key_dir`, named with
// `ending`; with `only_changed`, only for documents newer than their key file.
[[nodiscard]] Command write_key_files(const Layout& layout, const Tools& tools,
                                      const ExtractorOptions& options, const std::string& key_dir,
                                      const std::string& ending, bool only_changed);

// labelcalc over the maps named in `process_file`; it finds the extractor,
// named without a directory in the option file, first on PATH.
[[nodiscard]] Command label_maps(const Layout& layout, const Tools& tools,
                                 const std::string& process_file);

// labelweb over the labelunit files named in `process_file`.
[[nodiscard]] Command write_pages(const Layout& layout, const Tools& tools,
                                  const std::string& process_file);

// labelsite: index.html, the map view, the document and phrase indexes, the
// search data and the site's labels of the whole hierarchy, beside the top
// map's page; the documents' words stemmed in the extractor's language.
[[nodiscard]] Command write_site(const Layout& layout, const Tools& tools,
                                 const std::string& language);

}  // namespace somlabel::driver
