#include "labelsite/cli.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <thread>

#include "common/exit_codes.h"
#include "common/frame.h"
#include "common/io.h"
#include "common/settings.h"
#include "labelsite/map_reader.h"
#include "labelsite/site_index.h"
#include "labelsite/site_pages.h"
#include "labelsite/status_line.h"
#include "labelweb/page_maker.h"

namespace somlabel::labelsite {
namespace {

constexpr const char* kUsage =
    "Usage: %s [--language LANG] [--cache FILE] processfile config_file\n";

void print_help(const char* invoked_as) {
  std::printf(kUsage, invoked_as);
  std::printf(
      "Writes the site pages beside the map pages that labelweb wrote, from the same\n"
      "process file and option file: index.html (the map view, the tree of maps with\n"
      "their labels, a legend of the map pages and a search box), the document index\n"
      "(documents.html), the phrase index (phrases.html), the search data (search/),\n"
      "the map view's data (view/) and the site's labels (site-labels.tsv). They go\n"
      "into the folder of the last map's page, the top map's. The search by content\n"
      "and the labels are made from the documents (SOURCEPATH) and their key files.\n"
      "  --language LANG  the documents' language, for the stems of their words:\n"
      "                   english (default), german, french, spanish\n"
      "  --cache FILE     keeps what the documents' text gave in FILE, so that a rerun\n"
      "                   reads only the documents and key files that changed\n"
      "Exit status: 0 site written, 1 a map or a file failed, 2 usage.\n");
}

bool read_settings(const char* name, Settings& settings) {
  File options;
  if (!options.open(name, "r")) {
    say("cannot open option file %s: %s", name, errno_text().c_str());
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
    say("cannot read option file %s: %s", name, lines.failure().c_str());
    return false;
  }
  if (const std::string_view key = text_option_with_nul(settings, keys); !key.empty()) {
    say("option %.*s in the option file %s holds a NUL byte", static_cast<int>(key.size()),
        key.data(), name);
    return false;
  }
  return true;
}

// Reads every map of the process file; fails after the first failing map.
Result read_maps(const char* process_name, SiteIndex& index) {
  File process;
  if (!process.open(process_name, "r")) {
    say("cannot open process file %s: %s", process_name, errno_text().c_str());
    return Result::failure();
  }
  size_t line_number = 0;
  LineReader lines(process.get());
  const Result walked = walk_process_file(lines, index.settings().path, [&](std::string& name) {
    ++line_number;
    if (name.find('\0') != std::string::npos) {
      say("line %zu of the process file %s holds a NUL byte", line_number, process_name);
      return Result::failure();
    }
    show_status("reading map " + std::to_string(line_number) + ": " + name);
    return read_map(index, name);
  });
  if (!walked || lines.failure().empty()) return walked;
  say("cannot read process file %s: %s", process_name, lines.failure().c_str());
  return Result::failure();
}

std::string folder_of(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

// Writes the site of the maps read into the folder of the top map's page
// and says where it is; returns the exit status.
int write_and_report(const SiteIndex& index, const SiteOptions& options) {
  SiteSummary summary;
  const Result written =
      write_site(index, folder_of(index.maps().back().page_path), options, summary);
  clear_status();
  if (!written) return kExitFailure;
  std::printf("Site index: %s\n", summary.index_path.c_str());
  std::printf("maps %zu, units %zu, documents %zu, phrases %zu, files %zu\n", index.maps().size(),
              index.units().size(), summary.documents, summary.phrases, summary.files);
  const TextSummary& text = summary.text;
  std::printf(
      "text of %zu documents: %zu read, %zu unchanged, %zu unreadable; %zu terms; "
      "labels for %zu units and maps\n",
      text.documents, text.read, text.cached, text.unreadable, summary.terms, summary.labelled);
  if (std::fflush(stdout) != 0) {
    say("cannot write to standard output: %s", errno_text().c_str());
    return kExitFailure;
  }
  return kExitSuccess;
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
  SiteOptions options;
  options.threads = std::max(1u, std::thread::hardware_concurrency());
  int first = 1;
  for (; first + 1 < argc && std::strncmp(argv[first], "--", 2) == 0; first += 2) {
    const std::string_view option = argv[first];
    if (option == "--cache") {
      options.cache = argv[first + 1];
    } else if (option == "--language") {
      const std::optional<text::Language> language = text::parse_language(argv[first + 1]);
      if (!language) {
        say("unknown language %s (english, german, french or spanish)", argv[first + 1]);
        return kExitUsage;
      }
      options.language = *language;
    } else {
      break;
    }
  }
  if (argc != first + 2) {
    std::fprintf(stderr, kUsage, invoked_as);
    return kExitUsage;
  }
  const char* process_name = argv[first];
  Settings settings;
  if (!read_settings(argv[first + 1], settings)) return kExitFailure;
  SiteIndex index(settings);
  if (!read_maps(process_name, index)) {
    clear_status();
    say("no site pages were written");
    return kExitFailure;
  }
  clear_status();
  if (index.maps().empty()) {
    say("warning: the process file %s names no map; no site", process_name);
    return kExitSuccess;
  }
  return write_and_report(index, options);
}

}  // namespace somlabel::labelsite
