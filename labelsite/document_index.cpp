#include "labelsite/document_index.h"

#include <algorithm>
#include <array>

#include "labelsite/search_slices.h"

namespace somlabel::labelsite {
namespace {

// What a name of such bytes only may be copied as, per byte: a table made
// from the rules themselves, so that a name is tried against both in one pass.
enum NameBytes : unsigned char {
  kLinkSafe = 1,    // a link part (and page text)
  kScriptPlain = 2  // a script string, without blanks
};
const std::array<unsigned char, 256> kNameBytes = [] {
  std::array<unsigned char, 256> table{};
  for (unsigned c = 0; c < table.size(); ++c) {
    const char byte = static_cast<char>(c);
    const std::string_view text(&byte, 1);
    table[c] = static_cast<unsigned char>((is_link_safe(text) ? kLinkSafe : 0) |
                                          (is_js_plain(text) && byte != ' ' ? kScriptPlain : 0));
  }
  return table;
}();

unsigned name_bytes(std::string_view name) {
  unsigned bytes = kLinkSafe | kScriptPlain;
  for (const char c : name) bytes &= kNameBytes[static_cast<unsigned char>(c)];
  return bytes;
}

std::string_view part(const std::string& parts, const std::vector<size_t>& offsets, int unit) {
  const auto u = static_cast<size_t>(unit);
  return std::string_view(parts).substr(offsets[u], offsets[u + 1] - offsets[u]);
}

}  // namespace

void DocumentIndex::order() {
  const SiteIndex& index = site_.index();
  const std::vector<SiteDocument>& documents = index.documents();
  order_.build(documents.size(), [&](size_t i) { return index.name(documents[i]); });
  row_of_item_.resize(documents.size());
  for (const KeyOrder::Entry& entry : order_.entries()) {
    if (entry.start != 0) continue;
    const std::string_view text = index.name(documents[entry.item]);
    const unsigned bytes = name_bytes(text);
    row_of_item_[entry.item] = static_cast<uint32_t>(rows_.size());
    rows_.push_back(
        {.name_offset = names_.size(),
         .name_size = static_cast<uint32_t>(text.size()),
         .unit = documents[entry.item].unit,
         .bucket = static_cast<unsigned char>(bucket_of(static_cast<char>(entry.prefix[0] >> 56))),
         .link_safe = (bytes & kLinkSafe) != 0,
         .script_plain = (bytes & kScriptPlain) != 0});
    names_.append(text);
  }
  make_unit_parts();
}

void DocumentIndex::make_unit_parts() {
  const SiteIndex& index = site_.index();
  PageText row_end;
  PageText entry_end;
  row_end_offsets_.push_back(0);
  entry_end_offsets_.push_back(0);
  for (size_t u = 0; u < index.units().size(); ++u) {
    const SiteUnit& unit = index.units()[u];
    row_end.append("<td>");
    site_.append_unit_link(row_end, static_cast<int>(u));
    row_end.append("<td>");
    size_t shown = 0;
    for (const int phrase : unit.phrases) {
      if (phrase < 0) break;
      if (shown++ != 0) row_end.append(kMiddleDot);
      append_html_text(row_end, index.phrases()[static_cast<size_t>(phrase)].text);
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

void DocumentIndex::append_row(PageText& out, const Row& row, bool first_of_letter) const {
  const Settings& settings = site_.settings();
  const std::string_view text = name(row);
  const bool plain = row.link_safe;
  if (first_of_letter) {
    out.append("<tr id=\"letter-");
    append_number(out, row.bucket);
    out.append("\"><td>");
  } else {
    out.append("<tr><td>");
  }
  if (settings.filelinks_output != 0) {
    out.append("<a href=\"");
    out.append(settings.sourcelinkpath);
    plain ? out.append(text) : append_link_part(out, text);
    out.append("\">");
  }
  plain ? out.append(text) : append_html_text(out, text);
  if (settings.filelinks_output != 0) out.append("</a>");
  out.append(part(row_ends_, row_end_offsets_, row.unit));
}

bool DocumentIndex::write_pages() {
  const size_t count = rows_.size();
  IndexPages pages{.base = "documents",
                   .title = "Documents",
                   .entries = count,
                   .about =
                       " documents, A to Z, each with the map and unit (column, row) it lies "
                       "on and the best phrases of that unit."};
  std::array<size_t, kBuckets> letter_rows;
  letter_rows.fill(count);
  for (size_t row = 0; row < count; ++row) {
    const size_t bucket = rows_[row].bucket;
    if (pages.letters[bucket].empty()) {
      pages.letters[bucket] =
          index_page(pages.base, row / kDocumentsPerPage + 1) + "#letter-" + std::to_string(bucket);
      letter_rows[bucket] = row;
    }
    const std::string_view text = name(rows_[row]);
    if (row % kDocumentsPerPage == 0) pages.ranges.emplace_back(text, text);
    if (row % kDocumentsPerPage == kDocumentsPerPage - 1 || row == count - 1) {
      pages.ranges.back().second = text;
    }
  }
  return site_.write_index_pages(pages, [&](SiteFile& file, size_t page) {
    file.text().append(
        "<table class=\"index\">\n<thead><tr><th>Document<th>Map and unit<th>Phrases of the "
        "unit</thead>\n<tbody>\n");
    const size_t end = std::min(count, page * kDocumentsPerPage);
    for (size_t row = (page - 1) * kDocumentsPerPage; row < end; ++row) {
      append_row(file.text(), rows_[row], letter_rows[rows_[row].bucket] == row);
      file.written();
    }
    file.text().append("</tbody>\n</table>\n");
  });
}

void DocumentIndex::append_entry(PageText& out, const KeyOrder::Entry& entry) const {
  const Row& row = rows_[row_of_item_[entry.item]];
  const std::string_view text = name(row);
  out.append("[");
  if (row.script_plain) {
    // Printable ASCII without blanks: the key is the name lower-cased.
    out.push_back('"');
    out.append(text);
    out.append("\",");
    append_number(out, entry.start);
  } else {
    append_js_string(out, text);
    out.append(",");
    append_entry_key(out, text, order_.key(entry.item), entry.start);
  }
  out.append(part(entry_ends_, entry_end_offsets_, row.unit));
  if (!row.script_plain && !is_valid_utf8(text)) {
    // The script cannot encode the original bytes.
    PageText link;
    append_link_part(link, text);
    out.append(",");
    append_js_string(out, link.view());
  }
  out.append("]");
}

bool DocumentIndex::write_search() {
  SearchSlices slices(site_, 'd');
  for (const KeyOrder::Entry& entry : order_.entries()) {
    PageText* out = slices.next(order_.key(entry));
    if (out == nullptr) return false;
    append_entry(*out, entry);
  }
  const bool finished = slices.finish();
  slice_firsts_ = slices.firsts();
  return finished;
}

}  // namespace somlabel::labelsite
