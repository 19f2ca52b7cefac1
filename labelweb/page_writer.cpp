#include "labelweb/page_writer.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdint>
#include <span>
#include <string>

#include "common/map_names.h"

namespace somlabel::labelweb {
namespace {

constexpr char kLowerHex[] = "0123456789abcdef";

// The score rounded to ten-thousandths, as a count of them, when plain
// double arithmetic rounds it beyond doubt: for a score from +0 up to 100000,
// score * 10000 is off from the exact product by less than 2^-24, so only a
// product within 2^-20 of a half could round the other way (and a true half
// must round to even); those are left to the exact conversion.
bool ten_thousandths(double score, std::uint64_t& count) {
  if (!(score >= 0 && score < 1e5) || std::signbit(score)) return false;
  const double scaled = score * 10000;
  const double whole = std::floor(scaled);
  const double fraction = scaled - whole;
  if (std::fabs(fraction - 0.5) < 0x1p-20) return false;
  count = static_cast<std::uint64_t>(whole) + (fraction > 0.5 ? 1 : 0);
  return true;
}

// "%.4f" of the score, without the locale and the cost of printf; most
// scores take the integer path, which gives the same digits several times
// faster than the exact conversion.
void append_score(PageText& out, double score) {
  std::uint64_t count = 0;
  if (ten_thousandths(score, count)) {
    char text[32];
    char* end = std::to_chars(text, text + sizeof text, count / 10000).ptr;
    const std::uint64_t fraction = count % 10000;
    *end++ = '.';
    *end++ = static_cast<char>('0' + fraction / 1000);
    *end++ = static_cast<char>('0' + fraction / 100 % 10);
    *end++ = static_cast<char>('0' + fraction / 10 % 10);
    *end++ = static_cast<char>('0' + fraction % 10);
    out.append(text, static_cast<size_t>(end - text));
    return;
  }
  char text[400];  // the largest double has 309 digits before the point
  const auto result = std::to_chars(text, text + sizeof text, score, std::chars_format::fixed, 4);
  out.append(text, static_cast<size_t>(result.ptr - text));
}

// A heading, then a coloured line per shown entry, then "<HR>".
void append_coloured_section(PageText& out, std::string_view heading,
                             std::span<const phrase> labels) {
  out.append(heading);
  const double top = labels.front().score;
  const double bottom = labels.back().score;
  for (const phrase& label : labels) {
    const std::array<char, 6> color = grey_color_code(calculate_color(top, bottom, label.score));
    out.append("<b><font color=#");
    out.append(color.data(), color.size());
    out.append(">");
    append_escaped_text(out, label.phrase);
    out.append(" (");
    append_score(out, label.score);
    out.append(")</font></b><BR>");
  }
  out.append("<HR>");
}

void append_unit_file_labels(PageText& out, std::span<const phrase> labels) {
  out.append("LABELs by Cadrel I<BR>");
  for (const phrase& label : labels) {
    append_escaped_text(out, label.phrase);
    out.append("<BR>");
  }
  out.append("<HR>");
}

// A document name in a link and in page text. No link-safe byte needs an
// entity, so a name of link-safe bytes alone (the usual one) reads the same
// in both and is scanned once.
class DocumentName {
 public:
  explicit DocumentName(std::string_view name) : name_(name), is_plain_(is_link_safe(name)) {}

  void append_link_part_to(PageText& out) const {
    is_plain_ ? void(out.append(name_)) : append_link_part(out, name_);
  }
  void append_text_to(PageText& out) const {
    is_plain_ ? void(out.append(name_)) : append_escaped_text(out, name_);
  }

