#include "labelweb/page_text.h"

#include <algorithm>
#include <array>

namespace somlabel::labelweb {
namespace {

constexpr char kUpperHex[] = "0123456789ABCDEF";

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

}  // namespace

void append_escaped_text(PageText& out, std::string_view text) {
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

bool is_link_safe(std::string_view text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return kLinkSafe[static_cast<unsigned char>(c)]; });
}

}  // namespace somlabel::labelweb
