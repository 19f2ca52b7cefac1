#include "labelsite/label_search.h"

#include <algorithm>

#include "labelsite/key_order.h"
#include "labelsite/search_slices.h"

namespace somlabel::labelsite {
namespace {

struct LabelRef {
  int map = 0;
  int x = -1;
  int y = -1;
  size_t rank = 0;
  uint32_t with = 0;
  uint32_t documents = 0;
};

// Per phrase that is a label somewhere: where, best placed first.
std::vector<std::vector<LabelRef>> refs_of(const Site& site, const SiteText& text) {
  std::vector<std::vector<LabelRef>> refs(text.phrases.size());
  const auto add = [&](const LabelList& list, int map, int x, int y) {
    for (size_t rank = 0; rank < list.labels.size(); ++rank) {
      const SiteLabel& label = list.labels[rank];
      refs[label.phrase].push_back({map, x, y, rank, label.with, list.documents});
    }
  };
  const SiteIndex& index = site.index();
  for (size_t m = 0; m < text.labels.maps.size(); ++m)
    add(text.labels.maps[m], static_cast<int>(m), -1, -1);
  for (size_t u = 0; u < text.labels.units.size(); ++u) {
    const SiteUnit& unit = index.units()[u];
    add(text.labels.units[u], unit.map, unit.x, unit.y);
  }
  for (std::vector<LabelRef>& list : refs) {
    std::stable_sort(list.begin(), list.end(), [](const LabelRef& a, const LabelRef& b) {
      if (a.rank != b.rank) return a.rank < b.rank;
      return uint64_t{a.with} * b.documents > uint64_t{b.with} * a.documents;
    });
    if (list.size() > kSearchUnitsPerLabel) list.resize(kSearchUnitsPerLabel);
  }
  return refs;
}

}  // namespace

bool write_label_search(Site& site, const SiteText& text, std::vector<std::string>& firsts) {
  const std::vector<std::vector<LabelRef>> refs = refs_of(site, text);
  std::vector<uint32_t> labels;
  for (uint32_t p = 0; p < refs.size(); ++p) {
    if (!refs[p].empty()) labels.push_back(p);
  }
  KeyOrder order;
  order.build(labels.size(),
              [&](size_t i) { return std::string_view(text.phrases.surface[labels[i]]); });
  SearchSlices slices(site, 'l');
  for (const KeyOrder::Entry& entry : order.entries()) {
    PageText* out = slices.next(order.key(entry));
    if (out == nullptr) return false;
    const uint32_t phrase = labels[entry.item];
    const std::string& surface = text.phrases.surface[phrase];
    out->append("[");
    append_js_string(*out, surface);
    out->append(",");
    append_entry_key(*out, surface, order.key(entry.item), entry.start);
    for (const LabelRef& ref : refs[phrase]) {
      for (const long long value : {static_cast<long long>(ref.map), static_cast<long long>(ref.x),
                                    static_cast<long long>(ref.y), static_cast<long long>(ref.with),
                                    static_cast<long long>(ref.documents)}) {
        out->append(",");
        append_number(*out, value);
      }
    }
    out->append("]");
  }
  const bool finished = slices.finish();
  firsts = slices.firsts();
  return finished;
}

}  // namespace somlabel::labelsite
