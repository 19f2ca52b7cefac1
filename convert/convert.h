// The text of a document whatever its format: HTML and XHTML, PDF, Markdown,
// and plain text in any common encoding, each as UTF-8 text that the tools can
// read. The parsing is the libraries' (an HTML5 parser, poppler, a CommonMark
// parser, an encoding detector and iconv); what is here is the glue: which
// reader a document goes to, what of its tree is text, and the bounds.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "common/documents.h"
#include "common/result.h"

namespace somlabel::convert {

// Why a document is passed over, beyond the common rule (kBinary, kNoWords).
inline constexpr std::string_view kEncrypted = "an encrypted PDF (it needs a password)";
inline constexpr std::string_view kDamagedPdf = "a damaged PDF (it cannot be opened)";
inline constexpr std::string_view kPdfWithoutText = "a PDF without text (a scan?)";
inline constexpr std::string_view kUndecodable = "undecodable bytes (in no known encoding)";
inline constexpr std::string_view kBrokenHtml = "broken HTML (elements nested too deep)";

// How deep a page's elements may nest: no page written for reading comes
// near, and the HTML parser's time grows with the depth.
inline constexpr size_t kMaxHtmlDepth = 2000;

enum class Format { text, html, markdown, pdf };

// How a document is read: PDF by its signature ("%PDF-" in its first 1024
// bytes); HTML by its ending (.html, .htm, .xhtml, .xht, any case) or its
// start ("<!DOCTYPE html", "<html", after blanks and an XML declaration);
// Markdown by its ending (.md, .markdown); anything else as text.
[[nodiscard]] Format format_of(std::string_view name, std::string_view start);

// A document's text.
struct Converted {
  std::string text;         // UTF-8, at most kMaxDocumentBytes; empty when passed over
  bool same = false;        // `text` is the document's bytes unchanged: plain UTF-8, not cut
  bool cut = false;         // only the document's start was read
  std::string from;         // what was read, for the log: "HTML", "PDF", "Markdown",
                            // the encoding ("ISO-8859-1", "UTF-16LE"); empty for UTF-8 text
  std::string passed_over;  // why it is no document; empty for a document
};

// The text of a document held in memory: `bytes` are its first bytes (at most
// kMaxDocumentBytes of them), `more` whether it goes on beyond them. A PDF
// here is read from these bytes alone.
[[nodiscard]] Converted convert_bytes(std::string_view name, std::string bytes, bool more);

// The text of the document at `path`, named `name` below the document folder.
// A PDF is read from the file page by page, up to kMaxDocumentBytes of text;
// any other document up to its first kMaxDocumentBytes. A failure is a file
// that cannot be read; its message is read_file's ("cannot open PATH: ...").
[[nodiscard]] Result<Reason> convert_file(const std::string& path, std::string_view name,
                                          Converted& converted);

// The parts, for the tests.

// The text of an HTML (or XHTML) page in UTF-8: its title on a line of its
// own, then the text of its body, a block element on lines of its own (a
// paragraph or heading a paragraph); script, style, templates and markup
// dropped, entities decoded, blanks collapsed.
[[nodiscard]] std::string html_text(std::string_view html);

// html_text, or false for a page whose elements nest deeper than
// kMaxHtmlDepth (counted from its tags, before it is parsed).
[[nodiscard]] bool html_text(std::string_view html, std::string& text);

// The text of a CommonMark document: headings, paragraphs, list items and
// code blocks each on lines of their own, links and images by their text,
// HTML by the text html_text finds in it.
[[nodiscard]] std::string markdown_text(std::string_view markdown);

// Whether `text` is valid UTF-8; with `cut_end`, an incomplete character at
// its very end passes (the document was cut there).
[[nodiscard]] bool valid_utf8(std::string_view text, bool cut_end);

// `bytes` in `encoding` as UTF-8. An incomplete character at the end is
// dropped; a byte sequence that is no character of the encoding becomes
// U+FFFD. False when the encoding is unknown to iconv or more than one
// character in a hundred was invalid.
[[nodiscard]] bool to_utf8(std::string_view bytes, const std::string& encoding, std::string& out);

// The encoding an encoding detector takes `bytes` to be in ("WINDOWS-1252",
// "ISO-8859-1", "SHIFT_JIS", ...); empty when it has no guess.
[[nodiscard]] std::string detect_encoding(std::string_view bytes);

// Joins words that a PDF hyphenated at line ends, where a letter comes before
// the hyphen and a lower-case letter after the line end: "an exam-\nple here"
// gives "an example\nhere".
void join_hyphenated(std::string& text);

}  // namespace somlabel::convert
