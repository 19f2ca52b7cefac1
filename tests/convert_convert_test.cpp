// The text of documents in every format the tools read.
#include "convert/convert.h"

#include <gtest/gtest.h>

#include "tests/test_util.h"

namespace somlabel::convert {
namespace {

// A PDF of one page a text (none: a page without text, as a scan has), its
// cross-reference table at the byte offsets a reader checks.
std::string pdf_of(const std::vector<std::string>& pages) {
  std::vector<std::string> objects = {"<< /Type /Catalog /Pages 2 0 R >>", "",
                                      "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>"};
  std::string kids;
  for (const std::string& text : pages) {
    const size_t page = objects.size() + 1;
    kids += std::to_string(page) + " 0 R ";
    objects.push_back("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents " +
                      std::to_string(page + 1) + " 0 R /Resources << /Font << /F1 3 0 R >> >> >>");
    const std::string stream = text.empty() ? "" : "BT /F1 12 Tf 72 700 Td (" + text + ") Tj ET";
    objects.push_back("<< /Length " + std::to_string(stream.size()) + " >>\nstream\n" + stream +
                      "\nendstream");
  }
  objects[1] =
      "<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(pages.size()) + " >>";
  std::string pdf = "%PDF-1.4\n";
  std::vector<size_t> offsets;
  for (size_t i = 0; i < objects.size(); ++i) {
    offsets.push_back(pdf.size());
    pdf += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
  }
  const size_t xref = pdf.size();
  pdf += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
  for (size_t offset : offsets) {
    char entry[32];
    std::snprintf(entry, sizeof entry, "%010zu 00000 n \n", offset);
    pdf += entry;
  }
  return pdf + "trailer\n<< /Size " + std::to_string(objects.size() + 1) +
         " /Root 1 0 R >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
}

TEST(Convert, FormatByEndingOrStart) {
  const struct {
    const char* name;
    std::string start;
    Format format;
  } cases[] = {
      {"a.txt", "plain", Format::text},
      {"a.HTML", "x", Format::html},
      {"dir/a.xhtml", "x", Format::html},
      {"noending", "  \n<!DOCTYPE HTML>\n<p>x", Format::html},
      {"noending", "<?xml version=\"1.0\"?>\n<html xmlns=\"x\">", Format::html},
      {"notes", "<p>a paragraph is no page</p>", Format::text},
      {"README.md", "# Title", Format::markdown},
      {"paper.txt", "%PDF-1.7\n", Format::pdf},  // the signature wins over the ending
      {"page.html", "%PDF-1.4", Format::pdf},
  };
  for (const auto& c : cases) EXPECT_EQ(format_of(c.name, c.start), c.format) << c.name;
}

TEST(Convert, HtmlTextWithoutMarkup) {
  const struct {
    std::string html;
    std::string text;
  } cases[] = {
      {"<html><head><title>The  Title</title><style>p {color: red}</style>"
       "<script>var x = '<p>';</script></head>"
       "<body><h1>Heading</h1><p>One <b>bold</b> word &amp; an&nbsp;entity.</p>"
       "<div class=\"code\">Block<br>next line</div></body></html>",
       "The Title\n\nHeading\n\nOne bold word & an\xc2\xa0"
       "entity.\n\nBlock\nnext line\n"},
      {"<p>unclosed <i>tags<p>and <broken <a href=x>links", "unclosed tags\n\nand links\n"},
      {"<pre>two\n  lines</pre>", "two\nlines\n"},
      {"<ul><li>one</li><li>two</li></ul><!-- a comment -->", "one\ntwo\n"},
      {"<p>x<noscript>no</noscript><template>t</template><svg><text>s</text></svg></p>", "x\n"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(html_text(c.html), c.text) << c.html;
  // As deep as a page may nest, the walk over the tree does not recurse; deeper, the
  // page is broken, before the parser spends time on it.
  std::string deep, text;
  for (size_t i = 0; i < kMaxHtmlDepth; ++i) deep += "<div><p><br><img src=x/>";
  EXPECT_TRUE(html_text(deep + "deep", text));
  EXPECT_EQ(text, "deep\n");
  EXPECT_FALSE(html_text(deep + "<span>", text));
  EXPECT_EQ(convert_bytes("deep.html", deep + "<div>", false).passed_over, kBrokenHtml);
  std::string closed;  // as many elements, each closed
  for (size_t i = 0; i < 3 * kMaxHtmlDepth; ++i) closed += "<div>x</div><!-- <div> -->";
  EXPECT_TRUE(html_text(closed, text));
}

TEST(Convert, MarkdownTextWithoutMarkup) {
  const struct {
    std::string markdown;
    std::string text;
  } cases[] = {
      {"# Title\n\nA *word* and a [link](http://x/y) and `code`.\n",
       "Title\n\nA word and a link and code.\n"},
      {"- one\n- two\n\n```\nint x;\n```\n", "one\n\ntwo\n\nint x;\n"},
      {"<div>\n<b>html</b> block\n</div>\n\ntext <span>inline</span>\n",
       "html block\n\ntext inline\n"},
      {"![alt text](image.png)", "alt text\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(markdown_text(c.markdown), c.text) << c.markdown;
}

TEST(Convert, EncodingsToUtf8) {
  const struct {
    std::string bytes;
    std::string text;
    std::string from;
  } cases[] = {
      {"Caf\xc3\xa9 na\xc3\xafve", "Caf\xc3\xa9 na\xc3\xafve", ""},
      {"\xef\xbb\xbfwith a mark", "with a mark", "UTF-8 with a byte-order mark"},
      {std::string("\xff\xfeh\0i\0 \0\xe9\0", 10), "hi \xc3\xa9", "UTF-16LE"},
      {std::string("\xfe\xff\0h\0i", 6), "hi", "UTF-16BE"},
      {std::string("\xff\xfeh\0i", 5), "h", "UTF-16LE"},  // half a character at the end
  };
  for (const auto& c : cases) {
    const Converted converted = convert_bytes("a.txt", c.bytes, false);
    EXPECT_EQ(converted.text, c.text) << c.bytes;
    EXPECT_EQ(converted.from, c.from) << c.bytes;
    EXPECT_EQ(converted.same, c.from.empty()) << c.bytes;
  }
  // Latin-1, as a detector reads it: either of the West's code pages gives the same letters.
  const Converted latin =
      convert_bytes("fr.txt",
                    "Le caf\xe9 na\xefve est une biblioth\xe8que o\xf9 l'on lit et l'on \xe9"
                    "crit.\n",
                    false);
  EXPECT_EQ(latin.text,
            "Le caf\xc3\xa9 na\xc3\xafve est une biblioth\xc3\xa8que o\xc3\xb9 l'on lit et l'on "
            "\xc3\xa9"
            "crit.\n");
  std::string decoded;
  EXPECT_FALSE(to_utf8("x", "NO-SUCH-ENCODING", decoded));
  EXPECT_TRUE(to_utf8("a\x80z", "ISO-8859-15", decoded));  // a C1 control, still a character
}

TEST(Convert, Utf8Validity) {
  const struct {
    std::string text;
    bool valid, valid_if_cut;
  } cases[] = {
      {"plain", true, true},          {"\xc3\xa9", true, true},
      {"\xc3", false, true},          {"\xe2\x82", false, true},
      {"\xc3(", false, false},        {"\xc0\xaf", false, false},
      {"\xed\xa0\x80", false, false}, {"\xf4\x90\x80\x80", false, false},
      {"\xff", false, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(valid_utf8(c.text, false), c.valid) << c.text;
    EXPECT_EQ(valid_utf8(c.text, true), c.valid_if_cut) << c.text;
  }
}

TEST(Convert, PassedOverAndCut) {
  std::string lone_surrogates = "\xff\xfe";  // UTF-16 with halves of characters alone
  for (int i = 0; i < 50; ++i) lone_surrogates += std::string("\x00\xd8\x41\x00", 4);
  const struct {
    const char* name;
    std::string bytes;
    bool more;
    std::string_view passed_over;
    bool cut;
  } cases[] = {
      {"a.txt", "", false, kNoWords, false},
      {"a.html", "<html><body><!-- only --> <p> </p></body></html>", false, kNoWords, false},
      {"a.bin",
       std::string("\x7f"
                   "ELF\2\1\1\0\0\0",
                   10),
       false, kBinary, false},
      {"a.pdf", "%PDF-1.4\nnot a PDF after all", false, kDamagedPdf, false},
      {"a.pdf", pdf_of({"", ""}), false, kPdfWithoutText, false},
      {"a.txt", lone_surrogates, false, kUndecodable, false},
      {"a.txt", "words that go on", true, {}, true},
      {"a.txt", std::string(kMaxDocumentBytes + 10, 'x'), false, {}, true},
  };
  for (const auto& c : cases) {
    const Converted converted = convert_bytes(c.name, c.bytes, c.more);
    EXPECT_EQ(converted.passed_over, c.passed_over) << c.name << " " << c.bytes.substr(0, 20);
    EXPECT_EQ(converted.cut, c.cut) << c.name << " " << c.bytes.substr(0, 20);
    EXPECT_LE(converted.text.size(), kMaxDocumentBytes);
  }
}

TEST(Convert, PdfTextPageByPageWithHyphensJoined) {
  testutil::TempDir dir;
  testutil::write_file(dir.path() / "p.pdf", pdf_of({"First page", "Second page"}));
  Converted converted;
  ASSERT_TRUE(convert_file(dir.str() + "p.pdf", "p.pdf", converted).ok());
  EXPECT_EQ(converted.passed_over, "");
  EXPECT_EQ(converted.from, "PDF");
  EXPECT_NE(converted.text.find("First page"), std::string::npos) << converted.text;
  EXPECT_LT(converted.text.find("First page"), converted.text.find("Second page"));
  const struct {
    std::string text, joined;
  } hyphens[] = {
      {"an exam-\nple here", "an example\nhere"},
      {"well-\nKnown", "well-\nKnown"},        // a capital: a name, kept
      {"x -\nnot a word", "x -\nnot a word"},  // no letter before the hyphen
      {"end-\n", "end-\n"},
  };
  for (const auto& c : hyphens) {
    std::string text = c.text;
    join_hyphenated(text);
    EXPECT_EQ(text, c.joined);
  }
}

}  // namespace
}  // namespace somlabel::convert
