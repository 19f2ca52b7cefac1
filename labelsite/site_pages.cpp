#include "labelsite/site_pages.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "common/io.h"
#include "common/map_names.h"
#include "labelsite/key_order.h"
#include "labelsite/search_script.h"
#include "labelsite/site_file.h"
#include "labelsite/web_text.h"

namespace somlabel::labelsite {
namespace {

constexpr std::string_view kStyle =
    "body{font-family:sans-serif;line-height:1.4;margin:1em auto;max-width:72em;padding:0 1em}"
    "nav,.meta{color:#555}.phrases{color:#222}a{color:#0645ad}"
    "ul.tree,ul.tree ul{list-style:none;padding-left:1.5em}ul.tree{padding-left:0}"
    "ul.tree li{margin:.4em 0}"
    "table.index{border-collapse:collapse}table.index td,table.index th{padding:.15em .6em;"
    "text-align:left;vertical-align:top}table.index tr:nth-child(even){background:#f4f4f4}"
    "dl.index dt{font-weight:bold;margin-top:.5em}dl.index dd{margin-left:1.5em}"
    "dl.legend dt{font-weight:bold}dl.legend dd{margin:0 0 .4em 1.5em}"
    "#search{font-size:110%;padding:.3em;width:100%;max-width:40em;box-sizing:border-box}"
    "#search-results{display:grid;gap:0 "
    "2em;grid-template-columns:repeat(auto-fit,minmax(18em,1fr))}"
    "#search-results h3{font-size:100%;margin:.8em 0 .2em}"
    "#search-results ul{margin:0;padding-left:1.2em}";

// The buckets of the letter bar: 0-9, A to Z, then everything else.
constexpr size_t kBuckets = 28;

// The bucket of a key by its first byte (0 for an empty key).
size_t bucket_of(char c) {
  if (c >= '0' && c <= '9') return 0;
  if (c >= 'a' && c <= 'z') return static_cast<size_t>(c - 'a') + 1;
  return kBuckets - 1;
}

std::string bucket_label(size_t bucket) {
  if (bucket == 0)
    return "0\xE2\x80\x93"
           "9";  // 0–9
  if (bucket == kBuckets - 1) return "other";
  return std::string(1, static_cast<char>('A' + bucket - 1));
}

std::string join(const std::string& folder, std::string_view name) {
  return folder.empty() ? std::string(name) : folder + "/" + std::string(name);
}

void append_number(PageText& out, long long number) {
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

// The name of page `page` (from 1) of the index named `base`.
std::string index_page(std::string_view base, size_t page) {
  std::string name(base);
  if (page > 1) name += "-" + std::to_string(page);
  return name + ".html";
}

void append_coordinates(PageText& out, int x, int y) {
  out.append(" (");
  append_number(out, x);
  out.append(", ");
  append_number(out, y);
  out.append(")");
}

// What a document name needs on its way into pages, links and the search
// data. Most names need nothing anywhere and are copied as they are.
enum NameForm : unsigned char {
  kLinkPlain = 1,    // a link part as it is (and page text, too)
  kScriptPlain = 2,  // printable ASCII that a script string takes as it is: no blank, " \\ <
};

constexpr std::array<unsigned char, 256> kNameForms = [] {
  std::array<unsigned char, 256> table{};
  for (unsigned c = 0x21; c < 0x7f; ++c) {
    const bool link = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                      c == '-' || c == '.' || c == '_' || c == '~' || c == '/';
    const bool script = c != '"' && c != '\\' && c != '<';
    table[c] = static_cast<unsigned char>((link ? kLinkPlain : 0) | (script ? kScriptPlain : 0));
  }
  return table;
}();

unsigned name_form(std::string_view name) {
  unsigned form = kLinkPlain | kScriptPlain;
  for (const char c : name) form &= kNameForms[static_cast<unsigned char>(c)];
  return form;
}

// The key of an entry as the search script derives it from the text, when
// it can: a number, where the key starts in an ASCII text whose lower-cased
// form is the key. Otherwise the key itself, as a string.
void append_entry_key(PageText& out, std::string_view text, std::string_view item_key,
                      uint32_t start) {
  bool derivable = text.size() == item_key.size();
  for (size_t i = 0; derivable && i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    const char lower = static_cast<char>(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
    derivable = c < 0x80 && lower == item_key[i];
  }
  if (derivable) {
    append_number(out, start);
  } else {
    append_js_string(out, item_key.substr(start));
  }
}

class SiteWriter {
 public:
  SiteWriter(const SiteIndex& index, const std::string& folder, SiteSummary& summary)
      : index_(index), settings_(index.settings()), folder_(folder), summary_(summary) {}

  // The phrases and the documents are written side by side, and the
  // documents' pages beside their search data: each thread writes files of
  // its own from what the index and the finished orders hold, and none
  // writes what another reads. index.html, which needs all of them, comes last.
  bool write() {
    prepare_maps();
    if (!make_search_folder()) return false;
    bool phrases_written = false;
    std::thread phrases([&] {
      order_phrases();
      phrases_written = write_phrase_pages() && write_search_kind('p', phrases_, phrase_firsts_);
    });
    order_documents();
    bool pages_written = false;
    std::thread pages([&] { pages_written = write_document_pages(); });
    const bool search_written = write_search_kind('d', documents_, document_firsts_);
    pages.join();
    phrases.join();
    const bool written = phrases_written && pages_written && search_written && write_index_page();
    summary_.files = files_;
    return written;
  }

 private:
  struct DocumentRow {
    size_t name_offset = 0;  // into row_names_
    uint32_t name_size = 0;
    int unit = 0;
    unsigned char bucket = 0;  // of the letter bar
    unsigned char form = 0;    // NameForm bits
  };

  struct PhraseGroup {
    uint32_t item = 0;            // the phrase shown, the first of those with its key
    std::vector<UnitRef> merged;  // with further phrases of its key: the units of all
    size_t page = 1;
    std::string search_tail;  // its search entries after the key, once made
  };

  // --- what every page needs ----------------------------------------------

  void prepare_maps() {
    namespace fs = std::filesystem;
    const fs::path base = fs::path(folder_.empty() ? "." : folder_).lexically_normal();
    for (const SiteMap& map : index_.maps()) {
      const std::string_view page = map.page_path;
      const std::string_view page_folder =
          page.find('/') == std::string_view::npos ? "" : page.substr(0, page.rfind('/'));
      std::string href(base_name(page));
      if (page_folder != folder_) {
        href = fs::path(map.page_path).lexically_normal().lexically_relative(base).string();
        if (href.empty()) href = fs::absolute(map.page_path).lexically_normal().string();
      }
      PageText text;
      append_link_part(text, href);
      map_href_.emplace_back(text.view());
      text.clear();
      append_html_text(text, map.title);
      map_title_.emplace_back(text.view());
      map_link_.push_back("<a href=\"" + map_href_.back() + "\">" + map_title_.back() + "</a>");
    }
    tree_ = map_tree(index_);
  }

  void begin_page(PageText& out, std::string_view title, std::string_view here) {
    out.append(
        "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
        "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>");
    append_html_text(out, title);
    out.append("</title>\n<style>");
    out.append(kStyle);
    out.append("</style>\n</head>\n<body>\n<nav>");
    const std::pair<std::string_view, std::string_view> places[] = {
        {"index.html", "Maps and search"},
        {"documents.html", "Documents"},
        {"phrases.html", "Phrases"}};
    for (const auto& [href, name] : places) {
      if (href != places[0].first) out.append(" \xC2\xB7 ");  // middle dot
      if (href == here) {
        out.append(name);
        continue;
      }
      out.append("<a href=\"");
      out.append(href);
      out.append("\">");
      out.append(name);
      out.append("</a>");
    }
    out.append("</nav>\n");
  }

  static void end_page(PageText& out) { out.append("</body>\n</html>\n"); }

  void append_map_link(PageText& out, int map) { out.append(map_link_[static_cast<size_t>(map)]); }

  void append_unit_link(PageText& out, int unit_id) {
    const SiteUnit& unit = index_.units()[static_cast<size_t>(unit_id)];
    append_map_link(out, unit.map);
    append_coordinates(out, unit.x, unit.y);
  }

  // Previous and next page, and where this page stands.
  static void append_pager(PageText& out, std::string_view base, size_t page, size_t pages) {
    out.append("<p class=\"meta\">Page ");
    append_number(out, static_cast<long long>(page));
    out.append(" of ");
    append_number(out, static_cast<long long>(pages));
    for (const auto& [target, label] : {std::pair{page - 1, "previous"}, {page + 1, "next"}}) {
      if (target < 1 || target > pages) continue;
      out.append(" \xC2\xB7 <a href=\"");
      out.append(index_page(base, target));
      out.append("\">");
      out.append(label);
      out.append("</a>");
    }
    out.append("</p>\n");
  }

  // The letter bar: each bucket links to its first entry, when it has one.
  static void append_letters(PageText& out, const std::array<std::string, kBuckets>& targets) {
    out.append("<p class=\"letters\">");
    for (size_t b = 0; b < kBuckets; ++b) {
      if (b != 0) out.append(" ");
      if (targets[b].empty()) {
        out.append(bucket_label(b));
        continue;
      }
      out.append("<a href=\"");
      out.append(targets[b]);
      out.append("\">");
      out.append(bucket_label(b));
      out.append("</a>");
    }
    out.append("</p>\n");
  }

  // Page 1 of an index also lists every page by its first and last entry.
  static void append_page_list(PageText& out, std::string_view base,
                               const std::vector<std::pair<std::string, std::string>>& ranges) {
    if (ranges.size() < 2) return;
    out.append("<details><summary>All ");
    append_number(out, static_cast<long long>(ranges.size()));
    out.append(" pages</summary>\n<ol>\n");
    for (size_t p = 0; p < ranges.size(); ++p) {
      out.append("<li><a href=\"");
      out.append(index_page(base, p + 1));
      out.append("\">");
      append_html_text(out, ranges[p].first);
      out.append(" \xE2\x80\x93 ");  // en dash
      append_html_text(out, ranges[p].second);
      out.append("</a></li>\n");
    }
    out.append("</ol>\n</details>\n");
  }

  bool create(SiteFile& file, const std::string& name) {
    ++files_;
    return file.create(join(folder_, name));
  }

  // Removes the files `name_of(n)` for n = first, first + 1, ... up to the
  // first that does not exist: what an earlier, larger site left.
  void remove_stale(size_t first, const std::function<std::string(size_t)>& name_of) {
    for (size_t n = first;; ++n) {
      const std::string path = join(folder_, name_of(n));
      if (unlink(path.c_str()) != 0) {
        if (errno != ENOENT) {
          std::fprintf(stderr, "labelsite: warning: cannot remove %s: %s\n", path.c_str(),
                       errno_text().c_str());
        }
        return;
      }
    }
  }

  // --- the document index -------------------------------------------------

  // The documents A to Z, gathered into rows in that order, names included:
  // the document index and the search data then read them one after the
  // other rather than all over the index.
  void order_documents() {
    const std::vector<SiteDocument>& documents = index_.documents();
    documents_.build(documents.size(), [&](size_t i) { return index_.name(documents[i]); });
    row_of_item_.resize(documents.size());
    for (const KeyOrder::Entry& entry : documents_.entries()) {
      if (entry.start != 0) continue;
      const std::string_view name = index_.name(documents[entry.item]);
      row_of_item_[entry.item] = static_cast<uint32_t>(rows_.size());
      rows_.push_back(
          {row_names_.size(), static_cast<uint32_t>(name.size()), documents[entry.item].unit,
           static_cast<unsigned char>(bucket_of(static_cast<char>(entry.prefix[0] >> 56))),
           static_cast<unsigned char>(name_form(name))});
      row_names_.append(name);
    }
    summary_.documents = rows_.size();
    make_unit_parts();
  }

  std::string_view row_name(const DocumentRow& row) const {
    return std::string_view(row_names_).substr(row.name_offset, row.name_size);
  }

  // What the document index and the search data write for every document
  // of a unit, made once per unit: the cells after the document's name (map
  // and unit, the unit's best phrases) and the end of its search entry.
  void make_unit_parts() {
    PageText row_end;
    PageText entry_end;
    row_end_offsets_.push_back(0);
    entry_end_offsets_.push_back(0);
    for (size_t u = 0; u < index_.units().size(); ++u) {
      const SiteUnit& unit = index_.units()[u];
      row_end.append("<td>");
      append_unit_link(row_end, static_cast<int>(u));
      row_end.append("<td>");
      size_t shown = 0;
      for (const int phrase : unit.phrases) {
        if (phrase < 0) break;
        if (shown++ != 0) row_end.append(" \xC2\xB7 ");
        append_html_text(row_end, index_.phrases()[static_cast<size_t>(phrase)].text);
      }
      row_end.append("\n");
      row_end_offsets_.push_back(row_end.size());
      for (const int value : {unit.map, unit.x, unit.y}) {
        entry_end.append(",");
        append_number(entry_end, value);
      }
      entry_end_offsets_.push_back(entry_end.size());
    }
    row_ends_ = row_end.view();
    entry_ends_ = entry_end.view();
  }

  static std::string_view part(const std::string& parts, const std::vector<size_t>& offsets,
                               int unit) {
    const auto u = static_cast<size_t>(unit);
    return std::string_view(parts).substr(offsets[u], offsets[u + 1] - offsets[u]);
  }

  void append_document_row(PageText& out, const DocumentRow& row, bool first_of_letter) {
    const std::string_view name = row_name(row);
    const bool plain = (row.form & kLinkPlain) != 0;
    if (first_of_letter) {
      out.append("<tr id=\"letter-");
      append_number(out, row.bucket);
      out.append("\"><td>");
    } else {
      out.append("<tr><td>");
    }
    if (settings_.filelinks_output != 0) {
      out.append("<a href=\"");
      out.append(settings_.sourcelinkpath);
      plain ? out.append(name) : append_link_part(out, name);
      out.append("\">");
    }
    plain ? out.append(name) : append_html_text(out, name);
    if (settings_.filelinks_output != 0) out.append("</a>");
    out.append(part(row_ends_, row_end_offsets_, row.unit));
  }

  bool write_document_pages() {
    const size_t count = rows_.size();
    const size_t pages = std::max<size_t>((count + kDocumentsPerPage - 1) / kDocumentsPerPage, 1);
    std::array<std::string, kBuckets> letters;
    std::array<size_t, kBuckets> letter_rows;
    letter_rows.fill(count);
    std::vector<std::pair<std::string, std::string>> ranges;
    for (size_t row = 0; row < count; ++row) {
      const size_t bucket = rows_[row].bucket;
      if (letters[bucket].empty()) {
        letters[bucket] = index_page("documents", row / kDocumentsPerPage + 1) + "#letter-" +
                          std::to_string(bucket);
        letter_rows[bucket] = row;
      }
      const std::string_view name = row_name(rows_[row]);
      if (row % kDocumentsPerPage == 0) ranges.emplace_back(name, name);
      if (row % kDocumentsPerPage == kDocumentsPerPage - 1 || row == count - 1) {
        ranges.back().second = name;
      }
    }
    for (size_t page = 1; page <= pages; ++page) {
      SiteFile file;
      if (!create(file, index_page("documents", page))) return false;
      PageText& out = file.text();
      begin_page(out, "Documents", page == 1 ? "documents.html" : "");
      out.append("<h1>Documents</h1>\n<p>");
      append_number(out, static_cast<long long>(count));
      out.append(
          " documents, A to Z, each with the map and unit (column, row) it lies on and the "
          "best phrases of that unit.</p>\n");
      append_letters(out, letters);
      if (page == 1) append_page_list(out, "documents", ranges);
      append_pager(out, "documents", page, pages);
      out.append(
          "<table class=\"index\">\n<thead><tr><th>Document<th>Map and unit<th>Phrases of the "
          "unit</thead>\n<tbody>\n");
      const size_t end = std::min(count, page * kDocumentsPerPage);
      for (size_t row = (page - 1) * kDocumentsPerPage; row < end; ++row) {
        append_document_row(out, rows_[row], letter_rows[rows_[row].bucket] == row);
        file.written();
      }
      out.append("</tbody>\n</table>\n");
      append_pager(out, "documents", page, pages);
      end_page(out);
      if (!file.close()) return false;
    }
    remove_stale(pages + 1, [](size_t n) { return index_page("documents", n); });
    return true;
  }

  // --- the phrase index ---------------------------------------------------

  // Phrases whose keys are equal (they differ in case or blanks only) are
  // one entry of the index, shown as the first of them.
  void order_phrases() {
    const std::vector<SitePhrase>& phrases = index_.phrases();
    phrases_.build(phrases.size(), [&](size_t i) { return std::string_view(phrases[i].text); });
    group_of_item_.assign(phrases.size(), 0);
    for (const KeyOrder::Entry& entry : phrases_.entries()) {
      if (entry.start != 0) continue;
      if (!groups_.empty() && phrases_.key(groups_.back().item) == phrases_.key(entry.item)) {
        merge_units(groups_.back(), phrases[entry.item].units);
      } else {
        groups_.push_back({entry.item, {}, 1, {}});
      }
      group_of_item_[entry.item] = groups_.size() - 1;
    }
    summary_.phrases = groups_.size();
  }

  // Adds a further phrase's units to a group: one entry per unit, at its
  // better place, in unit order (map by map in the order of the process file,
  // then row by row), the order in which each phrase met its units.
  void merge_units(PhraseGroup& group, const std::vector<UnitRef>& more) {
    if (group.merged.empty()) group.merged = index_.phrases()[group.item].units;
    const size_t middle = group.merged.size();
    group.merged.insert(group.merged.end(), more.begin(), more.end());
    const auto by_unit = [](const UnitRef& a, const UnitRef& b) {
      return a.unit != b.unit ? a.unit < b.unit : a.rank < b.rank;
    };
    std::inplace_merge(group.merged.begin(),
                       group.merged.begin() + static_cast<std::ptrdiff_t>(middle),
                       group.merged.end(), by_unit);
    group.merged.erase(
        std::unique(group.merged.begin(), group.merged.end(),
                    [](const UnitRef& a, const UnitRef& b) { return a.unit == b.unit; }),
        group.merged.end());
  }

  const std::vector<UnitRef>& group_units(const PhraseGroup& group) const {
    return group.merged.empty() ? index_.phrases()[group.item].units : group.merged;
  }

  // Cuts the index into pages; returns each page's first and last phrase.
  std::vector<std::pair<std::string, std::string>> paginate_phrases() {
    std::vector<std::pair<std::string, std::string>> ranges;
    size_t on_page = 0;
    size_t units_on_page = 0;
    for (PhraseGroup& group : groups_) {
      const size_t units = group_units(group).size();
      if (ranges.empty() || on_page == kPhrasesPerPage ||
          (on_page != 0 && units_on_page + units > kUnitsPerPhrasePage)) {
        const std::string& text = index_.phrases()[group.item].text;
        ranges.emplace_back(text, text);
        on_page = 0;
        units_on_page = 0;
      }
      group.page = ranges.size();
      ranges.back().second = index_.phrases()[group.item].text;
      ++on_page;
      units_on_page += units;
    }
    return ranges;
  }

  // A phrase's units, map by map: the map's link, then the units' places.
  void append_phrase_units(PageText& out, const std::vector<UnitRef>& refs) {
    int map = -1;
    for (const UnitRef& ref : refs) {
      const SiteUnit& unit = index_.units()[static_cast<size_t>(ref.unit)];
      if (unit.map != map) {
        if (map != -1) out.append("; ");
        map = unit.map;
        append_map_link(out, map);
      }
      append_coordinates(out, unit.x, unit.y);
    }
  }

  bool write_phrase_pages() {
    const std::vector<std::pair<std::string, std::string>> ranges = paginate_phrases();
    const size_t pages = std::max<size_t>(ranges.size(), 1);
    std::array<std::string, kBuckets> letters;
    for (size_t g = 0; g < groups_.size(); ++g) {
      const std::string_view key = phrases_.key(groups_[g].item);
      std::string& target = letters[bucket_of(key.empty() ? '\0' : key[0])];
      if (target.empty())
        target = index_page("phrases", groups_[g].page) + "#p" + std::to_string(g);
    }
    size_t g = 0;
    for (size_t page = 1; page <= pages; ++page) {
      SiteFile file;
      if (!create(file, index_page("phrases", page))) return false;
      PageText& out = file.text();
      begin_page(out, "Phrases", page == 1 ? "phrases.html" : "");
      out.append("<h1>Phrases</h1>\n<p>");
      append_number(out, static_cast<long long>(groups_.size()));
      out.append(
          " label phrases, A to Z, each with the units that carry it: map, then unit (column, "
          "row).</p>\n");
      append_letters(out, letters);
      if (page == 1) append_page_list(out, "phrases", ranges);
      append_pager(out, "phrases", page, pages);
      out.append("<dl class=\"index\">\n");
      for (; g < groups_.size() && groups_[g].page == page; ++g) {
        out.append("<dt id=\"p");
        append_number(out, static_cast<long long>(g));
        out.append("\">");
        append_html_text(out, index_.phrases()[groups_[g].item].text);
        out.append("</dt><dd>");
        append_phrase_units(out, group_units(groups_[g]));
        out.append("</dd>\n");
        file.written();
      }
      out.append("</dl>\n");
      append_pager(out, "phrases", page, pages);
      end_page(out);
      if (!file.close()) return false;
    }
    remove_stale(pages + 1, [](size_t n) { return index_page("phrases", n); });
    return true;
  }

  // --- the search data ----------------------------------------------------

  void append_document_entry(PageText& out, const KeyOrder::Entry& entry) {
    const DocumentRow& row = rows_[row_of_item_[entry.item]];
    const std::string_view name = row_name(row);
    out.append("[");
    if ((row.form & kScriptPlain) != 0) {
      // Printable ASCII without blanks: the key is the name lower-cased.
      out.push_back('"');
      out.append(name);
      out.append("\",");
      append_number(out, entry.start);
    } else {
      append_js_string(out, name);
      out.append(",");
      append_entry_key(out, name, documents_.key(entry.item), entry.start);
    }
    out.append(part(entry_ends_, entry_end_offsets_, row.unit));
    if ((row.form & kScriptPlain) == 0 && !is_valid_utf8(name)) {
      // The script cannot encode the original bytes.
      PageText link;
      append_link_part(link, name);
      out.append(",");
      append_js_string(out, link.view());
    }
    out.append("]");
  }

  void append_phrase_entry(PageText& out, const KeyOrder::Entry& entry) {
    const size_t g = group_of_item_[entry.item];
    PhraseGroup& group = groups_[g];
    const std::string_view text = index_.phrases()[group.item].text;
    out.append("[");
    append_js_string(out, text);
    out.append(",");
    append_entry_key(out, text, phrases_.key(group.item), entry.start);
    if (group.search_tail.empty()) group.search_tail = search_tail(group, g);
    out.append(group.search_tail);
  }

  // The rest of a phrase's search entries: its page and number in the index,
  // its number of units and the best of them, by the phrase's place there.
  std::string search_tail(const PhraseGroup& group, size_t number) {
    std::vector<UnitRef> best = group_units(group);
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
      const SiteUnit& unit = index_.units()[static_cast<size_t>(best[i].unit)];
      for (const int value : {unit.map, unit.x, unit.y}) {
        tail.append(",");
        append_number(tail, value);
      }
    }
    tail.append("]");
    return std::string(tail.view());
  }

  // Writes the entries of one kind into search/<kind><N>.js files; returns
  // the first key of each file, which index.html keeps.
  bool write_search_kind(char kind, const KeyOrder& order, std::vector<std::string>& firsts) {
    const std::string prefix = std::string("search/") + kind;
    SiteFile file;
    bool open = false;
    size_t last_group = SIZE_MAX;
    uint32_t last_start = 0;
    for (const KeyOrder::Entry& entry : order.entries()) {
      if (kind == 'p') {
        // One entry per phrase of the index and word.
        const size_t group = group_of_item_[entry.item];
        if (group == last_group && entry.start == last_start) continue;
        last_group = group;
        last_start = entry.start;
      }
      if (!open) {
        if (!create(file, prefix + std::to_string(firsts.size()) + ".js")) return false;
        file.text().append("somlabelShard(\"");
        file.text().push_back(kind);
        file.text().append("\",");
        append_number(file.text(), static_cast<long long>(firsts.size()));
        file.text().append(",[\n");
        firsts.emplace_back(order.key(entry));
        open = true;
      } else {
        file.text().append(",\n");
      }
      kind == 'd' ? append_document_entry(file.text(), entry)
                  : append_phrase_entry(file.text(), entry);
      if (file.text().size() >= kSearchFileSize) {
        file.text().append("]);\n");
        if (!file.close()) return false;
        open = false;
      }
    }
    if (open) {
      file.text().append("]);\n");
      if (!file.close()) return false;
    }
    remove_stale(firsts.size(), [&](size_t n) { return prefix + std::to_string(n) + ".js"; });
    return true;
  }

  bool make_search_folder() {
    const std::string folder = join(folder_, "search");
    if (mkdir(folder.c_str(), 0777) == 0 || errno == EEXIST) return true;
    std::fprintf(stderr, "labelsite: cannot create the folder %s: %s\n", folder.c_str(),
                 errno_text().c_str());
    return false;
  }

  // --- index.html ---------------------------------------------------------

  void append_map_item(PageText& out, int map_id) {
    const SiteMap& map = index_.maps()[static_cast<size_t>(map_id)];
    out.append("<li>");
    const SubMapLink& expands = tree_.expands[static_cast<size_t>(map_id)];
    if (expands.x >= 0) {
      out.append("<span class=\"meta\">unit");
      append_coordinates(out, expands.x, expands.y);
      out.append(":</span> ");
    }
    append_map_link(out, map_id);
    out.append(" <span class=\"meta\">layer ");
    append_number(out, map.layer);
    out.append(" \xC2\xB7 ");
    append_number(out, map.units);
    out.append(map.units == 1 ? " unit" : " units");
    out.append(" \xC2\xB7 ");
    append_number(out, map.documents);
    out.append(map.documents == 1 ? " document" : " documents");
    out.append("</span>");
    if (!map.best_phrases.empty()) {
      out.append("<br><span class=\"phrases\">");
      for (size_t i = 0; i < map.best_phrases.size(); ++i) {
        if (i != 0) out.append(" \xC2\xB7 ");
        append_html_text(out, map.best_phrases[i]);
      }
      out.append("</span>");
    }
  }

  // The forest of maps as nested lists, without recursion: a hierarchy may
  // be deep.
  void append_tree(SiteFile& file) {
    PageText& out = file.text();
    out.append("<ul class=\"tree\">\n");
    std::vector<std::pair<int, size_t>> stack;  // map, its next child
    for (const int root : tree_.roots) {
      append_map_item(out, root);
      stack.push_back({root, 0});
      while (!stack.empty()) {
        auto& [map, next] = stack.back();
        const std::vector<int>& children = tree_.children[static_cast<size_t>(map)];
        if (next < children.size()) {
          if (next == 0) out.append("\n<ul>\n");
          const int child = children[next++];
          append_map_item(out, child);
          stack.push_back({child, 0});
          file.written();
          continue;
        }
        out.append(children.empty() ? "</li>\n" : "</ul></li>\n");
        stack.pop_back();
      }
    }
    out.append("</ul>\n");
  }

  void append_legend(PageText& out) {
    out.append(
        "<h2>Reading a map page</h2>\n<p>A map page is a table with one cell per unit of the "
        "map; similar documents lie on the same unit or on neighbouring ones. A cell shows:</p>\n"
        "<dl class=\"legend\">\n");
    if (settings_.cadrelI_output != 0) {
      out.append(
          "<dt>LABELs by Cadrel I</dt><dd>the labels the map itself gives the unit (from the "
          "map trainer).</dd>\n");
    }
    out.append(
        "<dt>LABELS by Cadrel II</dt><dd>the unit's keyphrases: those of its documents merged, "
        "shorter phrases folded into the longer ones that hold them; on a unit with a sub-map, "
        "the sub-map's best phrases.</dd>\n"
        "<dt>Mode 0 LABELS</dt><dd>keyphrases taken from the unit's documents read as one "
        "text.</dd>\n"
        "<dt>the number after a phrase</dt><dd>its score: greater is better; on Cadrel II, the "
        "scores of the phrase in the unit's documents added up.</dd>\n"
        "<dt>the shading</dt><dd>from black for the best phrase of a list to light grey for its "
        "last.</dd>\n"
        "<dt>the links at the bottom</dt><dd>the documents on the unit");
    if (settings_.keylinks_output != 0) {
      out.append(", and below the line their key files, each with its document's keyphrases");
    }
    out.append(
        ".</dd>\n<dt>down, One Level Up</dt><dd>to the sub-map that spreads out a crowded unit, "
        "and back to the map above.</dd>\n"
        "<dt>.</dt><dd>a unit without documents.</dd>\n</dl>\n");
  }

  void append_search_data(PageText& out) {
    out.append("<script type=\"application/json\" id=\"search-data\">{\"documents\":");
    append_number(out, static_cast<long long>(rows_.size()));
    out.append(",\"phrases\":");
    append_number(out, static_cast<long long>(groups_.size()));
    out.append(",\"files\":");
    if (settings_.filelinks_output != 0) {
      append_js_string(out, settings_.sourcelinkpath);
    } else {
      out.append("null");
    }
    out.append(",\n\"maps\":[");
    for (size_t m = 0; m < map_href_.size(); ++m) {
      out.append(m == 0 ? "[" : ",\n[");
      append_js_string(out, index_.maps()[m].title);
      out.append(",");
      append_js_string(out, map_href_[m]);
      out.append("]");
    }
    out.append("],\n\"slices\":{");
    for (const auto& [kind, firsts] : {std::pair{"d", &document_firsts_}, {"p", &phrase_firsts_}}) {
      out.append(kind[0] == 'd' ? "\"d\":[" : "],\n\"p\":[");
      for (size_t i = 0; i < firsts->size(); ++i) {
        if (i != 0) out.append(",");
        append_js_string(out, (*firsts)[i]);
      }
    }
    out.append("]}}</script>\n<script>");
    out.append(kSearchScript);
    out.append("</script>\n");
  }

  bool write_index_page() {
    SiteFile file;
    if (!create(file, "index.html")) return false;
    summary_.index_path = join(folder_, "index.html");
    PageText& out = file.text();
    const std::string title =
        tree_.roots.empty() ? "Maps" : index_.maps()[static_cast<size_t>(tree_.roots.back())].title;
    begin_page(out, title, "index.html");
    out.append("<h1>");
    append_html_text(out, title);
    out.append("</h1>\n<p>");
    const std::pair<size_t, std::string_view> counts[] = {
        {index_.maps().size(), " maps, "},
        {index_.units().size(), " units, "},
        {rows_.size(), " documents, "},
        {groups_.size(), " label phrases.</p>\n"}};
    for (const auto& [count, what] : counts) {
      append_number(out, static_cast<long long>(count));
      out.append(what);
    }
    out.append(
        "<p><label for=\"search\">Search</label><br>\n<input type=\"search\" id=\"search\" "
        "placeholder=\"a document, a phrase, a word\" autocomplete=\"off\" spellcheck=\"false\" "
        "autofocus disabled></p>\n<p id=\"search-status\" class=\"meta\">The search needs "
        "JavaScript.</p>\n<div id=\"search-results\"></div>\n<h2>Maps</h2>\n");
    append_tree(file);
    append_legend(out);
    append_search_data(out);
    end_page(out);
    return file.close();
  }

  const SiteIndex& index_;
  const Settings& settings_;
  const std::string& folder_;
  SiteSummary& summary_;
  std::atomic<size_t> files_ = 0;  // created by the threads
  MapTree tree_;
  std::vector<std::string> map_href_;   // percent-encoded, relative to the folder
  std::vector<std::string> map_title_;  // HTML-escaped
  std::vector<std::string> map_link_;   // the two in a link
  KeyOrder documents_;
  std::vector<DocumentRow> rows_;      // the document index, A to Z
  std::string row_names_;              // their names, in that order
  std::vector<uint32_t> row_of_item_;  // per document of the index: its row
  // Per unit u, [offsets[u], offsets[u + 1]) of each.
  std::string row_ends_;
  std::vector<size_t> row_end_offsets_;
  std::string entry_ends_;
  std::vector<size_t> entry_end_offsets_;
  KeyOrder phrases_;
  std::vector<PhraseGroup> groups_;  // the phrase index, A to Z
  std::vector<size_t> group_of_item_;
  std::vector<std::string> document_firsts_;
  std::vector<std::string> phrase_firsts_;
};

}  // namespace

Result write_site(const SiteIndex& index, const std::string& folder, SiteSummary& summary) {
  return SiteWriter(index, folder, summary).write() ? Result() : Result::failure();
}

}  // namespace somlabel::labelsite
