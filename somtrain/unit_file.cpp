#include "somtrain/unit_file.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <numeric>
#include <system_error>

#include "common/io.h"
#include "common/map_keys.h"
#include "common/map_names.h"

namespace somtrain {
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

Result write_file(const std::string& name, const std::string& text) {
  somlabel::File file;
  if (!file.open(name, "wb")) {
    std::fprintf(stderr, "somtrain: cannot create %s: %s\n", name.c_str(), somlabel::errno_text().c_str());
    return Result::failure();
  }
  somlabel::put(file.get(), text);
  return somlabel::reported("somtrain", file.close());
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

Result make_directory(const std::string& name) {
  std::error_code ec;
  std::filesystem::create_directories(name, ec);
  if (ec) {
    std::fprintf(stderr, "somtrain: cannot create directory %s: %s\n", name.c_str(), ec.message().c_str());
    return Result::failure();
  }
  return {};
}

}  // namespace

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
  out += "MODE 1\n";
  out += "OUTPUTPATH " + layout.output_path + "\n";
  out += "KEYPATH " + layout.output_path + "key/\n";
  out += "KEAFILEEXTENSION " + std::string(somlabel::kKeyEnding) + "\n";
  out += "SOURCEPATH " + layout.source_path + "\n";
  out += "TMPKEAPATH " + layout.output_path + "tmp_kea/\n";
  out += "SOURCEFILESLINKPATH " + layout.source_link_path + "\n";
  out += "KEYFILESLINKPATH key/\n";
  return out;
}

Result output_layout(const std::string& documents, const std::string& work_dir,
                   const std::string& output_path, OutputLayout& layout) {
  layout.output_path = output_path;
  if (!make_directory(work_dir + '/' + output_path)) return Result::failure();
  if (!relative_directory(documents, work_dir, layout.source_path) ||
      !relative_directory(documents, work_dir + '/' + output_path, layout.source_link_path)) {
    std::fprintf(stderr, "somtrain: cannot resolve %s\n", documents.c_str());
    return Result::failure();
  }
  if (has_blank(layout.source_path) || has_blank(layout.source_link_path)) {
    std::fprintf(stderr, "somtrain: %s: the option file cannot hold a path with blanks\n",
                 documents.c_str());
    return Result::failure();
  }
  return {};
}

Result write_process_files(const std::string& work_dir, const OutputLayout& layout,
                         const Hierarchy& hierarchy, const std::string& base) {
  const std::string dir = work_dir + '/';
  const std::string maps_dir = dir + layout.output_path;
  const bool written =
      make_directory(maps_dir + "key") && make_directory(maps_dir + "tmp_kea") &&
      write_file(dir + "process", process_file_text(hierarchy, base, false)) &&
      write_file(dir + "process.web", process_file_text(hierarchy, base, true)) &&
      write_file(dir + "options", option_file_text(layout));
  return written ? Result() : Result::failure();
}

Result write_outputs(const std::string& work_dir, const OutputLayout& layout, const Corpus& corpus,
                   const Hierarchy& hierarchy, const std::string& base) {
  const std::string maps_dir = work_dir + '/' + layout.output_path;
  if (!make_directory(maps_dir + "key") || !make_directory(maps_dir + "tmp_kea")) {
    return Result::failure();
  }
  for (std::size_t m = 0; m < hierarchy.maps.size(); ++m) {
    const std::string name = maps_dir + map_file_name(base, hierarchy.maps[m]);
    if (!write_file(name, unit_file_text(corpus, hierarchy, m, base, layout.output_path))) {
      return Result::failure();
    }
  }
  return write_process_files(work_dir, layout, hierarchy, base);
}

}  // namespace somtrain
