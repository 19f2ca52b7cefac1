#include "labelsite/site_order.h"

#include <utility>

namespace somlabel::labelsite {
namespace {

// A step of the walk over the tree, without recursion: a hierarchy may be deep.
enum class Step { enter_map, leave_map, enter_unit, leave_unit };

// The units of each map, which the site index holds one map after the other.
std::vector<DocumentRange> units_of_maps(const SiteIndex& index) {
  std::vector<DocumentRange> units(index.maps().size());
  for (uint32_t u = 0; u < index.units().size(); ++u) {
    DocumentRange& range = units[static_cast<size_t>(index.units()[u].map)];
    if (range.size() == 0) range.begin = u;
    range.end = u + 1;
  }
  return units;
}

// The sub-maps hanging below each unit, and those below a map but no unit of it.
struct Children {
  std::vector<std::vector<int>> of_unit;
  std::vector<std::vector<int>> of_map;
};

Children children_of(const SiteIndex& index, const MapTree& tree,
                     const std::vector<DocumentRange>& map_units, std::vector<int>& unit_above) {
  Children children{std::vector<std::vector<int>>(index.units().size()),
                    std::vector<std::vector<int>>(index.maps().size())};
  unit_above.assign(index.maps().size(), -1);
  for (size_t m = 0; m < index.maps().size(); ++m) {
    for (const int child : tree.children[m]) {
      const SubMapLink& at = tree.expands[static_cast<size_t>(child)];
      for (uint32_t u = map_units[m].begin; u < map_units[m].end && at.x >= 0; ++u) {
        const SiteUnit& unit = index.units()[u];
        if (unit.x != at.x || unit.y != at.y) continue;
        unit_above[static_cast<size_t>(child)] = static_cast<int>(u);
        break;
      }
      const int above = unit_above[static_cast<size_t>(child)];
      (above < 0 ? children.of_map[m] : children.of_unit[static_cast<size_t>(above)])
          .push_back(child);
    }
  }
  return children;
}

}  // namespace

SiteOrder site_order(const SiteIndex& index, const MapTree& tree) {
  SiteOrder order;
  order.units.resize(index.units().size());
  order.maps.resize(index.maps().size());
  const std::vector<DocumentRange> map_units = units_of_maps(index);
  const Children children = children_of(index, tree, map_units, order.unit_above);

  // The documents of each unit, in the order read.
  std::vector<uint32_t> first(index.units().size() + 1, 0);
  for (const SiteDocument& document : index.documents())
    ++first[static_cast<size_t>(document.unit) + 1];
  for (size_t u = 1; u < first.size(); ++u) first[u] += first[u - 1];
  std::vector<uint32_t> by_unit(index.documents().size());
  std::vector<uint32_t> next(first.begin(), first.end() - 1);
  for (uint32_t d = 0; d < index.documents().size(); ++d) {
    by_unit[next[static_cast<size_t>(index.documents()[d].unit)]++] = d;
  }

  order.documents.reserve(index.documents().size());
  const auto position = [&order] { return static_cast<uint32_t>(order.documents.size()); };
  std::vector<std::pair<Step, int>> stack;
  for (auto root = tree.roots.rbegin(); root != tree.roots.rend(); ++root) {
    stack.emplace_back(Step::enter_map, *root);
  }
  while (!stack.empty()) {
    const auto [step, id] = stack.back();
    stack.pop_back();
    const auto at = static_cast<size_t>(id);
    switch (step) {
      case Step::enter_map: {
        order.maps[at].begin = position();
        stack.emplace_back(Step::leave_map, id);
        for (auto c = children.of_map[at].rbegin(); c != children.of_map[at].rend(); ++c) {
          stack.emplace_back(Step::enter_map, *c);
        }
        for (uint32_t u = map_units[at].end; u-- > map_units[at].begin;) {
          stack.emplace_back(Step::leave_unit, u);
          const std::vector<int>& below = children.of_unit[u];
          for (auto c = below.rbegin(); c != below.rend(); ++c) {
            stack.emplace_back(Step::enter_map, *c);
          }
          stack.emplace_back(Step::enter_unit, u);
        }
        break;
      }
      case Step::leave_map: order.maps[at].end = position(); break;
      case Step::enter_unit:
        order.units[at].begin = position();
        order.documents.insert(order.documents.end(), by_unit.begin() + first[at],
                               by_unit.begin() + first[at + 1]);
        break;
      case Step::leave_unit: order.units[at].end = position(); break;
    }
  }
  return order;
}

}  // namespace somlabel::labelsite
