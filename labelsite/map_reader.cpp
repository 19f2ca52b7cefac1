#include "labelsite/map_reader.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "common/io.h"
#include "common/keyfile_line.h"
#include "common/map_keys.h"
#include "common/map_names.h"
#include "common/numbers.h"
#include "common/settings.h"
#include "common/messages.h"
#include "labelweb/labelunit_reader.h"

namespace somlabel::labelsite {
namespace {

void read_best_phrases(SiteMap& map) {
  File in;
  if (!in.open(map.key_file, "r")) {
    warn("the map %s is shown without its best phrases: cannot open its map key file "
        "%s: %s",
        map.title.c_str(), map.key_file.c_str(), errno_text().c_str());
    return;
  }
  if (!read_map_key_phrases(in.get(), kMapPhrases, map.best_phrases)) {
    warn("the map key file %s is not a \"$MODE1_PHRASES\" line and phrase lines; the "
        "map %s is shown with %zu of its best phrases",
        map.key_file.c_str(), map.title.c_str(), map.best_phrases.size());
  }
}

// The grid file beside the map's unit file, when there is one.
void read_grid_file(SiteMap& map, const std::string& labelunit_name) {
  std::string name = labelunit_name;
  if (name.ends_with(kLabelunitEnding)) name.resize(name.size() - kLabelunitEnding.size());
  name.append(kGridEnding);
  File in;
  if (!in.open(name, "r")) {
    if (errno != ENOENT) {
      warn("the map %s is shown without its grid file %s: %s", map.title.c_str(),
          name.c_str(), errno_text().c_str());
    }
    return;
  }
  const Result<Reason> read = in.is_regular() ? read_grid(in.get(), map.xdim, map.ydim, map.grid)
                                      : Reason{kNotRegular};
  if (!read) {
    warn("the map %s is shown without its grid file %s: %s", map.title.c_str(),
        name.c_str(), read.message().c_str());
  }
}

void check_page(const SiteMap& map) {
  struct stat info;
  if (stat(map.page_path.c_str(), &info) == 0) return;
  warn("the map page %s is missing (labelweb writes it): %s", map.page_path.c_str(),
      errno_text().c_str());
}

}  // namespace

bool read_map_key_phrases(FILE* in, int count, std::vector<std::string>& phrases) {
  // Only the head is read: a file of endless bytes costs no more than this.
  std::string head(kMapKeyHead, '\0');
  head.resize(std::fread(head.data(), 1, head.size(), in));
  const bool whole = head.size() < kMapKeyHead;
  std::string_view rest = head;
  const auto next_line = [&](std::string_view& line) {
    const size_t end = rest.find('\n');
    if (end == std::string_view::npos) {
      // A last line without its line end counts; a line cut at the head's end does not.
      if (!whole || rest.empty()) return false;
      line = std::exchange(rest, {});
      return true;
    }
    line = rest.substr(0, end + 1);
    rest.remove_prefix(end + 1);
    return true;
  };
  std::string_view line;
  if (!next_line(line)) return false;
  const size_t space = line.find(' ');
  if (space == std::string_view::npos || line.substr(0, space) != keys::kMode1Phrases) {
    return false;
  }
  const int stated = to_int(line.substr(space + 1));
  for (int i = 0; i < stated && static_cast<int>(phrases.size()) < count; ++i) {
    KeyLine fields;
    if (!next_line(line) || split_keyfile_line(line, fields) != KeyLineStatus::ok) return false;
    phrases.emplace_back(fields.phrase);
  }
  return true;
}

Result<Told> read_map(SiteIndex& index, const std::string& labelunit_name) {
  File in;
  if (!in.open(labelunit_name, "r")) {
    say("cannot open labelunit file %s: %s", labelunit_name.c_str(), errno_text().c_str());
    return Told{};
  }
  // A device or a pipe could feed the reader without end.
  struct stat info;
  if (fstat(fileno(in.get()), &info) != 0 || !S_ISREG(info.st_mode)) {
    say("labelunit file %s is not a regular file", labelunit_name.c_str());
    return Told{};
  }
  index.begin_map(labelunit_name);
  labelweb::map map;
  const labelweb::ReadResult result = labelweb::read_labelunit(
      in.get(), map, [&index](const labelweb::unit& unit, const auto&) { index.add_unit(unit); });
  if (!result.failure.empty()) {
    say("cannot read labelunit file %s: %s", labelunit_name.c_str(), result.failure.c_str());
    return Told{};
  }
  index.end_map(map);
  read_best_phrases(index.last_map());
  read_grid_file(index.last_map(), labelunit_name);
  check_page(index.last_map());
  return {};
}

}  // namespace somlabel::labelsite
