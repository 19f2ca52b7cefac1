#include "somtrain/unit_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <numeric>
#include <set>
#include <system_error>

#include "common/checksum.h"
#include "common/io.h"
#include "common/map_grid.h"
#include "common/map_keys.h"
#include "common/map_names.h"
#include "common/messages.h"
#include "common/option_keys.h"
#include "somtrain/grid_file.h"

namespace somlabel::somtrain {
namespace keys = somlabel::keys;
using somlabel::Result;
namespace {

// Stands for the final "unit" of a sub-map's name in its address.
constexpr std::string_view kAddressTail = "som";

void line(std::string& out, std::string_view key, const std::string& value) {
  out.append(key);
  out += ' ';
  out += value;
  out += '\n';
}

std::string fixed6(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.6f", value);
  return text;
}

std::string joined(const std::vector<std::string>& words) {
  std::string text;
  for (const std::string& word : words) text += ' ' + word;
  return text;  // with a leading space, or empty
}

UnitBlock unit_block(const Corpus& corpus, const Hierarchy& hierarchy, const MapResult& map, int u,
                     const std::string& base, const std::string& output_path) {
  const UnitResult& unit = map.units[static_cast<std::size_t>(u)];
  UnitBlock block{map.grid.x(u),
                  map.grid.y(u),
                  node_id(base, map, u),
                  unit.quantization_error,
                  unit.documents.size(),
                  {},
                  {},
                  unit.labels};
  for (int d : unit.documents)
    block.names += ' ' + corpus.documents[static_cast<std::size_t>(d)].name;
  if (unit.sub_map >= 0) {
    const MapResult& sub = hierarchy.maps[static_cast<std::size_t>(unit.sub_map)];
    block.sub_map_address = unit_address(output_path, base, sub);
  }
  return block;
}

// The whole of a regular file of at most `limit` bytes; false (errno set) when
// there is none. A device or pipe is not read (it may never end): EINVAL.
bool read_existing(const std::string& name, std::string& text, size_t limit) {
  struct stat st {};
  if (::stat(name.c_str(), &st) != 0) return false;
  if (!S_ISREG(st.st_mode) || static_cast<size_t>(st.st_size) > limit) {
    errno = EINVAL;
    return false;
  }
  return somlabel::read_file(name, text).ok() && text.size() <= limit;
}

bool is_regular(const std::string& name) {
  struct stat st {};
  return ::stat(name.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::vector<std::string_view> lines_of(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const size_t end = std::min(text.find('\n'), text.size() - 1) + 1;
    lines.push_back(text.substr(0, end));
    text.remove_prefix(end);
  }
  return lines;
}

// Where the marker line starts in `old`; npos when its first match is no whole line.
size_t marker_position(std::string_view old) {
  const size_t marker = old.find(kOptionFileMarker);
  if (marker == std::string_view::npos || (marker != 0 && old[marker - 1] != '\n')) {
    return std::string_view::npos;
  }
  return marker;
}

bool same_contents(const std::string& name, const std::string& text) {
  std::string old;
  return read_existing(name, old, text.size()) && old == text;
}

Result<Told> write_file(const std::string& name, const std::string& text) {
  if (same_contents(name, text)) return {};
  somlabel::File file;
  if (!file.open(name, "wb")) {
    std::fprintf(stderr, "somtrain: cannot create %s: %s\n", name.c_str(),
                 somlabel::errno_text().c_str());
    return Told{};
  }
  somlabel::put(file.get(), text);
  return told(file.close());
}

// Paths as the option file states them: relative to `from`, ending in "/".
bool relative_directory(const std::string& dir, const std::string& from, std::string& result) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path target = fs::weakly_canonical(fs::absolute(dir, ec), ec);
  const fs::path base = fs::weakly_canonical(fs::absolute(from, ec), ec);
  if (ec) return false;
  result = target.lexically_relative(base).generic_string();
  if (result.empty()) result = ".";
  result += '/';
  return true;
}

bool has_blank(std::string_view text) {
  return text.find_first_of(" \t\n\r\v\f") != std::string_view::npos;
}

Result<Told> make_directory(const std::string& name) {
  std::error_code ec;
  std::filesystem::create_directories(name, ec);
  if (ec) {
    std::fprintf(stderr, "somtrain: cannot create directory %s: %s\n", name.c_str(),
                 ec.message().c_str());
    return Told{};
  }
  return {};
}

}  // namespace

Result<Told> write_option_file(const std::string& name, const std::string& ours) {
  // An option file that is no regular file (a link to a device) has no lines
  // to keep: it is written through.
  constexpr size_t kOptionFileLimit = size_t{1} << 20;
  std::string old;
  if (!read_existing(name, old, kOptionFileLimit)) {
    const int error = errno;
    if (error != ENOENT && is_regular(name)) {
      std::fprintf(stderr, "somtrain: cannot keep the lines of %s: %s\n", name.c_str(),
                   error == EINVAL ? "larger than 1 MB" : std::strerror(error));
      return Told{};
    }
    old.clear();
  }
  size_t kept = 0;
  const std::string merged = merge_option_file(ours, old, kept);
  if (kept > 0) {
    std::fprintf(stderr, "somtrain: %s: kept %zu line%s of the earlier file below somtrain's own\n",
                 name.c_str(), kept, kept == 1 ? "" : "s");
  }
  for (std::string_view line : replaced_option_lines(ours, old)) {
    std::fprintf(stderr,
                 "somtrain: %s: warning: \"%.*s\" above the marker line is replaced by somtrain's "
                 "own lines; lines of your own go below it\n",
                 name.c_str(), static_cast<int>(line.size()), line.data());
  }
  return write_file(name, merged);
}

std::string unit_address(const std::string& output_path, const std::string& base,
                         const MapResult& sub) {
  return somlabel::sub_map_address(output_path + map_file_name(base, sub), kAddressTail);
}

std::string unit_file_head(const Grid& grid) {
  std::string out;
  line(out, keys::kType, "rect");
  line(out, keys::kXdim, std::to_string(grid.xdim));
  line(out, keys::kYdim, std::to_string(grid.ydim));
  return out;
}

void append_unit_block(std::string& out, const UnitBlock& block) {
  line(out, keys::kPosX, std::to_string(block.x));
  line(out, keys::kPosY, std::to_string(block.y));
  line(out, keys::kNodeId, block.node_id);
  line(out, keys::kQuanterrorNode, fixed6(block.quantization_error));
  line(out, keys::kNrVecMapped, std::to_string(block.documents));
  out.append(keys::kMappedVecs).append(block.names) += '\n';
  line(out, keys::kNrSomsMapped, block.sub_map_address.empty() ? "0" : "1");
  if (!block.sub_map_address.empty()) line(out, keys::kUrlMappedSoms, block.sub_map_address);
  line(out, keys::kNrLabels, std::to_string(block.labels.size()));
  out.append(keys::kLabel).append(joined(block.labels)) += '\n';
}

std::string unit_file_text(const Corpus& corpus, const Hierarchy& hierarchy, std::size_t map,
                           const std::string& base, const std::string& output_path) {
  const MapResult& m = hierarchy.maps[map];
  std::string out = unit_file_head(m.grid);
  for (int u = 0; u < m.grid.units(); ++u) {
    append_unit_block(out, unit_block(corpus, hierarchy, m, u, base, output_path));
  }
  return out;
}

std::string grid_file_text(const Hierarchy& hierarchy, std::size_t map) {
  const MapResult& m = hierarchy.maps[map];
  std::vector<GridUnit> units;
  for (const UnitResult& unit : m.units) {
    units.push_back({unit.right, unit.down, unit.quantization_error, unit.documents.size()});
  }
  return grid_file_text(m.grid, units);
}

std::vector<std::size_t> process_order(const Hierarchy& hierarchy) {
  std::vector<std::size_t> order(hierarchy.maps.size());
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    return hierarchy.maps[a].layer > hierarchy.maps[b].layer;
  });
  return order;
}

