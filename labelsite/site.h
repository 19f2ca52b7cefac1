// The site being written and what every file of it needs: the folder it goes
// into, the links to the map pages, how a page begins and ends, and the frame
// that the pages of the document index and the phrase index share.
#pragma once

#include <array>
#include <atomic>
#include <charconv>
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
[[nodiscard]] inline size_t bucket_of(char first) {
  if (first >= '0' && first <= '9') return 0;
  if (first >= 'a' && first <= 'z') return static_cast<size_t>(first - 'a') + 1;
  return kBuckets - 1;
}

// The file name of page `page` (from 1) of the index named `base`:
// "documents.html", "documents-2.html", ...
[[nodiscard]] std::string index_page(std::string_view base, size_t page);

// Between the items of a list in a line: " · ".
inline constexpr std::string_view kMiddleDot = " \xC2\xB7 ";

// A page of an index by its first and last entry, as shown in the list of pages.
using PageRange = std::pair<std::string, std::string>;

// An A-to-Z index of the site over its pages "<base>.html", "<base>-2.html",
// ...: each opens with its title, the number of entries and what they are,
// the letter bar and where the page stands; the first also lists every page.
struct IndexPages {
  std::string_view base;                        // "documents"
  std::string_view title;                       // "Documents"
  size_t entries = 0;                           // the number the introduction starts with
  std::string_view about;                       // the rest of its sentence
  std::array<std::string, kBuckets> letters{};  // where each bucket starts; empty: nowhere
  std::vector<PageRange> ranges{};              // per page; none for an empty index
};

// Numbers of the pages and search data. Inline, as bucket_of: they are made
// for every entry of the site.
inline void append_number(PageText& out, long long number) {
  if (number >= 0 && number < 1000) {  // most numbers of the search data and pages
    if (number >= 100) out.push_back(static_cast<char>('0' + number / 100));
    if (number >= 10) out.push_back(static_cast<char>('0' + number / 10 % 10));
    out.push_back(static_cast<char>('0' + number % 10));
    return;
  }
  char text[24];
  const auto end = std::to_chars(text, text + sizeof text, number).ptr;
  out.append(text, static_cast<size_t>(end - text));
}

// " (x, y)"; inline for the phrase index, which lists every unit of every phrase.
inline void append_coordinates(PageText& out, int x, int y) {
  out.append(" (");
  append_number(out, x);
  out.append(", ");
  append_number(out, y);
  out.append(")");
}

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

  // From the doctype to the navigation bar, which names `here` without a
  // link; `style` is added to the pages' own.
  void begin_page(PageText& out, std::string_view title, std::string_view here,
                  std::string_view style = {}) const;
  static void end_page(PageText& out);

  void append_map_link(PageText& out, int map) const;
  void append_unit_link(PageText& out, int unit) const;  // the map's link and " (x, y)"

  // Writes the pages of `pages` (at least one) in order, from page 1: each
  // its opening, then what `append_entries(file, page)` adds, then where the
  // page stands once more. Removes the pages that an earlier, larger index
  // left. False after printing why.
  [[nodiscard]] bool write_index_pages(
      const IndexPages& pages, const std::function<void(SiteFile&, size_t)>& append_entries);

 private:
  const SiteIndex& index_;
  std::string folder_;  // empty: the working directory
  MapTree tree_;
  std::vector<std::string> map_href_;
  std::vector<std::string> map_link_;  // "<a href=...>title</a>"
  std::atomic<size_t> files_ = 0;
};

}  // namespace somlabel::labelsite
