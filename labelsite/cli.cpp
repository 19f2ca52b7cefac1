#include "labelsite/cli.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "common/exit_codes.h"
#include "common/frame.h"
#include "common/io.h"
#include "common/settings.h"
#include "labelsite/map_reader.h"
#include "labelsite/site_index.h"
#include "labelsite/site_pages.h"
#include "labelweb/page_maker.h"

namespace somlabel::labelsite {
namespace {

constexpr const char* kUsage = "Usage: %s processfile config_file\n";

void print_help(const char* invoked_as) {
  std::printf(kUsage, invoked_as);
  std::printf(
      "Writes the site pages beside the map pages that labelweb wrote, from the same\n"
      "process file and option file: index.html (the tree of maps with their best\n"
      "phrases, a legend of the map pages and a search box), the document index\n"
      "(documents.html), the phrase index (phrases.html) and the search data (search/).\n"
      "They go into the folder of the last map's page, the top map's.\n"
      "Exit status: 0 site written, 1 a map or a file failed, 2 usage.\n");
}

// Progress on standard error, when it is a terminal; each line overwrites the last.
class Progress {
 public:
  Progress() : shown_(isatty(STDERR_FILENO) == 1) {}
  ~Progress() { done(); }
  void show(const std::string& text) {
    if (shown_) std::fprintf(stderr, "\rlabelsite: %s\x1b[K", text.c_str());
  }
  void done() {
    if (shown_) std::fprintf(stderr, "\r\x1b[K");
    shown_ = false;
  }

 private:
  bool shown_;
};

bool read_settings(const char* name, Settings& settings) {
  File options;
  if (!options.open(name, "r")) {
    std::fprintf(stderr, "labelsite: cannot open option file %s: %s\n", name, errno_text().c_str());
    return false;
  }
  // The keys labelweb knows: one option file serves both.
  const std::span<const OptionKey> keys = labelweb::kLabelwebKeys;
  LineReader lines(options.get());
  if (read_option_file(lines, keys, settings) == OptionResult::invalid_mode) {
    std::fprintf(stderr, "Invalid value for option MODE in given option file, ciao ...\n");
    return false;
  }
  if (!lines.failure().empty()) {
    std::fprintf(stderr, "labelsite: cannot read option file %s: %s\n", name,
                 lines.failure().c_str());
    return false;
  }
  if (const std::string_view key = text_option_with_nul(settings, keys); !key.empty()) {
    std::fprintf(stderr, "labelsite: option %.*s in the option file %s holds a NUL byte\n",
                 static_cast<int>(key.size()), key.data(), name);
    return false;
  }
  return true;
}

// Reads every map of the process file; fails after the first failing map.
Result read_maps(const char* process_name, SiteIndex& index, Progress& progress) {
  File process;
  if (!process.open(process_name, "r")) {
    std::fprintf(stderr, "labelsite: cannot open process file %s: %s\n", process_name,
                 errno_text().c_str());
    return Result::failure();
  }
  size_t line_number = 0;
  LineReader lines(process.get());
  const Result walked = walk_process_file(lines, index.settings().path, [&](std::string& name) {
    ++line_number;
    if (name.find('\0') != std::string::npos) {
      std::fprintf(stderr, "labelsite: line %zu of the process file %s holds a NUL byte\n",
                   line_number, process_name);
      return Result::failure();
    }
    progress.show("reading map " + std::to_string(line_number) + ": " + name);
    return read_map(index, name);
  });
  if (!walked || lines.failure().empty()) return walked;
  std::fprintf(stderr, "labelsite: cannot read process file %s: %s\n", process_name,
               lines.failure().c_str());
  return Result::failure();
}

std::string folder_of(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

}  // namespace

int run_cli(int argc, char** argv) {
  // Whole lines go out at once, so that where standard output and error share
  // a log, a message follows the line it belongs to.
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  const char* invoked_as = argc > 0 ? argv[0] : "labelsite";
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    print_help(invoked_as);
    return kExitSuccess;
  }
  if (argc != 3) {
    std::fprintf(stderr, kUsage, invoked_as);
    return kExitUsage;
  }
  Settings settings;
  if (!read_settings(argv[2], settings)) return kExitFailure;
  SiteIndex index(settings);
  Progress progress;
  if (!read_maps(argv[1], index, progress)) {
    progress.done();
    std::fprintf(stderr, "labelsite: no site pages were written\n");
    return kExitFailure;
  }
  if (index.maps().empty()) {
    progress.done();
    std::fprintf(stderr, "labelsite: warning: the process file %s names no map; no site\n",
                 argv[1]);
    return kExitSuccess;
  }
  progress.show("writing the site pages");
  SiteSummary summary;
  const Result written = write_site(index, folder_of(index.maps().back().page_path), summary);
  progress.done();
  if (!written) return kExitFailure;
  std::printf("Site index: %s\n", summary.index_path.c_str());
  std::printf("maps %zu, units %zu, documents %zu, phrases %zu, files %zu\n", index.maps().size(),
              index.units().size(), summary.documents, summary.phrases, summary.files);
  if (std::fflush(stdout) != 0) {
    std::fprintf(stderr, "labelsite: cannot write to standard output: %s\n", errno_text().c_str());
    return kExitFailure;
  }
  return kExitSuccess;
}

}  // namespace somlabel::labelsite