std::string process_file_text(const Hierarchy& hierarchy, const std::string& base,
                              bool for_labelweb) {
  std::string out;
  for (std::size_t m : process_order(hierarchy)) {
    out += map_file_name(base, hierarchy.maps[m]);
    if (for_labelweb) out.append(somlabel::kLabelunitEnding);
    out += '\n';
  }
  return out;
}

std::string option_file_text(const OutputLayout& layout) {
  std::string out;
  namespace keys = somlabel::option_keys;
  auto line = [&](std::string_view key, std::string_view value) {
    out.append(key).append(" ").append(value) += '\n';
  };
  line(keys::kMode, "1");
  line(keys::kOutputPath, layout.output_path);
  line(keys::kKeyPath, layout.output_path + "key/");
  line(keys::kKeaFileExtension, somlabel::kKeyEnding);
  line(keys::kSourcePath, layout.source_path);
  line(keys::kTmpKeaPath, layout.output_path + "tmp_kea/");
  line(keys::kSourceFilesLinkPath, layout.source_link_path);
  line(keys::kKeyFilesLinkPath, "key/");
  out.append(kOptionFileMarker);
  return out;
}

std::string merge_option_file(std::string_view ours, std::string_view old, size_t& kept_unmarked) {
  kept_unmarked = 0;
  std::string merged(ours);
  if (const size_t marker = marker_position(old); marker != std::string_view::npos) {
    merged.append(old.substr(marker + kOptionFileMarker.size()));
    return merged;
  }
  const std::vector<std::string_view> own = lines_of(ours);
  for (std::string_view line : lines_of(old)) {
    std::string whole(line);
    if (!whole.ends_with('\n')) whole += '\n';
    if (std::find(own.begin(), own.end(), whole) != own.end()) continue;
    merged += whole;
    ++kept_unmarked;
  }
  return merged;
}

