// The documents of the site, A to Z: the document index (documents.html,
// documents-2.html, ...) and their search data (search/d<N>.js). A document
// is found by the start of any word of its name.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "labelsite/key_order.h"
#include "labelsite/site.h"

namespace somlabel::labelsite {

// Entries on one page of the document index.
inline constexpr size_t kDocumentsPerPage = 1000;

class DocumentIndex {
 public:
  explicit DocumentIndex(Site& site) : site_(site) {}

  // Orders the documents; before anything is written.
  void order();

  // Write the index pages and the search data. Once order() is done the two
  // may run on threads of their own: neither changes what the other reads.
  // False after printing why.
  [[nodiscard]] bool write_pages();
  [[nodiscard]] bool write_search();

  [[nodiscard]] size_t size() const { return rows_.size(); }
  [[nodiscard]] const std::vector<std::string>& slice_firsts() const { return slice_firsts_; }

 private:
  // A document of the index, gathered in A-to-Z order with its name, so that
  // the pages and the search data read the documents one after the other
  // rather than all over the site index.
  struct Row {
    size_t name_offset = 0;  // into names_
    uint32_t name_size = 0;
    int unit = 0;
    unsigned char bucket = 0;   // of the letter bar
    bool link_safe = false;     // a link part as it is, and page text too
    bool script_plain = false;  // a script string as it is, without blanks: the
                                // search key is the name with A-Z lower-cased
  };

  void make_unit_parts();
  [[nodiscard]] std::string_view name(const Row& row) const {
    return std::string_view(names_).substr(row.name_offset, row.name_size);
  }
  void append_row(PageText& out, const Row& row, bool first_of_letter) const;
  void append_entry(PageText& out, const KeyOrder::Entry& entry) const;

  Site& site_;
  KeyOrder order_;
  std::vector<Row> rows_;              // the index, A to Z
  std::string names_;                  // the rows' names, in that order
  std::vector<uint32_t> row_of_item_;  // per document of the site index: its row
  // Made once per unit, for each of its documents: the cells after the name
  // (map and unit, the unit's best phrases) and the end of the search entry;
  // unit u's part is [offsets[u], offsets[u + 1]).
  std::string row_ends_;
  std::vector<size_t> row_end_offsets_;
  std::string entry_ends_;
  std::vector<size_t> entry_end_offsets_;
  std::vector<std::string> slice_firsts_;  // set by write_search()
};

}  // namespace somlabel::labelsite
