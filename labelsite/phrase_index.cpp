#include "labelsite/phrase_index.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "labelsite/search_slices.h"

namespace somlabel::labelsite {

void PhraseIndex::order() {
  const std::vector<SitePhrase>& phrases = site_.index().phrases();
  order_.build(phrases.size(), [&](size_t i) { return std::string_view(phrases[i].text); });
  group_of_item_.assign(phrases.size(), 0);
  for (const KeyOrder::Entry& entry : order_.entries()) {
    if (entry.start != 0) continue;
    if (!groups_.empty() && order_.key(groups_.back().item) == order_.key(entry.item)) {
      merge_units(groups_.back(), phrases[entry.item].units);
    } else {
      groups_.push_back({entry.item, {}, 1, {}});
    }
    group_of_item_[entry.item] = groups_.size() - 1;
  }
}

// One entry per unit, at its better place, in unit order (map by map in the
// order of the process file, then row by row): the order in which each
// phrase met its units.
void PhraseIndex::merge_units(Group& group, const std::vector<UnitRef>& more) const {
  if (group.merged.empty()) group.merged = site_.index().phrases()[group.item].units;
  const size_t middle = group.merged.size();
  group.merged.insert(group.merged.end(), more.begin(), more.end());
  const auto by_unit = [](const UnitRef& a, const UnitRef& b) {
    return a.unit != b.unit ? a.unit < b.unit : a.rank < b.rank;
  };
  std::inplace_merge(group.merged.begin(),
                     group.merged.begin() + static_cast<std::ptrdiff_t>(middle), group.merged.end(),
                     by_unit);
  group.merged.erase(
      std::unique(group.merged.begin(), group.merged.end(),
                  [](const UnitRef& a, const UnitRef& b) { return a.unit == b.unit; }),
      group.merged.end());
}

const std::vector<UnitRef>& PhraseIndex::units(const Group& group) const {
  return group.merged.empty() ? site_.index().phrases()[group.item].units : group.merged;
}

// Cuts the index into pages; returns each page's first and last phrase.
std::vector<PageRange> PhraseIndex::paginate() {
  const std::vector<SitePhrase>& phrases = site_.index().phrases();
  std::vector<PageRange> ranges;
  size_t on_page = 0;
  size_t units_on_page = 0;
  for (Group& group : groups_) {
    const size_t count = units(group).size();
    if (ranges.empty() || on_page == kPhrasesPerPage ||
        (on_page != 0 && units_on_page + count > kUnitsPerPhrasePage)) {
      ranges.emplace_back(phrases[group.item].text, phrases[group.item].text);
      on_page = 0;
      units_on_page = 0;
    }
    group.page = ranges.size();
    ranges.back().second = phrases[group.item].text;
    ++on_page;
    units_on_page += count;
  }
  return ranges;
}

// A phrase's units, map by map: the map's link, then the units' places.
void PhraseIndex::append_units(PageText& out, const std::vector<UnitRef>& refs) const {
  int map = -1;
  for (const UnitRef& ref : refs) {
    const SiteUnit& unit = site_.index().units()[static_cast<size_t>(ref.unit)];
    if (unit.map != map) {
      if (map != -1) out.append("; ");
      map = unit.map;
      site_.append_map_link(out, map);
    }
    append_coordinates(out, unit.x, unit.y);
  }
}

bool PhraseIndex::write_pages() {
  const std::vector<SitePhrase>& phrases = site_.index().phrases();
  IndexPages pages{.base = "phrases",
                   .title = "Phrases",
                   .entries = groups_.size(),
                   .about =
                       " label phrases, A to Z, each with the units that carry it: map, then "
                       "unit (column, row).",
                   .ranges = paginate()};
  for (size_t g = 0; g < groups_.size(); ++g) {
    const std::string_view key = order_.key(groups_[g].item);
    std::string& target = pages.letters[bucket_of(key.empty() ? '\0' : key[0])];
    if (target.empty()) target = index_page(pages.base, groups_[g].page) + "#p" + std::to_string(g);
  }
  size_t g = 0;
  return site_.write_index_pages(pages, [&](SiteFile& file, size_t page) {
    PageText& out = file.text();
    out.append("<dl class=\"index\">\n");
    for (; g < groups_.size() && groups_[g].page == page; ++g) {
      out.append("<dt id=\"p");
      append_number(out, static_cast<long long>(g));
      out.append("\">");
      append_html_text(out, phrases[groups_[g].item].text);
      out.append("</dt><dd>");
      append_units(out, units(groups_[g]));
      out.append("</dd>\n");
      file.written();
    }
    out.append("</dl>\n");
  });
}

// The rest of a phrase's search entries: its page and number in the index,
// its number of units and the best of them, by the phrase's place there.
std::string PhraseIndex::search_tail(const Group& group, size_t number) const {
  std::vector<UnitRef> best = units(group);
  const size_t shown = std::min<size_t>(best.size(), kSearchUnitsPerPhrase);
  std::partial_sort(best.begin(), best.begin() + static_cast<std::ptrdiff_t>(shown), best.end(),
                    [](const UnitRef& a, const UnitRef& b) {
                      return a.rank != b.rank ? a.rank < b.rank : a.unit < b.unit;
                    });
  PageText tail;
  for (const size_t value : {group.page, number, best.size()}) {
    tail.append(",");
    append_number(tail, static_cast<long long>(value));
  }
  for (size_t i = 0; i < shown; ++i) {
    const SiteUnit& unit = site_.index().units()[static_cast<size_t>(best[i].unit)];
    for (const int value : {unit.map, unit.x, unit.y}) {
      tail.append(",");
      append_number(tail, value);
    }
  }
  tail.append("]");
  return std::string(tail.view());
}

void PhraseIndex::append_entry(PageText& out, const KeyOrder::Entry& entry) {
  const size_t g = group_of_item_[entry.item];
  Group& group = groups_[g];
  const std::string_view text = site_.index().phrases()[group.item].text;
  out.append("[");
  append_js_string(out, text);
  out.append(",");
  append_entry_key(out, text, order_.key(group.item), entry.start);
  if (group.search_tail.empty()) group.search_tail = search_tail(group, g);
  out.append(group.search_tail);
}

bool PhraseIndex::write_search() {
  SearchSlices slices(site_, 'p');
  size_t last_group = SIZE_MAX;
  uint32_t last_start = 0;
  for (const KeyOrder::Entry& entry : order_.entries()) {
    // One entry per phrase of the index and word: the phrases merged into
    // one come one after the other.
    const size_t group = group_of_item_[entry.item];
    if (group == last_group && entry.start == last_start) continue;
    last_group = group;
    last_start = entry.start;
    PageText* out = slices.next(order_.key(entry));
    if (out == nullptr) return false;
    append_entry(*out, entry);
  }
  const bool finished = slices.finish();
  slice_firsts_ = slices.firsts();
  return finished;
}

}  // namespace somlabel::labelsite