std::vector<std::string_view> replaced_option_lines(std::string_view ours, std::string_view old) {
  std::vector<std::string_view> replaced;
  const size_t marker = marker_position(old);
  if (marker == std::string_view::npos) return replaced;
  const std::vector<std::string_view> own = lines_of(ours);
  for (std::string_view line : lines_of(old.substr(0, marker))) {
    if (line == "\n" || std::find(own.begin(), own.end(), line) != own.end()) continue;
    line.remove_suffix(1);
    replaced.push_back(line);
  }
  return replaced;
}

Result<Told> output_layout(const Options& options, OutputLayout& layout) {
  const std::string& documents = options.documents;
  const std::string& originals = options.originals.empty() ? documents : options.originals;
  const std::string maps_dir = options.work_dir + '/' + options.output_path;
  layout.output_path = options.output_path;
  if (!make_directory(maps_dir)) return Told{};
  const auto relative = [](const std::string& folder, const std::string& from, std::string& path) {
    if (!relative_directory(folder, from, path)) {
      std::fprintf(stderr, "somtrain: cannot resolve %s\n", folder.c_str());
      return false;
    }
    if (!has_blank(path)) return true;
    std::fprintf(stderr, "somtrain: %s: the option file cannot hold a path with blanks\n",
                 folder.c_str());
    return false;
  };
  return relative(documents, options.work_dir, layout.source_path) &&
                 relative(originals, maps_dir, layout.source_link_path)
             ? Result<Told>()
             : Told{};
}

bool is_map_file_name(std::string_view name, std::string_view base) {
  const std::string ending = '.' + std::string(somlabel::kSubMapSuffix);
  if (!name.starts_with(base) || !name.ends_with(ending)) return false;
  std::string_view path = name.substr(base.size(), name.size() - base.size() - ending.size());
  std::size_t fields = 0;
  while (!path.empty()) {
    if (path[0] != '_' || path.size() < 2 || path[1] < '0' || path[1] > '9') return false;
    const std::size_t end = std::min(path.find('_', 1), path.size());
    if (path.substr(1, end - 1).find_first_not_of("0123456789") != std::string_view::npos)
      return false;
    path.remove_prefix(end);
    ++fields;
  }
  return fields % 2 == 0;
}

Result<Told> remove_gone_maps(const std::string& work_dir, const std::string& output_path,
                              const Hierarchy& hierarchy, const std::string& base) {
  std::set<std::string, std::less<>> kept;
  for (const MapResult& map : hierarchy.maps) kept.insert(map_file_name(base, map));
  const std::string dir = work_dir + '/' + output_path;
  std::error_code ec;
  std::vector<std::string> gone;
  for (const auto& entry : std::filesystem::directory_iterator(dir, ec)) {
    const std::string name = entry.path().filename().string();
    std::string_view map = name;
    for (std::string_view ending : {somlabel::kGridEnding, kCodebookEnding}) {
      if (map.ends_with(ending)) map.remove_suffix(ending.size());
    }
    if (is_map_file_name(map, base) && kept.count(map) == 0) gone.push_back(dir + name);
  }
  for (const std::string& name : gone) {
    if (::unlink(name.c_str()) != 0 && errno != ENOENT) {
      std::fprintf(stderr, "somtrain: cannot remove %s: %s\n", name.c_str(),
                   somlabel::errno_text().c_str());
      return Told{};
    }
  }
  return {};
}

