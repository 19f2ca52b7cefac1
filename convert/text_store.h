// The text store: the UTF-8 text of every document of a folder, kept under
// one folder by the same names, so that the tools that read documents (the
// map trainer, the extractor, labelcalc's mode 0, the site's content index)
// read text whatever the documents' formats. A document that is plain UTF-8
// text within the size bound is a symbolic link to the document itself; every
// other one a file of its converted text. A document's text is made again only
// when the document is newer than it.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "common/documents.h"
#include "common/result.h"

namespace somlabel::convert {

// What update_text_store did, for the log and the summary.
struct StoreReport {
  std::vector<std::string> names;       // the documents that have a text, in byte order
  std::vector<PassedOver> passed_over;  // files and folders with no text, and why
  std::vector<std::string> cut;         // documents of which only the start was read
  std::vector<std::string> made;        // "NAME: read as FROM" (or "NAME") for each text made
  size_t removed = 0;                   // texts of documents that are gone or passed over
  bool changed = false;                 // a text was made or removed
};

// The hidden list in the store of what each text was made from; its time
// stamp is that of the last change of the set of texts.
inline constexpr const char* kStoreList = ".texts";

// Makes `store` hold the text of every document below `documents` (the rule of
// list_documents, `leave_out` left out), converting on `jobs` threads, and
// removes the texts of files that are no longer documents. Fails only when
// `documents` cannot be read or the store cannot be written, with the message
// for the caller to print. `progress`, where given, hears how many of the
// texts due are made, each time a hundredth more is, one call at a time.
[[nodiscard]] Result<Reason> update_text_store(
    const std::string& documents, const std::string& store, const std::string& leave_out,
    unsigned jobs, StoreReport& report,
    const std::function<void(size_t made, size_t due)>& progress = {});

// "passed over 5 of 40 files (2 binary, 1 without words, 1 with a blank in
// the name, 1 unreadable); cut 1", or empty when nothing was passed over or
// cut. `documents` counts the documents that have a text.
[[nodiscard]] std::string store_summary(const StoreReport& report);

}  // namespace somlabel::convert
