#include "convert/convert.h"

#include <iconv.h>
#include <uchardet/uchardet.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <memory>

#include "common/io.h"
#include "convert/pdf.h"

namespace somlabel::convert {
namespace {

constexpr std::string_view kUtf8Bom = "\xef\xbb\xbf";

bool ends_with_any(std::string_view name, std::initializer_list<std::string_view> endings) {
  std::string lower(name.substr(name.size() - std::min<size_t>(name.size(), 12)));
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return std::any_of(endings.begin(), endings.end(),
                     [&](std::string_view ending) { return lower.ends_with(ending); });
}

bool starts_like_html(std::string_view start) {
  std::string head(start.substr(0, 512));
  std::transform(head.begin(), head.end(), head.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  std::string_view rest = head;
  const auto skip_blanks = [&] {
    rest.remove_prefix(std::min(rest.find_first_not_of(" \t\r\n"), rest.size()));
  };
  if (rest.starts_with(kUtf8Bom)) rest.remove_prefix(kUtf8Bom.size());
  skip_blanks();
  if (rest.starts_with("<?xml")) {
    rest.remove_prefix(std::min(rest.find("?>"), rest.size()));
    if (!rest.empty()) rest.remove_prefix(2);
    skip_blanks();
  }
  return rest.starts_with("<!doctype html") || rest.starts_with("<html");
}

// The byte-order marks that name an encoding, longest first.
struct ByteOrderMark {
  std::string_view bytes;
  const char* encoding;
};
constexpr std::array<ByteOrderMark, 4> kMarks = {{{{"\xff\xfe\0\0", 4}, "UTF-32LE"},
                                                  {{"\0\0\xfe\xff", 4}, "UTF-32BE"},
                                                  {"\xff\xfe", "UTF-16LE"},
                                                  {"\xfe\xff", "UTF-16BE"}}};

Converted passed(std::string_view reason) {
  Converted converted;
  converted.passed_over = std::string(reason);
  return converted;
}

// The bytes as UTF-8 text, or why they are not text.
Converted decoded(std::string bytes, bool more) {
  Converted converted;
  for (const ByteOrderMark& mark : kMarks) {
    if (!bytes.starts_with(mark.bytes)) continue;
    converted.from = mark.encoding;
    if (!to_utf8(std::string_view(bytes).substr(mark.bytes.size()), mark.encoding,
                 converted.text)) {
      return passed(kUndecodable);
    }
    if (looks_binary(converted.text)) return passed(kBinary);
    return converted;
  }
  if (looks_binary(bytes)) return passed(kBinary);
  if (bytes.starts_with(kUtf8Bom)) {
    bytes.erase(0, kUtf8Bom.size());
    converted.from = "UTF-8 with a byte-order mark";
  }
  if (valid_utf8(bytes, more)) {
    // A character cut in two where the read stopped goes.
    if (more && !valid_utf8(bytes, false)) {
      while (!bytes.empty() && (static_cast<unsigned char>(bytes.back()) & 0xc0) == 0x80) {
        bytes.pop_back();
      }
      if (!bytes.empty()) bytes.pop_back();
    }
    converted.text = std::move(bytes);
    return converted;
  }
  // Most text that is not UTF-8 and has no guess is in the West's code page.
  std::string encoding = detect_encoding(bytes);
  if (encoding.empty() || encoding == "ASCII" || encoding == "UTF-8") encoding = "WINDOWS-1252";
  converted.from = encoding;
  if (!to_utf8(bytes, encoding, converted.text)) return passed(kUndecodable);
  return converted;
}

// Cuts, and passes over a text without words.
Converted finished(Converted converted, bool more) {
  if (!converted.passed_over.empty()) return converted;
  converted.cut = more || converted.text.size() > kMaxDocumentBytes;
  cut_document(converted.text);
  if (!has_words(converted.text)) return passed(kNoWords);
  return converted;
}

}  // namespace

Format format_of(std::string_view name, std::string_view start) {
  if (start.substr(0, 1024).find("%PDF-") != std::string_view::npos) return Format::pdf;
  if (ends_with_any(name, {".html", ".htm", ".xhtml", ".xht"}) || starts_like_html(start)) {
    return Format::html;
  }
  if (ends_with_any(name, {".md", ".markdown"})) return Format::markdown;
  return Format::text;
}

Converted convert_bytes(std::string_view name, std::string bytes, bool more) {
  const Format format = format_of(name, bytes);
  if (format == Format::pdf) {
    Converted converted;
    pdf_text_of_bytes(bytes, converted);
    return finished(std::move(converted), false);
  }
  const size_t size = bytes.size();
  Converted converted = decoded(std::move(bytes), more);
  if (!converted.passed_over.empty()) return converted;
  if (format == Format::html) {
    std::string text;
    if (!html_text(converted.text, text)) return passed(kBrokenHtml);
    converted.text = std::move(text);
    converted.from = converted.from.empty() ? "HTML" : "HTML in " + converted.from;
  } else if (format == Format::markdown) {
    converted.text = markdown_text(converted.text);
    converted.from = converted.from.empty() ? "Markdown" : "Markdown in " + converted.from;
  }
  converted = finished(std::move(converted), more);
  converted.same = converted.passed_over.empty() && converted.from.empty() && !converted.cut &&
                   converted.text.size() == size;
  return converted;
}

Result<Reason> convert_file(const std::string& path, std::string_view name, Converted& converted) {
  std::string bytes;
  bool more = false;
  if (Result<Reason> read = read_file_head(path, kMaxDocumentBytes, bytes, more); !read)
    return read;
  if (format_of(name, bytes) == Format::pdf) {
    converted = {};
    pdf_text_of_file(path, converted);
    converted = finished(std::move(converted), false);
    return {};
  }
  converted = convert_bytes(name, std::move(bytes), more);
  return {};
}

bool valid_utf8(std::string_view text, bool cut_end) {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const auto* end = p + text.size();
  while (p < end) {
    const unsigned char c = *p;
    if (c < 0x80) {
      ++p;
      continue;
    }
    int length = 0;
    char32_t least = 0;
    if ((c & 0xe0) == 0xc0) {
      length = 2, least = 0x80;
    } else if ((c & 0xf0) == 0xe0) {
      length = 3, least = 0x800;
    } else if ((c & 0xf8) == 0xf0) {
      length = 4, least = 0x10000;
    } else {
      return false;
    }
    char32_t code = c & (0x7f >> length);
    for (int i = 1; i < length; ++i) {
      if (p + i == end) return cut_end;
      if ((p[i] & 0xc0) != 0x80) return false;
      code = (code << 6) | (p[i] & 0x3f);
    }
    if (code < least || code > 0x10ffff || (code >= 0xd800 && code <= 0xdfff)) return false;
    p += length;
  }
  return true;
}

bool to_utf8(std::string_view bytes, const std::string& encoding, std::string& out) {
  out.clear();
  iconv_t cd = ::iconv_open("UTF-8", encoding.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  const std::unique_ptr<void, int (*)(iconv_t)> closer(cd, ::iconv_close);
  std::string in(bytes);  // iconv wants a char*, not a const one
  char* from = in.data();
  size_t left = in.size();
  size_t invalid = 0;
  // What a character that is not one is skipped by: a code unit.
  const size_t unit = encoding.starts_with("UTF-16") ? 2 : encoding.starts_with("UTF-32") ? 4 : 1;
  char buffer[1 << 14];
  while (left > 0) {
    char* to = buffer;
    size_t room = sizeof buffer;
    const size_t done = ::iconv(cd, &from, &left, &to, &room);
    const int error = errno;
    out.append(buffer, static_cast<size_t>(to - buffer));
    if (done != static_cast<size_t>(-1) || error == E2BIG) continue;
    if (error == EINVAL) break;  // an incomplete character at the end
    if (error != EILSEQ) return false;
    out.append("\xef\xbf\xbd");  // U+FFFD
    ++invalid;
    const size_t skipped = std::min(unit, left);
    from += skipped;
    left -= skipped;
  }
  return invalid * 100 <= std::max<size_t>(out.size() / 2, 1);
}

std::string detect_encoding(std::string_view bytes) {
  const std::unique_ptr<std::remove_pointer_t<uchardet_t>, void (*)(uchardet_t)> detector(
      uchardet_new(), uchardet_delete);
  // The start tells the encoding as well as the whole does.
  const std::string_view sample = bytes.substr(0, size_t{1} << 18);
  if (uchardet_handle_data(detector.get(), sample.data(), sample.size()) != 0) return {};
  uchardet_data_end(detector.get());
  return uchardet_get_charset(detector.get());
}

void join_hyphenated(std::string& text) {
  size_t out = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const bool joined = text[i] == '-' && i > 0 &&
                        std::isalpha(static_cast<unsigned char>(text[i - 1])) &&
                        i + 2 < text.size() && text[i + 1] == '\n' &&
                        std::islower(static_cast<unsigned char>(text[i + 2]));
    if (!joined) {
      text[out++] = text[i];
      continue;
    }
    // The rest of the word comes up to the hyphen; the line end after it.
    size_t end = i + 2;
    while (end < text.size() && !std::isspace(static_cast<unsigned char>(text[end]))) ++end;
    for (size_t j = i + 2; j < end; ++j) text[out++] = text[j];
    if (end < text.size()) text[out++] = '\n';
    i = end;
  }
  text.resize(out);
}

}  // namespace somlabel::convert
