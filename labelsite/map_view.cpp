#include "labelsite/map_view.h"

#include <sys/stat.h>

#include <cerrno>
#include <cmath>
#include <cstdio>

#include "common/io.h"
#include "common/messages.h"

namespace somlabel::labelsite {
namespace {

std::string view_name(size_t map) { return "view/m" + std::to_string(map) + ".js"; }

void append_value(PageText& out, double value) {
  if (std::isnan(value)) {
    out.append("null");
    return;
  }
  char number[32];
  std::snprintf(number, sizeof number, "%.6g", value);
  out.append(number);
}

void append_labels(PageText& out, const LabelList& list, const SiteText& text) {
  out.append("[");
  for (size_t i = 0; i < list.labels.size(); ++i) {
    const SiteLabel& label = list.labels[i];
    out.append(i == 0 ? "[" : ",[");
    append_js_string(out, text.phrases.surface[label.phrase]);
    out.append(",");
    append_number(out, label.with);
    out.append(",[");
    const std::string_view stemmed = text.phrases.stemmed[label.phrase];
    bool first = true;
    for (size_t at = 0; at < stemmed.size();) {
      const size_t end = std::min(stemmed.find(' ', at), stemmed.size());
      const int64_t term = text.index.term(stemmed.substr(at, end - at));
      if (term >= 0) {
        if (!first) out.append(",");
        append_number(out, term);
        first = false;
      }
      at = end + 1;
    }
    out.append("]]");
  }
  out.append("]");
}

void append_unit(PageText& out, const Site& site, const SiteText& text, size_t u, int sub) {
  const SiteUnit& unit = site.index().units()[u];
  const SiteMap& map = site.index().maps()[static_cast<size_t>(unit.map)];
  out.append("[");
  for (const long long value :
       {static_cast<long long>(unit.x), static_cast<long long>(unit.y),
        static_cast<long long>(text.order.units[u].begin),
        static_cast<long long>(text.order.units[u].end), static_cast<long long>(sub)}) {
    append_number(out, value);
    out.append(",");
  }
  GridCell cell;
  if (!map.grid.empty() && unit.x >= 0 && unit.y >= 0 && unit.x < map.xdim && unit.y < map.ydim) {
    cell = map.grid[static_cast<size_t>(unit.y) * static_cast<size_t>(map.xdim) +
                    static_cast<size_t>(unit.x)];
  }
  for (const double value : {cell.right, cell.down, cell.qerror}) {
    append_value(out, value);
    out.append(",");
  }
  if (text.labels.units.empty()) {
    out.append("[],0]");
    return;
  }
  const LabelList& labels = text.labels.units[u];
  append_labels(out, labels, text);
  out.append(",");
  append_number(out, labels.more_after(labels.labels.size()));
  out.append("]");
}

bool write_view(Site& site, const SiteText& text, size_t m, const std::vector<int>& sub_of_unit,
                size_t first_unit) {
  const SiteMap& map = site.index().maps()[m];
  SiteFile file;
  if (!site.create(file, view_name(m))) return false;
  PageText& out = file.text();
  out.append("somlabelMap(");
  append_number(out, static_cast<long long>(m));
  out.append(",{\"x\":");
  append_number(out, map.xdim);
  out.append(",\"y\":");
  append_number(out, map.ydim);
  out.append(",\"parent\":");
  append_number(out, site.tree().parent[m]);
  out.append(",\"at\":");
  const int above = text.order.unit_above[m];
  if (above < 0) {
    out.append("null");
  } else {
    const SiteUnit& unit = site.index().units()[static_cast<size_t>(above)];
    out.append("[");
    append_number(out, unit.x);
    out.append(",");
    append_number(out, unit.y);
    out.append("]");
  }
  out.append(",\"range\":[");
  append_number(out, text.order.maps[m].begin);
  out.append(",");
  append_number(out, text.order.maps[m].end);
  out.append(map.grid.empty() ? "],\"grid\":false,\"labels\":" : "],\"grid\":true,\"labels\":");
  if (text.labels.maps.empty()) {
    out.append("[],\"more\":0");
  } else {
    const LabelList& labels = text.labels.maps[m];
    append_labels(out, labels, text);
    out.append(",\"more\":");
    append_number(out, labels.more_after(labels.labels.size()));
  }
  out.append(",\n\"units\":[");
  const std::vector<SiteUnit>& units = site.index().units();
  for (size_t u = first_unit; u < units.size() && units[u].map == static_cast<int>(m); ++u) {
    if (u != first_unit) out.append(",\n");
    append_unit(out, site, text, u, sub_of_unit[u]);
    file.written();
  }
  out.append("]});\n");
  return file.close();
}

}  // namespace

bool write_map_views(Site& site, const SiteText& text) {
  const std::string folder = site.path("view");
  if (mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST) {
    say("cannot create the folder %s: %s", folder.c_str(), errno_text().c_str());
    return false;
  }
  const SiteIndex& index = site.index();
  std::vector<int> sub_of_unit(index.units().size(), -1);
  for (size_t m = 0; m < index.maps().size(); ++m) {
    const int above = text.order.unit_above[m];
    if (above >= 0 && sub_of_unit[static_cast<size_t>(above)] < 0) {
      sub_of_unit[static_cast<size_t>(above)] = static_cast<int>(m);
    }
  }
  size_t first_unit = 0;
  for (size_t m = 0; m < index.maps().size(); ++m) {
    if (!write_view(site, text, m, sub_of_unit, first_unit)) return false;
    while (first_unit < index.units().size() &&
           index.units()[first_unit].map == static_cast<int>(m)) {
      ++first_unit;
    }
  }
  site.remove_stale(index.maps().size(), view_name);
  return true;
}

}  // namespace somlabel::labelsite
