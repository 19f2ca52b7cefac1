// What every file of the site needs: the folder it goes into, the links to
// the map pages, how a page begins and ends, and the parts that the document
// index and the phrase index share (pager, letter bar, list of pages).
#pragma once

#include <array>
#include <atomic>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "labelsite/site_file.h"
#include "labelsite/site_index.h"
#include "labelsite/web_text.h"

namespace somlabel::labelsite {

// The buckets of the letter bar: 0-9, A to Z, then everything else.
inline constexpr size_t kBuckets = 28;

// The bucket of a search key by its first byte ('\0' for an empty key).
[[nodiscard]] size_t bucket_of(char first);

// The file name of page `page` (from 1) of the index named `base`:
// "documents.html", "documents-2.html", ...
[[nodiscard]] std::string index_page(std::string_view base, size_t page);

// Between the items of a list in a line: " · ".
inline constexpr std::string_view kMiddleDot = " \xC2\xB7 ";

// A page of an index by its first and last entry, as shown in the list of pages.
using PageRange = std::pair<std::string, std::string>;

void append_number(PageText& out, long long number);
void append_coordinates(PageText& out, int x, int y);  // " (x, y)"

// The site being written. The records it is made from stay owned by the
// caller and must outlive it. Threads may create files at once; all else
// is read-only after construction.
class Site {
 public:
  Site(const SiteIndex& index, std::string folder);

  [[nodiscard]] const SiteIndex& index() const { return index_; }
  [[nodiscard]] const Settings& settings() const { return index_.settings(); }
  [[nodiscard]] const MapTree& tree() const { return tree_; }
  [[nodiscard]] const std::string& map_href(int map) const;  // relative to the folder, encoded

  // The path of the site's file `name`.
  [[nodiscard]] std::string path(std::string_view name) const;
  // Creates the site's file `name` (SiteFile::create) and counts it.
  [[nodiscard]] bool create(SiteFile& file, std::string_view name);
  [[nodiscard]] size_t files() const { return files_; }

  // Removes the site's files `name_of(n)` for n = first, first + 1, ... up to
  // the first that does not exist: what an earlier, larger site left.
  void remove_stale(size_t first, const std::function<std::string(size_t)>& name_of) const;

  // From the doctype to the navigation bar, which names `here` without a link.
  void begin_page(PageText& out, std::string_view title, std::string_view here) const;
  static void end_page(PageText& out);

  void append_map_link(PageText& out, int map) const;
  void append_unit_link(PageText& out, int unit) const;  // the map's link and " (x, y)"

  // Where a page of an index stands, with links to the previous and next one.
  static void append_pager(PageText& out, std::string_view base, size_t page, size_t pages);
  // The letter bar: each bucket links to `targets`, or is plain text when empty.
  static void append_letters(PageText& out, const std::array<std::string, kBuckets>& targets);
  // Every page of an index by its first and last entry (nothing for one page).
  static void append_page_list(PageText& out, std::string_view base,
                               const std::vector<PageRange>& ranges);

 private:
  const SiteIndex& index_;
  std::string folder_;  // empty: the working directory
  MapTree tree_;
  std::vector<std::string> map_href_;
  std::vector<std::string> map_link_;  // "<a href=...>title</a>"
  std::atomic<size_t> files_ = 0;
};

}  // namespace somlabel::labelsite
