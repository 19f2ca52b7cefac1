#include "convert/pdf.h"

#include <poppler-document.h>
#include <poppler-global.h>
#include <poppler-page.h>

#include <climits>
#include <memory>

namespace somlabel::convert {
namespace {

void quiet(const std::string&, void*) {}

void text_of(poppler::document* document, Converted& converted) {
  converted.from = "PDF";
  if (document == nullptr) {
    converted.passed_over = kDamagedPdf;
    return;
  }
  const std::unique_ptr<poppler::document> owner(document);
  if (document->is_locked()) {
    converted.passed_over = kEncrypted;
    return;
  }
  for (int p = 0; p < document->pages() && converted.text.size() <= kMaxDocumentBytes; ++p) {
    const std::unique_ptr<poppler::page> page(document->create_page(p));
    if (!page) continue;
    const poppler::byte_array utf8 =
        page->text(poppler::rectf(), poppler::page::raw_order_layout).to_utf8();
    converted.text.append(utf8.data(), utf8.size());
    converted.text += "\n\n";
    if (converted.text.size() > kMaxDocumentBytes && p + 1 < document->pages())
      converted.cut = true;
  }
  join_hyphenated(converted.text);
  if (!has_words(converted.text)) converted.passed_over = kPdfWithoutText;
}

// poppler's messages go to standard error unless a function takes them.
void silence() {
  static const bool silenced = (poppler::set_debug_error_function(quiet, nullptr), true);
  (void)silenced;
}

}  // namespace

void pdf_text_of_file(const std::string& path, Converted& converted) {
  silence();
  text_of(poppler::document::load_from_file(path), converted);
}

void pdf_text_of_bytes(std::string_view bytes, Converted& converted) {
  silence();
  if (bytes.size() > INT_MAX) bytes = bytes.substr(0, INT_MAX);
  text_of(poppler::document::load_from_raw_data(bytes.data(), static_cast<int>(bytes.size())),
          converted);
}

}  // namespace somlabel::convert
