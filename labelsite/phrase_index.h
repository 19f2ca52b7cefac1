// The label phrases of the site, A to Z, each with the units that carry it:
// the phrase index (phrases.html, phrases-2.html, ...) and the phrases'
// search data (search/p<N>.js). Phrases whose search keys are equal (they
// differ in case or blanks only) are one entry, shown as the first of them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "labelsite/key_order.h"
#include "labelsite/site.h"

namespace somlabel::labelsite {

// A page of the phrase index ends after this many phrases, or once it lists
// this many units.
inline constexpr size_t kPhrasesPerPage = 500;
inline constexpr size_t kUnitsPerPhrasePage = 5000;

// Units listed with a phrase in the search data, best first.
inline constexpr int kSearchUnitsPerPhrase = 10;

class PhraseIndex {
 public:
  explicit PhraseIndex(Site& site) : site_(site) {}

  // Called in this order: order() the phrases; write_pages(), which puts
  // each phrase on its page; write_search(), whose entries name that page.
  // The two writes return false after printing why.
  void order();
  [[nodiscard]] bool write_pages();
  [[nodiscard]] bool write_search();

  [[nodiscard]] size_t size() const { return groups_.size(); }
  [[nodiscard]] const std::vector<std::string>& slice_firsts() const { return slice_firsts_; }

 private:
  struct Group {
    uint32_t item = 0;            // the phrase shown, the first of those with its key
    std::vector<UnitRef> merged;  // with further phrases of its key: the units of all
    size_t page = 1;
    std::string search_tail;  // its search entries after the key, once made
  };

  void merge_units(Group& group, const std::vector<UnitRef>& more) const;
  [[nodiscard]] const std::vector<UnitRef>& units(const Group& group) const;
  [[nodiscard]] std::vector<PageRange> paginate();
  void append_units(PageText& out, const std::vector<UnitRef>& refs) const;
  void append_entry(PageText& out, const KeyOrder::Entry& entry);
  [[nodiscard]] std::string search_tail(const Group& group, size_t number) const;

  Site& site_;
  KeyOrder order_;
  std::vector<Group> groups_;  // the index, A to Z
  std::vector<size_t> group_of_item_;
  std::vector<std::string> slice_firsts_;
};

}  // namespace somlabel::labelsite
