// The text of a PDF, by poppler: page after page until kMaxDocumentBytes of
// text, with the words hyphenated at line ends joined again. Sets `text`,
// `from` ("PDF") and `cut`, or `passed_over` (kDamagedPdf, kEncrypted,
// kPdfWithoutText). poppler's own messages are not shown.
#pragma once

#include <string>
#include <string_view>

#include "convert/convert.h"

namespace somlabel::convert {

void pdf_text_of_file(const std::string& path, Converted& converted);
void pdf_text_of_bytes(std::string_view bytes, Converted& converted);

}  // namespace somlabel::convert
