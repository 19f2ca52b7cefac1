// Text from the labelunit files on its way into pages, links, search data and
// search keys. Expected bytes are worked out from HTML, URL, JavaScript and
// UTF-8 rules (the WHATWG decoder for invalid input).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "labelsite/web_text.h"

namespace somlabel::labelsite {
namespace {

template <typename Append>
std::string appended(Append append, std::string_view text) {
  PageText out;
  append(out, text);
  return std::string(out.view());
}

TEST(LabelsiteText, DecodesUtf8AsBrowsersDo) {
  struct Case {
    std::string bytes;
    std::vector<char32_t> characters;
  };
  const Case cases[] = {
      {"a\xC3\xA9", {'a', 0xE9}},
      {"\xF0\x9F\x98\x80", {0x1F600}},
      {"\xC3", {0xFFFD}},  // cut short at the end
      {"\xE2\x82"
       "a",
       {0xFFFD, 'a'}},                             // cut short: the next byte starts anew
      {"\xED\xA0\x80", {0xFFFD, 0xFFFD, 0xFFFD}},  // a surrogate is no character
      {"\xC0\xAF", {0xFFFD, 0xFFFD}},              // overlong
      {"\xF4\x90\x80\x80", {0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD}},  // beyond U+10FFFF
      {"\xFF"
       "b",
       {0xFFFD, 'b'}},
  };
  for (const Case& c : cases) {
    std::vector<char32_t> decoded;
    for (size_t pos = 0; pos < c.bytes.size();) decoded.push_back(decode_utf8(c.bytes, pos));
    EXPECT_EQ(decoded, c.characters) << c.bytes;
  }
}

TEST(LabelsiteText, TellsValidUtf8) {
  for (const std::string valid : {"", "ascii", "caf\xC3\xA9", "\xEF\xBF\xBD", "\xF0\x9F\x98\x80"}) {
    EXPECT_TRUE(is_valid_utf8(valid)) << valid;
  }
  for (const std::string invalid : {"\xFF", "caf\xC3", "\xED\xA0\x80", "a\xC0\xAF"}) {
    EXPECT_FALSE(is_valid_utf8(invalid)) << invalid;
  }
}

TEST(LabelsiteText, EscapesPageText) {
  const std::pair<std::string, std::string> cases[] = {
      {"plain text", "plain text"},
      {"<script>a&b</script>", "&lt;script&gt;a&amp;b&lt;/script&gt;"},
      {"\"q\" 'a'", "&quot;q&quot; &#39;a&#39;"},
      {"tab\tline\n", "tab\tline\n"},
      {"caf\xC3\xA9", "caf\xC3\xA9"},
      {"bad\xFF", "bad\xEF\xBF\xBD"},
      {std::string("nul\0bell\x07", 9),
       "nul\xEF\xBF\xBD"
       "bell\xEF\xBF\xBD"},
      {"c1\xC2\x85", "c1\xEF\xBF\xBD"},  // U+0085, a control character
      {"\xEF\xB7\x90", "\xEF\xBF\xBD"},  // U+FDD0, a noncharacter
  };
  for (const auto& [text, html] : cases) EXPECT_EQ(appended(append_html_text, text), html);
}

TEST(LabelsiteText, WritesAsciiJavaScriptStrings) {
  const std::pair<std::string, std::string> cases[] = {
      {"plain", "\"plain\""},
      {"A b~'>", "\"A b~'>\""},
      {"q\"b\\", "\"q\\\"b\\\\\""},
      {"</script>", "\"\\u003c/script>\""},
      {"a\nb\x01", "\"a\\u000ab\\u0001\""},
      {"caf\xC3\xA9", "\"caf\\u00e9\""},
      {"\xE2\x80\xA8", "\"\\u2028\""},             // a line end to JavaScript
      {"\xF0\x9F\x98\x80", "\"\\ud83d\\ude00\""},  // a surrogate pair
      {"\xFF", "\"\\ufffd\""},
  };
  for (const auto& [text, literal] : cases) {
    EXPECT_EQ(appended(append_js_string, text), literal);
    EXPECT_EQ(is_js_plain(text), literal == "\"" + text + "\"") << text;
  }
}

TEST(LabelsiteText, SearchKeysAndWords) {
  const std::pair<std::string, std::string> keys[] = {
      {"Neural Networks", "neural networks"},
      {"  a \t b\n", "a b"},
      {"\xC3\x84rger", "\xC3\xA4rger"},  // Ärger: beyond ASCII too
      {"X\xFF", "x\xEF\xBF\xBD"},
  };
  for (const auto& [text, key] : keys) {
    std::string appended = "x";  // appended to what is there
    append_search_key(appended, text);
    EXPECT_EQ(appended, "x" + key);
  }

  const std::pair<std::string, std::vector<size_t>> words[] = {
      {"pthread_equal.3", {0, 8}},  // not at the digit
      {"long double", {0, 5}},
      {"wide-character class", {0, 5, 15}},
      {"x \xC3\xA4rger", {0, 2}},  // a letter beyond ASCII starts a word
      {"a\xC3\xA4"
       "b",
       {0}},  // ... but not inside one
      {"2d plot", {0, 3}},
  };
  for (const auto& [key, expected] : words) {
    size_t starts[8];
    const int count = word_starts(key, starts, 8);
    EXPECT_EQ(std::vector<size_t>(starts, starts + count), expected) << key;
  }
  size_t starts[2];
  EXPECT_EQ(word_starts("a b c d", starts, 2), 2);
}

}  // namespace
}  // namespace somlabel::labelsite
