#include "somlabel/plan.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <unordered_map>

#include "common/documents.h"
#include "common/io.h"
#include "common/map_grid.h"
#include "common/map_keys.h"
#include "common/map_names.h"
#include "common/messages.h"
#include "common/numbers.h"
#include "convert/text_store.h"

namespace somlabel::driver {
namespace {

// Whether the file's start is not text (see looks_binary); a file that cannot
// be read counts as text, and the tools name it.
bool binary_file(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  std::string start(kBinaryCheckBytes, '\0');
  size_t got = 0;
  while (got < start.size()) {
    const ssize_t n = ::read(fd, start.data() + got, start.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  ::close(fd);
  start.resize(got);
  return looks_binary(start);
}

std::string map_name(const Settings& settings, const MapNode& map) {
  return settings.path + map.line;
}

std::string labelunit_file(const std::string& out, const Settings& settings, const MapNode& map) {
  return from_out(out, labelunit_name(map_name(settings, map)));
}

std::string map_key_file(const std::string& out, const Settings& settings, const MapNode& map) {
  return from_out(out, key_file_name(settings, base_name(map_name(settings, map))));
}

// Time stamps asked for many times (a document is on a map of every layer).
class Stamps {
 public:
  long long operator()(const std::string& path) {
    auto [it, inserted] = known_.try_emplace(path, 0);
    if (inserted) it->second = modification_time(path);
    return it->second;
  }

 private:
  std::unordered_map<std::string, long long> known_;
};

// The value after `key` and a space on `line`, without its line end, or
// empty when the line is not of that key.
std::string_view value_of(std::string_view line, std::string_view key) {
  if (!line.starts_with(key) || line.size() == key.size() || line[key.size()] != ' ') return {};
  line.remove_prefix(key.size() + 1);
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
  return line;
}

void add_words(std::string_view text, std::vector<std::string>& words) {
  size_t start = 0;
  while ((start = text.find_first_not_of(" \t", start)) != std::string_view::npos) {
    const size_t end = std::min(text.find_first_of(" \t", start), text.size());
    words.emplace_back(text.substr(start, end - start));
    start = end;
  }
}

bool read_unit_file(const std::string& name, MapNode& map, std::vector<std::string>& sub_names) {
  File file;
  if (!file.open(name, "r")) {
    say("cannot read %s: %s", name.c_str(), errno_text().c_str());
    return false;
  }
  LineReader reader(file.get());
  std::string_view line;
  while (reader.next(line)) {
    line.remove_prefix(std::min(line.find_first_not_of(" \t"), line.size()));
    if (line.starts_with(keys::kPosX)) ++map.units;
    if (const auto x = value_of(line, keys::kXdim); !x.empty()) map.xdim = to_int(x);
    if (const auto y = value_of(line, keys::kYdim); !y.empty()) map.ydim = to_int(y);
    if (const auto vecs = value_of(line, keys::kMappedVecs); !vecs.empty()) {
      add_words(vecs, map.documents);
    } else if (const auto address = value_of(line, keys::kUrlMappedSoms); !address.empty()) {
      sub_names.push_back(sub_map_name(address.substr(0, address.find_first_of(" \t"))));
    }
  }
  if (reader.failure().empty()) return true;
  say("cannot read %s: %s", name.c_str(), reader.failure().c_str());
  return false;
}

bool remove_file(const std::string& name) {
  if (::unlink(name.c_str()) == 0 || errno == ENOENT) return true;
  say("cannot remove %s: %s", name.c_str(), errno_text().c_str());
  return false;
}

// The map base name and unit of a name "BASE.X_Y" + `ending`, as labelcalc
// names a unit's joined text and its key file; false for any other name.
bool unit_file_name(std::string_view name, std::string_view ending, std::string& base, int& x,
                    int& y) {
  if (!name.ends_with(ending)) return false;
  name.remove_suffix(ending.size());
  const size_t dot = name.rfind('.');
  const size_t underscore = name.rfind('_');
  if (dot == std::string_view::npos || underscore == std::string_view::npos || underscore < dot) {
    return false;
  }
  const std::string_view xs = name.substr(dot + 1, underscore - dot - 1);
  const std::string_view ys = name.substr(underscore + 1);
  const auto digits = [](std::string_view s) {
    return !s.empty() && s.size() < 6 &&
           s.find_first_not_of("0123456789") == std::string_view::npos;
  };
  if (!digits(xs) || !digits(ys)) return false;
  base = std::string(name.substr(0, dot));
  x = to_int(xs);
  y = to_int(ys);
  return true;
}

// Removes the files in `dir` named "BASE.X_Y" + one of `endings` whose map
// BASE is in `grids` without a unit (X, Y).
bool remove_unit_files(const std::string& dir, const std::vector<std::string_view>& endings,
                       const std::unordered_map<std::string, std::pair<int, int>>& grids) {
  std::error_code ec;
  std::vector<std::string> doomed;
  for (const auto& entry : std::filesystem::directory_iterator(dir, ec)) {
    const std::string name = entry.path().filename().string();
    std::string base;
    int x = 0, y = 0;
    for (std::string_view ending : endings) {
      if (!unit_file_name(name, ending, base, x, y)) continue;
      const auto grid = grids.find(base);
      if (grid != grids.end() && (x >= grid->second.first || y >= grid->second.second)) {
        doomed.push_back(entry.path().string());
      }
    }
  }
  return std::all_of(doomed.begin(), doomed.end(), remove_file);
}

bool read_lines(const std::string& name, std::vector<std::string>& lines) {
  std::ifstream in(name);
  if (!in) {
    say("cannot read %s: %s", name.c_str(), errno_text().c_str());
    return false;
  }
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return true;
}

// Removes `last_line` from the end of the file `name` when the file ends in
// it; false after a message when the file could not be changed.
bool drop_last_line(const std::string& name, const std::string& last_line) {
  const int fd = ::open(name.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT;  // labelcalc will make it anew
  struct stat st {};
  std::string tail(last_line.size() + 1, '\0');
  const auto size = ::fstat(fd, &st) == 0 ? static_cast<size_t>(st.st_size) : 0;
  bool ok = true;
  if (S_ISREG(st.st_mode) && size >= last_line.size()) {
    const size_t start = size - last_line.size();
    const size_t from = start > 0 ? start - 1 : 0;  // with the line end before it
    const ssize_t got = ::pread(fd, tail.data(), size - from, static_cast<off_t>(from));
    tail.resize(got < 0 ? 0 : static_cast<size_t>(got));
    const bool ends_so = tail.ends_with(last_line) && (start == 0 || tail.front() == '\n');
    if (ends_so && ::ftruncate(fd, static_cast<off_t>(start)) != 0) {
      say("cannot change %s: %s", name.c_str(), errno_text().c_str());
      ok = false;
    }
  }
  ::close(fd);
  return ok;
}

}  // namespace

std::vector<std::string> stored_map_options(const Layout& layout) {
  return file_lines(layout.map_options());
}

bool maps_stale(const Layout& layout, const Tools& tools, const std::vector<std::string>& documents,
                const std::vector<std::string>& map_options) {
  const long long trained = modification_time(layout.map_options());
  if (trained < 0 || modification_time(layout.process()) < 0) return true;
  if (modification_time(tools.somtrain) > trained) return true;
  if (stored_map_options(layout) != map_options) return true;
  // The store's list changes with the set of documents.
  if (modification_time(join_path(layout.texts(), convert::kStoreList)) > trained) return true;
  return std::any_of(documents.begin(), documents.end(), [&](const std::string& name) {
    return modification_time(layout.texts() + "/" + name) > trained;
  });
}

bool model_stale(const Layout& layout, const Tools& tools,
                 const std::vector<std::string>& documents) {
  const long long trained = modification_time(layout.model());
  if (trained < 0 || modification_time(tools.keyphrases) > trained) return true;
  const auto newer =
      std::count_if(documents.begin(), documents.end(), [&](const std::string& name) {
        return modification_time(layout.texts() + "/" + name) > trained;
      });
  return static_cast<size_t>(newer) * 10 > documents.size();
}

KeyFilesDue key_files_due(const Layout& layout, const std::vector<std::string>& documents,
                          const std::string& key_dir, const std::string& ending) {
  const long long model = modification_time(layout.model());
  KeyFilesDue due;
  for (const std::string& name : documents) {
    const long long key = modification_time(key_dir + "/" + name + ending);
    if (key >= 0 && key < model) due.model_newer = true;
    // Only a document without a key file is read: a binary one never gets one.
    const std::string text = layout.texts() + "/" + name;
    if (key < 0 && binary_file(text)) {
      ++due.binary;
    } else if (key < 0 || key <= modification_time(text) || key < model) {
      ++due.count;
    }
  }
  if (due.model_newer) due.count = documents.size() - due.binary;
  return due;
}

bool read_maps(const Layout& layout, const Settings& settings, std::vector<MapNode>& maps) {
  std::vector<std::string> lines;
  if (!read_lines(layout.process(), lines)) return false;
  std::unordered_map<std::string, size_t> index;
  std::vector<std::vector<std::string>> sub_names(lines.size());
  maps.clear();
  for (size_t m = 0; m < lines.size(); ++m) {
    maps.push_back({lines[m], {}, {}, 0, 0, 0});
    index.emplace(settings.path + lines[m], m);
    if (!read_unit_file(from_out(layout.out, settings.path + lines[m]), maps[m], sub_names[m])) {
      return false;
    }
  }
  for (size_t m = 0; m < maps.size(); ++m) {
    for (const std::string& name : sub_names[m]) {
      if (auto found = index.find(name); found != index.end())
        maps[m].sub_maps.push_back(found->second);
    }
  }
  return true;
}

std::vector<bool> maps_to_label(const Layout& layout, const Tools& tools, const Settings& settings,
                                const std::vector<MapNode>& maps) {
  Stamps stamp;
  const bool extractor = settings.mode != 1;
  const long long common =
      std::max({modification_time(layout.option_file()), modification_time(tools.labelcalc),
                extractor ? modification_time(from_out(layout.out, settings.model)) : -1,
                extractor ? modification_time(tools.keyphrases) : -1});
  const std::string source = from_out(layout.out, settings.sourcepath);
  const std::string keys = from_out(layout.out, settings.keypath);
  std::vector<bool> due(maps.size(), false);
  // Sub-maps come before the maps above them, so one pass settles both.
  for (size_t m = 0; m < maps.size(); ++m) {
    const MapNode& map = maps[m];
    const long long made = std::min(modification_time(labelunit_file(layout.out, settings, map)),
                                    modification_time(map_key_file(layout.out, settings, map)));
    long long inputs =
        std::max(common, modification_time(from_out(layout.out, map_name(settings, map))));
    bool missing = false;
    for (const std::string& document : map.documents) {
      const long long text = stamp(source + document);
      const long long key = stamp(keys + document + settings.keyfileending);
      missing = missing || text < 0 || key < 0;
      inputs = std::max({inputs, text, key});
    }
    due[m] = made < 0 || missing || made < inputs;
    for (size_t sub : map.sub_maps) due[m] = due[m] || due[sub];
  }
  return due;
}

bool drop_somabove_lines(const Settings& settings, const std::vector<MapNode>& maps,
                         const std::vector<bool>& labelled, const std::string& out) {
  for (size_t m = 0; m < maps.size(); ++m) {
    if (!labelled[m]) continue;
    const std::string line =
        std::string(keys::kSomAbove) + " " + map_name(settings, maps[m]) + "\n";
    for (size_t sub : maps[m].sub_maps) {
      if (labelled[sub]) continue;
      if (!drop_last_line(labelunit_file(out, settings, maps[sub]), line)) return false;
    }
  }
  return true;
}

std::vector<std::string> file_lines(const std::string& name) {
  std::vector<std::string> lines;
  std::ifstream in(name);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

bool remove_leftovers(const Layout& layout, const Settings& settings,
                      const std::vector<std::string>& old_lines, const std::vector<MapNode>& maps) {
  std::unordered_map<std::string, std::pair<int, int>> grids;
  for (const MapNode& map : maps) {
    grids[std::string(base_name(map_name(settings, map)))] = {map.xdim, map.ydim};
  }
  for (const std::string& line : old_lines) {
    const MapNode gone{line, {}, {}, 0, 0, 0};
    const std::string base(base_name(map_name(settings, gone)));
    if (grids.count(base) != 0) continue;
    grids[base] = {0, 0};
    const std::string unit_file = from_out(layout.out, map_name(settings, gone));
    const std::string labelunit = labelunit_file(layout.out, settings, gone);
    for (const std::string& file :
         {unit_file, unit_file + std::string(kGridEnding), labelunit,
          labelunit + std::string(kPageEnding), map_key_file(layout.out, settings, gone)}) {
      if (!remove_file(file)) return false;
    }
  }
  return remove_unit_files(from_out(layout.out, settings.keypath), {kTextEnding}, grids) &&
         remove_unit_files(from_out(layout.out, settings.kea_tmp_path), {kTextEnding, kKeyEnding},
                           grids);
}

std::vector<bool> pages_to_write(const Layout& layout, const Tools& tools, const Settings& settings,
                                 const std::vector<MapNode>& maps) {
  const long long options =
      std::max(modification_time(layout.option_file()), modification_time(tools.labelweb));
  std::vector<bool> due(maps.size(), false);
  for (size_t m = 0; m < maps.size(); ++m) {
    const std::string labelunit = labelunit_file(layout.out, settings, maps[m]);
    const long long page = modification_time(labelunit + std::string(kPageEnding));
    due[m] = page < 0 || page < std::max(options, modification_time(labelunit));
  }
  return due;
}

std::string site_index(const Layout& layout, const Settings& settings,
                       const std::vector<MapNode>& maps) {
  const std::string top = from_out(layout.out, map_name(settings, maps.back()));
  return top.substr(0, top.rfind('/') + 1) + "index.html";
}

bool site_stale(const Layout& layout, const Tools& tools, const Settings& settings,
                const std::vector<MapNode>& maps, bool pages_written) {
  const long long index = modification_time(site_index(layout, settings, maps));
  return pages_written || index < 0 ||
         index <
             std::max(modification_time(layout.option_file()), modification_time(tools.labelsite));
}

}  // namespace somlabel::driver