 private:
  std::string_view name_;
  bool is_plain_;
};

void append_document_links(PageText& out, std::span<const std::string> documents,
                           const Settings& settings) {
  if (settings.filelinks_output != 0) {
    for (const std::string& document : documents) {
      const DocumentName name(document);
      out.append("<a href=");
      out.append(settings.sourcelinkpath);
      name.append_link_part_to(out);
      out.append(">");
      name.append_text_to(out);
      out.append("</a><BR>");
    }
  }
  if (settings.keylinks_output != 0) {
    out.append("<HR>");
    PageText escaped_ending;  // the same for every document: escaped once
    append_escaped_text(escaped_ending, settings.keyfileending);
    for (const std::string& document : documents) {
      const DocumentName name(document);
      out.append("<a href=");
      out.append(settings.keylinkpath);
      name.append_link_part_to(out);
      out.append(settings.keyfileending);
      out.append(">");
      name.append_text_to(out);
      out.append(escaped_ending.view());
      out.append("</a><BR>");
    }
  }
}

void append_down_link(PageText& out, const unit& unit) {
  const std::string page = sub_map_page_name(unit.url_mapped_soms);
  if (page.empty()) return;
  out.append("<a href=");
  append_link_part(out, page);
  out.append(">down</a><BR>");
}

}  // namespace

void write_page_head(const map& map, PageText& out) {
  const std::string layer = std::to_string(map.layer);
  out.append("<HTML><BODY bgcolor=#FFFFFF text=#000000><TITLE>Layer ");
  out.append(layer);
  out.append(" Map</TITLE>\n<H1>Layer ");
  out.append(layer);
  out.append(" Map</H1><BR>\n<BR><table border=8 cellpadding=4>\n");
}

void write_page_end(const map& map, PageText& out) {
  const std::string parent = parent_page_name(map.somabove);
  if (!parent.empty()) {
    out.append("<a href=");
    append_link_part(out, parent);
    out.append(">One Level Up</a><BR><BR>");
  }
  out.append("</table></BODY></HTML>\n");
}

void write_html(const unit& unit, const map& map, PageText& out, const Settings& settings) {
  if (unit.pos_x == 0 && unit.pos_y == 0) write_page_head(map, out);
  if (unit.pos_x == 0) out.append("<tr>\n");
  out.append("<td align=left>\n");

  const auto torvel_labels = unit.torvel_labels.first(unit.nr_torvel_labels);
  if (!torvel_labels.empty() && settings.cadrelI_output != 0) {
    append_unit_file_labels(out, torvel_labels);
  }
  const auto m1_labels = unit.m1_labels.first(unit.nr_mode1_labels);
  if (!m1_labels.empty()) append_coloured_section(out, "LABELS by Cadrel II<BR>", m1_labels);
  const auto m0_labels = unit.m0_labels.first(unit.nr_mode0_labels);
  if (!m0_labels.empty()) append_coloured_section(out, "Mode 0 LABELS<BR>", m0_labels);

  const auto documents = unit.filelist.first(unit.nr_mapped_vecs);
  if (unit.nr_soms_mapped != 0) {
    append_down_link(out, unit);
  } else if (documents.empty()) {
    out.append(".");
  } else {
    append_document_links(out, documents, settings);
  }
  out.append("</td>\n");

  // Widened: a dimension of INT_MIN must not overflow.
  if (unit.pos_x == static_cast<long long>(map.xdim) - 1) {
    out.append("</tr>\n");
    if (unit.pos_y == static_cast<long long>(map.ydim) - 1) write_page_end(map, out);
  }
}

int calculate_color(double max_value, double min_value, double score) {
  if (min_value == max_value) return 100;
  const double grey = (((score - min_value) / (max_value - min_value)) * 180) * -1 + 180;
  if (std::isnan(grey)) return 100;
  // Truncating a value beyond the int range is undefined; take the nearest int.
  if (grey <= static_cast<double>(INT_MIN)) return INT_MIN;
  if (grey >= static_cast<double>(INT_MAX)) return INT_MAX;
  return static_cast<int>(grey);
}

std::array<char, 6> grey_color_code(int grey) {
  const int clamped = std::clamp(grey, kDarkestGrey, kLightestGrey);
  const char high = kLowerHex[clamped >> 4];
  const char low = kLowerHex[clamped & 0xf];
  return {high, low, high, low, high, low};
}

}  // namespace somlabel::labelweb