Result<Told> write_process_files(const std::string& work_dir, const OutputLayout& layout,
                                 const Hierarchy& hierarchy, const std::string& base) {
  const std::string dir = work_dir + '/';
  const std::string maps_dir = dir + layout.output_path;
  const bool written = make_directory(maps_dir + "key") && make_directory(maps_dir + "tmp_kea") &&
                       remove_gone_maps(work_dir, layout.output_path, hierarchy, base) &&
                       write_file(dir + "process", process_file_text(hierarchy, base, false)) &&
                       write_file(dir + "process.web", process_file_text(hierarchy, base, true)) &&
                       write_option_file(dir + "options", option_file_text(layout));
  return written ? Result<Told>() : Told{};
}

Result<Told> write_outputs(const std::string& work_dir, const OutputLayout& layout,
                           const Corpus& corpus, const Hierarchy& hierarchy,
                           const std::string& base) {
  const std::string maps_dir = work_dir + '/' + layout.output_path;
  if (!make_directory(maps_dir + "key") || !make_directory(maps_dir + "tmp_kea")) {
    return Told{};
  }
  for (std::size_t m = 0; m < hierarchy.maps.size(); ++m) {
    const std::string name = maps_dir + map_file_name(base, hierarchy.maps[m]);
    if (!write_file(name, unit_file_text(corpus, hierarchy, m, base, layout.output_path)) ||
        !write_file(name + std::string(somlabel::kGridEnding), grid_file_text(hierarchy, m)) ||
        !write_file(name + std::string(kCodebookEnding),
                    codebook_file_bytes(hierarchy.maps[m].codebook))) {
      return Told{};
    }
  }
  return write_process_files(work_dir, layout, hierarchy, base);
}

somlabel::Result<Reason> parse_placement(std::string_view text, const Grid& grid,
                                 EarlierPlacement& placement) {
  placement =
      EarlierPlacement{false, {}, std::vector<bool>(static_cast<std::size_t>(grid.units()))};
  int x = -1, y = -1, unit = -1;
  std::vector<std::string_view> names;
  auto number = [](std::string_view value, int& n) {
    const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), n);
    return ec == std::errc() && end == value.data() + value.size();
  };
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    const std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    const std::size_t blank = line.find(' ');
    const std::string_view key = line.substr(0, blank);
    const std::string_view value =
        blank == std::string_view::npos ? std::string_view() : line.substr(blank + 1);
    if (key == keys::kXdim || key == keys::kYdim) {
      int side = 0;
      if (!number(value, side) || side != (key == keys::kXdim ? grid.xdim : grid.ydim))
        return Reason{"not the unit file of a " + std::to_string(grid.xdim) + " x " +
                      std::to_string(grid.ydim) + " map"};
    } else if (key == keys::kPosX || key == keys::kPosY) {
      if (!number(value, key == keys::kPosX ? x : y))
        return Reason{"a unit's column or row is no number"};
      unit = x >= 0 && x < grid.xdim && y >= 0 && y < grid.ydim ? y * grid.xdim + x : -1;
    } else if (key == keys::kMappedVecs) {
      if (unit < 0) return Reason{"documents of a unit outside the map"};
      std::string_view rest = value;
      while (!rest.empty()) {
        const std::size_t space = rest.find(' ');
        const std::string_view name = rest.substr(0, space);
        if (!name.empty()) placement.unit_of[somlabel::checksum64(name)] = unit;
        rest.remove_prefix(space == std::string_view::npos ? rest.size() : space + 1);
      }
    } else if (key == keys::kNrSomsMapped) {
      if (unit < 0) return Reason{"a sub-map of a unit outside the map"};
      placement.expanded[static_cast<std::size_t>(unit)] = value != "0";
    }
  }
  placement.known = true;
  return {};
}

std::optional<StoredCodebook> read_earlier_map(const std::string& unit_file) {
  std::optional<StoredCodebook> stored =
      read_stored_codebook(unit_file + std::string(kCodebookEnding));
  if (!stored) return stored;
  std::string text;
  somlabel::Result<Reason> read = somlabel::read_file(unit_file, text);
  if (read) read = parse_placement(text, stored->grid, stored->placement);
  if (!read) {
    const std::string& why = read.message();
    somlabel::warn("%s%s%s; its documents are placed without regard to where they were",
                   why.starts_with("cannot ") ? "" : unit_file.c_str(),
                   why.starts_with("cannot ") ? "" : ": ", why.c_str());
    stored->placement = {};
  }
  return stored;
}

}  // namespace somlabel::somtrain
