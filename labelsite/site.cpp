#include "labelsite/site.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>

#include "common/io.h"
#include "common/map_names.h"
#include "common/messages.h"

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

std::string bucket_label(size_t bucket) {
  if (bucket == 0)
    return "0\xE2\x80\x93"
           "9";  // 0–9
  if (bucket == kBuckets - 1) return "other";
  return std::string(1, static_cast<char>('A' + bucket - 1));
}

// The link from the site's folder to a map page: its file name when it lies
// in that folder, as the map pages link each other, else a relative path.
std::string page_href(const std::string& page_path, const std::string& folder) {
  namespace fs = std::filesystem;
  const std::string_view page = page_path;
  const std::string_view page_folder =
      page.find('/') == std::string_view::npos ? "" : page.substr(0, page.rfind('/'));
  if (page_folder == folder) return std::string(base_name(page));
  const fs::path base = fs::path(folder.empty() ? "." : folder).lexically_normal();
  std::string href = fs::path(page_path).lexically_normal().lexically_relative(base).string();
  if (href.empty()) href = fs::absolute(page_path).lexically_normal().string();
  return href;
}

// Where a page of an index stands, with links to the previous and next one.
void append_pager(PageText& out, std::string_view base, size_t page, size_t pages) {
  out.append("<p class=\"meta\">Page ");
  append_number(out, static_cast<long long>(page));
  out.append(" of ");
  append_number(out, static_cast<long long>(pages));
  for (const auto& [target, label] : {std::pair{page - 1, "previous"}, {page + 1, "next"}}) {
    if (target < 1 || target > pages) continue;
    out.append(kMiddleDot);
    out.append("<a href=\"");
    out.append(index_page(base, target));
    out.append("\">");
    out.append(label);
    out.append("</a>");
  }
  out.append("</p>\n");
}

// The letter bar: each bucket links to its target, or is plain text without one.
void append_letters(PageText& out, const std::array<std::string, kBuckets>& targets) {
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

// Every page of an index by its first and last entry (nothing for one page).
void append_page_list(PageText& out, std::string_view base, const std::vector<PageRange>& ranges) {
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

}  // namespace

std::string index_page(std::string_view base, size_t page) {
  std::string name(base);
  if (page > 1) name += "-" + std::to_string(page);
  return name + ".html";
}

Site::Site(const SiteIndex& index, std::string folder)
    : index_(index), folder_(std::move(folder)), tree_(map_tree(index)) {
  for (const SiteMap& map : index_.maps()) {
    PageText text;
    append_link_part(text, page_href(map.page_path, folder_));
    map_href_.emplace_back(text.view());
    text.clear();
    append_html_text(text, map.title);
    map_link_.push_back("<a href=\"" + map_href_.back() + "\">" + std::string(text.view()) +
                        "</a>");
  }
}

const std::string& Site::map_href(int map) const { return map_href_[static_cast<size_t>(map)]; }

std::string Site::path(std::string_view name) const {
  return folder_.empty() ? std::string(name) : folder_ + "/" + std::string(name);
}

bool Site::create(SiteFile& file, std::string_view name) {
  ++files_;
  return file.create(path(name));
}

void Site::remove_stale(size_t first, const std::function<std::string(size_t)>& name_of) const {
  for (size_t n = first;; ++n) {
    const std::string stale = path(name_of(n));
    if (unlink(stale.c_str()) == 0) continue;
    if (errno != ENOENT) {
      warn("cannot remove %s: %s", stale.c_str(), errno_text().c_str());
    }
    return;
  }
}

void Site::begin_page(PageText& out, std::string_view title, std::string_view here,
                      std::string_view style) const {
  out.append(
      "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
      "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>");
  append_html_text(out, title);
  out.append("</title>\n<style>");
  out.append(kStyle);
  out.append(style);
  out.append("</style>\n</head>\n<body>\n<nav>");
  const std::pair<std::string_view, std::string_view> places[] = {{"index.html", "Maps and search"},
                                                                  {"documents.html", "Documents"},
                                                                  {"phrases.html", "Phrases"}};
  for (const auto& [href, name] : places) {
    if (href != places[0].first) out.append(kMiddleDot);
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

void Site::end_page(PageText& out) { out.append("</body>\n</html>\n"); }

void Site::append_map_link(PageText& out, int map) const {
  out.append(map_link_[static_cast<size_t>(map)]);
}

void Site::append_unit_link(PageText& out, int unit_id) const {
  const SiteUnit& unit = index_.units()[static_cast<size_t>(unit_id)];
  append_map_link(out, unit.map);
  append_coordinates(out, unit.x, unit.y);
}

bool Site::write_index_pages(const IndexPages& pages,
                             const std::function<void(SiteFile&, size_t)>& append_entries) {
  const size_t count = std::max<size_t>(pages.ranges.size(), 1);
  for (size_t page = 1; page <= count; ++page) {
    SiteFile file;
    if (!create(file, index_page(pages.base, page))) return false;
    PageText& out = file.text();
    begin_page(out, pages.title, page == 1 ? index_page(pages.base, 1) : "");
    out.append("<h1>");
    out.append(pages.title);
    out.append("</h1>\n<p>");
    append_number(out, static_cast<long long>(pages.entries));
    out.append(pages.about);
    out.append("</p>\n");
    append_letters(out, pages.letters);
    if (page == 1) append_page_list(out, pages.base, pages.ranges);
    append_pager(out, pages.base, page, count);
    append_entries(file, page);
    append_pager(out, pages.base, page, count);
    end_page(out);
    if (!file.close()) return false;
  }
  remove_stale(count + 1, [&pages](size_t n) { return index_page(pages.base, n); });
  return true;
}

}  // namespace somlabel::labelsite
