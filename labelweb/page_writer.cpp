#include "labelweb/page_writer.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdint>

#include "common/io.h"

namespace somlabel::labelweb {
namespace {

constexpr char kLowerHex[] = "0123456789abcdef";
constexpr char kUpperHex[] = "0123456789ABCDEF";

constexpr std::string_view kSubMapPageEnding = "unit.labelunit.html";
constexpr std::string_view kParentPageEnding = ".labelunit.html";

// The entity for a byte that must be escaped in page text, or empty.
constexpr std::string_view entity_for(char c) {
  switch (c) {
    case '&': return "&amp;";
    case '<': return "&lt;";
    case '>': return "&gt;";
    case '"': return "&quot;";
    case '\'': return "&#39;";
    default: return {};
  }
}

// Byte tables, so that the loops below test each byte with one load: most
// texts hold nothing to replace and are appended in one piece.
using ByteTable = std::array<bool, 256>;

constexpr ByteTable kNeedsEntity = [] {
  ByteTable table{};
  for (size_t c = 0; c < table.size(); ++c) {
    table[c] = !entity_for(static_cast<char>(c)).empty();
  }
  return table;
}();

constexpr ByteTable kLinkSafe = [] {
  ByteTable table{};
  for (size_t c = 0; c < table.size(); ++c) {
    table[c] = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
               c == '-' || c == '.' || c == '_' || c == '~' || c == '/';
  }
  return table;
}();

std::string_view after_last_slash(std::string_view text) {
  const size_t slash = text.rfind('/');
  return slash == std::string_view::npos ? text : text.substr(slash + 1);
}

std::string_view without_line_end(std::string_view text) {
  if (!text.empty() && text.back() == '\n') text.remove_suffix(1);
  return text;
}

template <typename Text>
void append_escaped_text(Text& out, std::string_view text) {
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (!kNeedsEntity[static_cast<unsigned char>(text[i])]) continue;
    out.append(text.substr(start, i - start));
    out.append(entity_for(text[i]));
    start = i + 1;
  }
  out.append(text.substr(start));
}

void append_link_part(PageText& out, std::string_view text) {
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (kLinkSafe[c]) continue;
    out.append(text.substr(start, i - start));
    const char code[3] = {'%', kUpperHex[c >> 4], kUpperHex[c & 0xf]};
    out.append(code, 3);
    start = i + 1;
  }
  out.append(text.substr(start));
}

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
                             const std::vector<phrase>& list, int shown) {
  out.append(heading);
  const double top = list[0].score;
  const double bottom = list[static_cast<size_t>(shown) - 1].score;
  for (int i = 0; i < shown; ++i) {
    const phrase& label = list[static_cast<size_t>(i)];
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

void append_unit_file_labels(PageText& out, const unit& unit, int shown) {
  out.append("LABELs by Cadrel I<BR>");
  for (int i = 0; i < shown; ++i) {
    append_escaped_text(out, unit.torvel_labels[static_cast<size_t>(i)].phrase);
    out.append("<BR>");
  }
  out.append("<HR>");
}

// A document name in a link and in page text. No link-safe byte needs an
// entity, so a name of link-safe bytes alone (the usual one) reads the same
// in both and is scanned once.
class DocumentName {
 public:
  explicit DocumentName(std::string_view name)
      : name_(name), is_plain_(std::all_of(name.begin(), name.end(), [](char c) {
          return kLinkSafe[static_cast<unsigned char>(c)];
        })) {}

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

void append_document_links(PageText& out, const unit& unit, int shown,
                           const Settings& settings) {
  if (settings.filelinks_output != 0) {
    for (int i = 0; i < shown; ++i) {
      const DocumentName name(unit.filelist[static_cast<size_t>(i)]);
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
    std::string escaped_ending;  // the same for every document: escaped once
    append_escaped_text(escaped_ending, settings.keyfileending);
    for (int i = 0; i < shown; ++i) {
      const DocumentName name(unit.filelist[static_cast<size_t>(i)]);
      out.append("<a href=");
      out.append(settings.keylinkpath);
      name.append_link_part_to(out);
      out.append(settings.keyfileending);
      out.append(">");
      name.append_text_to(out);
      out.append(escaped_ending);
      out.append("</a><BR>");
    }
  }
}

void append_down_link(PageText& out, const unit& unit) {
  std::string_view stem;
  if (!sub_map_page_stem(unit.url_mapped_soms, stem)) return;
  out.append("<a href=");
  append_link_part(out, stem);
  out.append(kSubMapPageEnding);
  out.append(">down</a><BR>");
}

// The page text of one call, handed to the stream in one write. Reused from
// call to call so that writing a cell allocates only while cells still grow.
PageText& page_text() {
  thread_local PageText text;
  text.clear();
  return text;
}

}  // namespace

void append_page_head(PageText& out, const map& map) {
  const std::string layer = std::to_string(map.layer);
  out.append("<HTML><BODY bgcolor=#FFFFFF text=#000000><TITLE>Layer ");
  out.append(layer);
  out.append(" Map</TITLE>\n<H1>Layer ");
  out.append(layer);
  out.append(" Map</H1><BR>\n<BR><table border=8 cellpadding=4>\n");
}

void append_page_end(PageText& out, const map& map) {
  if (!map.somabove.empty()) {
    const std::string_view parent = parent_page_stem(map.somabove);
    if (!parent.empty()) {
      out.append("<a href=");
      append_link_part(out, parent);
      out.append(kParentPageEnding);
      out.append(">One Level Up</a><BR><BR>");
    }
  }
  out.append("</table></BODY></HTML>\n");
}

void append_html(PageText& out, const unit& unit, const map& map, const Settings& settings) {
  if (unit.pos_x == 0 && unit.pos_y == 0) append_page_head(out, map);
  if (unit.pos_x == 0) out.append("<tr>\n");
  out.append("<td align=left>\n");

  const int torvel_shown =
      shown_count(unit.nr_torvel_labels, unit.torvel_counter, unit.torvel_labels.size());
  if (torvel_shown != 0 && settings.cadrelI_output != 0) {
    append_unit_file_labels(out, unit, torvel_shown);
  }
  const int m1_shown = shown_count(unit.nr_mode1_labels, unit.m1_counter, unit.m1_labels.size());
  if (m1_shown != 0) {
    append_coloured_section(out, "LABELS by Cadrel II<BR>", unit.m1_labels, m1_shown);
  }
  const int m0_shown = shown_count(unit.nr_mode0_labels, unit.m0_counter, unit.m0_labels.size());
  if (m0_shown != 0) append_coloured_section(out, "Mode 0 LABELS<BR>", unit.m0_labels, m0_shown);

  const int documents_shown =
      shown_count(unit.nr_mapped_vecs, unit.vec_counter, unit.filelist.size());
  if (unit.nr_soms_mapped != 0) {
    append_down_link(out, unit);
  } else if (documents_shown == 0) {
    out.append(".");
  } else {
    append_document_links(out, unit, documents_shown, settings);
  }
  out.append("</td>\n");

  // Widened: a dimension of INT_MIN must not overflow.
  if (unit.pos_x == static_cast<long long>(map.xdim) - 1) {
    out.append("</tr>\n");
    if (unit.pos_y == static_cast<long long>(map.ydim) - 1) append_page_end(out, map);
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

void write_escaped_text(FILE* page, std::string_view text) {
  PageText& out = page_text();
  append_escaped_text(out, text);
  put(page, out.view());
}

void write_link_part(FILE* page, std::string_view text) {
  PageText& out = page_text();
  append_link_part(out, text);
  put(page, out.view());
}

bool sub_map_page_stem(std::string_view url_mapped_soms, std::string_view& stem) {
  const std::string_view file_part = without_line_end(after_last_slash(url_mapped_soms));
  if (file_part.size() < 3) return false;
  stem = file_part.substr(0, file_part.size() - 3);
  return true;
}

std::string_view parent_page_stem(std::string_view somabove) {
  return without_line_end(after_last_slash(somabove));
}

void write_page_head(const map& map, FILE* page) {
  PageText& out = page_text();
  append_page_head(out, map);
  put(page, out.view());
}

void write_page_end(const map& map, FILE* page) {
  PageText& out = page_text();
  append_page_end(out, map);
  put(page, out.view());
}

void write_html(const unit& unit, const map& map, FILE* page, const Settings& settings) {
  PageText& out = page_text();
  append_html(out, unit, map, settings);
  put(page, out.view());
}

}  // namespace somlabel::labelweb
