#include "somlabel/steps.h"

#include <string>

namespace somlabel::driver {
namespace {

std::string directory_of(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? "." : path.substr(0, slash == 0 ? 1 : slash);
}

void add_extractor_options(std::vector<std::string>& argv, const ExtractorOptions& options) {
  if (!options.language.empty()) argv.insert(argv.end(), {"--language", options.language});
  if (!options.jobs.empty()) argv.insert(argv.end(), {"--jobs", options.jobs});
}

}  // namespace

Command train_maps(const Layout& layout, const Tools& tools,
                   const std::vector<std::string>& map_options) {
  Command command{"maps", {tools.somtrain}, layout.out, ""};
  command.argv.insert(command.argv.end(), map_options.begin(), map_options.end());
  command.argv.insert(command.argv.end(),
                      {"--originals", layout.documents, "--progress", layout.texts(), layout.out});
  return command;
}

Command train_model(const Layout& layout, const Tools& tools, const ExtractorOptions& options) {
  Command command{"model",
                  {tools.keyphrases, "train", "-l", layout.texts(), "-m", layout.model()},
                  layout.out,
                  ""};
  add_extractor_options(command.argv, options);
  return command;
}

Command write_key_files(const Layout& layout, const Tools& tools, const ExtractorOptions& options,
                        const std::string& key_dir, const std::string& ending, bool only_changed) {
  Command command{"keys",
                  {tools.keyphrases, "docs", "--source", layout.texts(), "--keys", key_dir, "-m",
                   layout.model(), "-n", std::to_string(kPhrasesPerDocument), "--for-labels",
                   "--ending", ending, "--progress"},
                  layout.out,
                  ""};
  if (only_changed) command.argv.push_back("--incremental");
  add_extractor_options(command.argv, options);
  return command;
}

Command label_maps(const Layout& layout, const Tools& tools, const std::string& process_file) {
  return {"labels",
          {tools.labelcalc, process_file, layout.option_file()},
          layout.out,
          directory_of(tools.keyphrases)};
}

Command write_pages(const Layout& layout, const Tools& tools, const std::string& process_file) {
  return {"pages", {tools.labelweb, process_file, layout.option_file()}, layout.out, ""};
}

Command write_site(const Layout& layout, const Tools& tools, const std::string& language) {
  Command command{"site", {tools.labelsite, "--cache", layout.site_cache()}, layout.out, ""};
  if (!language.empty()) command.argv.insert(command.argv.end(), {"--language", language});
  command.argv.insert(command.argv.end(), {layout.process_web(), layout.option_file()});
  return command;
}

}  // namespace somlabel::driver
