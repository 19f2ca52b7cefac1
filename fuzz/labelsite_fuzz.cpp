// Feeds arbitrary bytes as a labelunit file to labelsite: the index built
// from them and the site written from it, and checks what must hold whatever
// the names and phrases are: every site file is valid UTF-8, the search data
// and the map view's data are ASCII, no text from the input starts a tag
// (the only "<" in a page are the site's own tags, and a data file holds
// none), and each line of the table of labels has its eight fields. The same
// bytes are the text and the key file of every document whose name is a
// plain file name, so the content search and the labels are written too.
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

#include "fuzz/fuzz_util.h"
#include "labelsite/site_index.h"
#include "labelsite/site_pages.h"
#include "labelsite/web_text.h"
#include "labelweb/labelunit_reader.h"

namespace {

namespace fs = std::filesystem;

// Elements a site page writes; a "<" that opens or closes no such element
// came from the input.
constexpr std::string_view kSiteElements[] = {
    "html", "head",  "meta",  "title", "style",   "body",    "nav",    "h1",
    "h2",   "p",     "a",     "span",  "br",      "ul",      "ol",     "li",
    "dl",   "dt",    "dd",    "table", "thead",   "tbody",   "tr",     "th",
    "td",   "label", "input", "div",   "details", "summary", "script", "section",
};

bool is_site_tag(std::string_view rest) {
  if (rest.starts_with("<!DOCTYPE html>")) return true;
  rest.remove_prefix(rest.starts_with("</") ? 2 : 1);
  for (const std::string_view name : kSiteElements) {
    if (rest.starts_with(name) && rest.size() > name.size() &&
        (rest[name.size()] == '>' || rest[name.size()] == ' ')) {
      return true;
    }
  }
  return false;
}

void check_file(const fs::path& path) {
  const std::string text = testutil::read_file(path);
  if (path.filename() == somlabel::labelsite::kLabelTable) {
    for (size_t start = 0; start < text.size();) {
      const size_t end = text.find('\n', start);
      if (end == std::string::npos) fuzzutil::fail("the table of labels ends inside a line");
      const std::string_view line(text.data() + start, end - start);
      if (std::count(line.begin(), line.end(), '\t') != 7) {
        fuzzutil::fail("a line of the table of labels has not eight fields");
      }
      start = end + 1;
    }
    return;
  }
  if (!somlabel::labelsite::is_valid_utf8(text)) fuzzutil::fail("a site file is not valid UTF-8");
  if (path.extension() == ".js") {
    for (const char c : text) {
      if (static_cast<unsigned char>(c) >= 0x80 || c == '<') {
        fuzzutil::fail("a search data file holds a byte beyond ASCII or a '<'");
      }
    }
    return;
  }
  // index.html carries the search script, whose text is the site's own.
  const size_t end = path.filename() == "index.html" ? text.find("<script>") : text.size();
  for (size_t at = text.find('<'); at < end; at = text.find('<', at + 1)) {
    if (!is_site_tag(std::string_view(text).substr(at))) {
      fuzzutil::fail("a '<' in a site page starts no tag of the site");
    }
  }
}

// A folder of this process's own for the site, removed at exit.
class SiteFolder {
 public:
  SiteFolder() : path_(fs::temp_directory_path() / ("labelsite-fuzz-" + std::to_string(getpid()))) {
    fs::create_directories(path_);
  }
  ~SiteFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

const fs::path& site_folder() {
  static const SiteFolder folder;
  return folder.path();
}

// Writes `text` as the text and the key file of each document of `index`
// whose name is a plain file name (others are read, where they exist, as
// any name would be; none is written outside the folder).
void write_documents(const somlabel::labelsite::SiteIndex& index, std::string_view text) {
  for (const somlabel::labelsite::SiteDocument& document : index.documents()) {
    const std::string_view name = index.name(document);
    if (name.empty() || name.size() > 100 || name == "." || name == ".." ||
        name.find_first_of(std::string_view("/\0", 2)) != std::string_view::npos) {
      continue;
    }
    testutil::write_file(site_folder() / "files" / name, std::string(text));
    testutil::write_file(site_folder() / "key" / (std::string(name) + ".key"), std::string(text));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FILE* in = fuzzutil::input(data, size);
  if (in == nullptr) return 0;
  somlabel::Settings settings;
  settings.keypath = site_folder().string() + "/key/";  // no map key file: no best phrases
  settings.sourcepath = site_folder().string() + "/files/";
  somlabel::labelsite::SiteIndex index(settings);
  index.begin_map(site_folder().string() + "/m.unit.labelunit");
  somlabel::labelweb::map map;
  (void)somlabel::labelweb::read_labelunit(
      in, map,
      [&index](const somlabel::labelweb::unit& unit, const auto&) { index.add_unit(unit); });
  std::fclose(in);
  index.end_map(map);
  write_documents(index, std::string_view(reinterpret_cast<const char*>(data), size));
  somlabel::labelsite::SiteSummary summary;
  if (!somlabel::labelsite::write_site(index, site_folder().string(), {}, summary)) {
    fuzzutil::fail("the site could not be written");
  }
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(site_folder())) {
    const fs::path part = entry.path().lexically_relative(site_folder()).begin()->string();
    if (part == "files" || part == "key") continue;  // the documents, not the site
    if (entry.is_regular_file()) check_file(entry.path());
  }
  return 0;
}
