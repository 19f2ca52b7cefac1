// Feeds arbitrary bytes as a labelunit file through the reader and the page
// writer, and checks that no input text reaches the page as markup: every
// "<" starts one of the page format's own tags, and every link holds only
// the characters that escaping and percent-encoding leave.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "common/settings.h"
#include "fuzz/fuzz_util.h"
#include "labelweb/page_maker.h"

namespace {

constexpr std::string_view kPageTags[] = {
    "<HTML>",   "</HTML>",  "<BODY ", "</BODY>",       "<TITLE>",
    "</TITLE>", "<H1>",     "</H1>",  "<BR>",          "<HR>",
    "<table ",  "</table>", "<tr>",   "</tr>",         "<td align=left>",
    "</td>",    "<b>",      "</b>",   "<font color=#", "</font>",
    "<a href=", "</a>",
};

bool is_link_byte(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '.' || c == '_' || c == '~' || c == '/' || c == '%';
}

void check_page(std::string_view page) {
  for (size_t at = page.find('<'); at != std::string_view::npos; at = page.find('<', at + 1)) {
    const std::string_view rest = page.substr(at);
    bool known = false;
    for (const std::string_view tag : kPageTags) known = known || rest.starts_with(tag);
    if (!known) fuzzutil::fail("a '<' on the page starts no tag of the page format");
    if (!rest.starts_with("<a href=")) continue;
    // With the default settings a link is "files/", "key/" or nothing, then
    // encoded bytes, then ".key" or a page ending.
    size_t end = 8;
    while (end < rest.size() && is_link_byte(rest[end])) ++end;
    if (end == rest.size() || rest[end] != '>') fuzzutil::fail("a link holds an unencoded byte");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FILE* in = fuzzutil::input(data, size);
  if (in == nullptr) return 0;
  fuzzutil::Output page;
  const somlabel::Settings settings;
  (void)somlabel::labelweb::write_page(in, page.get(), settings);
  std::fclose(in);
  check_page(page.text());
  return 0;
}
