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

void unit_block(std::string& out, const Corpus& corpus, const Hierarchy& hierarchy,
                const MapResult& map, int u, const std::string& base,
                const std::string& output_path) {
  const UnitResult& unit = map.units[static_cast<std::size_t>(u)];
  line(out, keys::kPosX, std::to_string(map.grid.x(u)));
  line(out, keys::kPosY, std::to_string(map.grid.y(u)));
  line(out, keys::kNodeId, node_id(base, map, u));
  line(out, keys::kQuanterrorNode, fixed6(unit.quantization_error));
  line(out, keys::kNrVecMapped, std::to_string(unit.documents.size()));
  std::vector<std::string> names;
  for (int d : unit.documents) names.push_back(corpus.documents[static_cast<std::size_t>(d)].name);
  out.append(keys::kMappedVecs).append(joined(names)) += '\n';
  line(out, keys::kNrSomsMapped, unit.sub_map < 0 ? "0" : "1");
  if (unit.sub_map >= 0) {
    const MapResult& sub = hierarchy.maps[static_cast<std::size_t>(unit.sub_map)];
    line(out, keys::kUrlMappedSoms,
         somlabel::sub_map_address(output_path + map_file_name(base, sub), kAddressTail));
  }
  line(out, keys::kNrLabels, std::to_string(unit.labels.size()));
  out.append(keys::kLabel).append(joined(unit.labels)) += '\n';
}

bool write_file(const std::string& name, const std::string& text) {
  somlabel::File file;
  if (!file.open(name, "wb")) {
    std::fprintf(stderr, "somtrain: cannot create %s: %s\n", name.c_str(), somlabel::errno_text().c_str());
    return false;
  }
  somlabel::put(file.get(), text);
  const somlabel::Result closed = file.close();
  somlabel::report("somtrain", closed);
  return closed.ok();
}

bool make_directory(const std::string& name) {
  std::error_code ec;
  std::filesystem::create_directories(name, ec);
  if (ec) {
    std::fprintf(stderr, "somtrain: cannot create directory %s: %s\n", name.c_str(), ec.message().c_str());
    return false;
  }
  return true;
}

}  // namespace

std::string unit_file_text(const Corpus& corpus, const Hierarchy& hierarchy, std::size_t map,
                           const std::string& base, const std::string& output_path) {
  const MapResult& m = hierarchy.maps[map];
  std::string out;
  line(out, keys::kType, "rect");
  line(out, keys::kXdim, std::to_string(m.grid.xdim));
  line(out, keys::kYdim, std::to_string(m.grid.ydim));
  for (int u = 0; u < m.grid.units(); ++u) unit_block(out, corpus, hierarchy, m, u, base, output_path);
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

bool write_outputs(const std::string& work_dir, const OutputLayout& layout, const Corpus& corpus,
                   const Hierarchy& hierarchy, const std::string& base) {
  const std::string dir = work_dir + '/';
  const std::string maps_dir = dir + layout.output_path;
  if (!make_directory(maps_dir + "key") || !make_directory(maps_dir + "tmp_kea")) return false;
  for (std::size_t m = 0; m < hierarchy.maps.size(); ++m) {
    const std::string name = maps_dir + map_file_name(base, hierarchy.maps[m]);
    if (!write_file(name, unit_file_text(corpus, hierarchy, m, base, layout.output_path))) return false;
  }
  return write_file(dir + "process", process_file_text(hierarchy, base, false)) &&
         write_file(dir + "process.web", process_file_text(hierarchy, base, true)) &&
         write_file(dir + "options", option_file_text(layout));
}

}  // namespace somtrain
