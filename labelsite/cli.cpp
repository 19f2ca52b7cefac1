#include "labelsite/cli.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "common/command_line.h"
#include "common/exit_codes.h"
#include "common/frame.h"
#include "common/io.h"
#include "common/messages.h"
#include "common/option_keys.h"
#include "common/settings.h"
#include "labelsite/map_reader.h"
#include "labelsite/site_index.h"
#include "labelsite/site_pages.h"
#include "labelweb/page_maker.h"

namespace somlabel::labelsite {
namespace {

constexpr const char* kUsage =
    "Usage: %s [--language LANG] [--cache FILE] processfile config_file\n";

// The keys labelweb knows: one option file serves both.
constexpr Tool kLabelsite = {
    .help =
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
        "Exit status: 0 site written, 1 a map or a file failed, 2 usage.\n",
    .keys = kLabelwebKeys,
    .no_map_note = "; no site",
};

constexpr OptionSpec kOptions[] = {valued("--language"), valued("--cache"), flag("--help"),
                                   flag("-h")};

// Reads every map of the process file; fails after the first failing map.
Result<Told> read_maps(const std::string& process_name, SiteIndex& index) {
  size_t line_number = 0;
  return walk_maps(kLabelsite, process_name, index.settings(), [&](std::string& name) {
    show_status("reading map " + std::to_string(++line_number) + ": " + name);
    return read_map(index, name);
  });
}

// The command line into `options` and the two operands: nullopt to go on, or
// the exit status to end with.
std::optional<int> parse_options(int argc, char** argv, SiteOptions& options,
                                 std::vector<std::string>& operands) {
  const char* invoked_as = argc > 0 ? argv[0] : "labelsite";
  CommandLine line;
  const std::span<char* const> args(argv + std::min(argc, 1),
                                    static_cast<size_t>(std::max(argc - 1, 0)));
  const Result<Reason> parsed = parse_command_line(args, kOptions, line);
  if (parsed && (line.has("--help") || line.has("-h"))) {
    std::printf(kUsage, invoked_as);
    std::printf("%s", kLabelsite.help);
    return kExitSuccess;
  }
  tell(parsed);
  if (line.has("--language")) {
    const std::optional<text::Language> language = text::parse_language(line.value("--language"));
    if (!language) {
      say("unknown language %s (english, german, french or spanish)",
          line.value("--language").c_str());
      return kExitUsage;
    }
    options.language = *language;
  }
  options.cache = line.value("--cache");
  if (!parsed || line.operands.size() != 2) {
    quote(kUsage, invoked_as);
    return kExitUsage;
  }
  operands = line.operands;
  return std::nullopt;
}

std::string folder_of(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

// Writes the site of the maps read into the folder of the top map's page
// and says where it is; returns the exit status.
int write_and_report(const SiteIndex& index, const SiteOptions& options) {
  SiteSummary summary;
  const Result<Told> written =
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
  SiteOptions options;
  options.threads = std::max(1u, std::thread::hardware_concurrency());
  std::vector<std::string> operands;
  if (const std::optional<int> status = parse_options(argc, argv, options, operands)) {
    return *status;
  }
  enable_status(false);
  Settings settings;
  if (!read_settings(kLabelsite, operands[1], settings)) return kExitFailure;
  SiteIndex index(settings);
  if (!read_maps(operands[0], index)) {
    clear_status();
    say("no site pages were written");
    return kExitFailure;
  }
  clear_status();
  if (index.maps().empty()) return kExitSuccess;
  return write_and_report(index, options);
}

}  // namespace somlabel::labelsite
