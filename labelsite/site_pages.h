// The site pages written beside the map pages: index.html (the tree of maps,
// a legend of the map pages and the search box), the document index
// (documents.html, documents-2.html, ...), the phrase index (phrases.html,
// phrases-2.html, ...) and the search data (search/d<N>.js, search/p<N>.js).
// Files of these names left from an earlier, larger site are removed.
//
// The pages are HTML5 in UTF-8; every text from the labelunit files is
// escaped and every part of a link taken from them percent-encoded. Links
// to documents and key files use the prefixes of the option file, as the
// map pages do; links to map pages are relative to the site's folder.
#pragma once

#include <string>

#include "common/result.h"
#include "labelsite/site_index.h"

namespace somlabel::labelsite {

// Entries on one page of the document index.
inline constexpr size_t kDocumentsPerPage = 1000;

// A page of the phrase index ends after this many phrases, or once it lists
// this many units.
inline constexpr size_t kPhrasesPerPage = 500;
inline constexpr size_t kUnitsPerPhrasePage = 5000;

// A search data file ends after the entry that takes it to this size.
inline constexpr size_t kSearchFileSize = size_t{32} << 10;

// Units listed with a phrase in the search data, best first.
inline constexpr int kSearchUnitsPerPhrase = 10;

struct SiteSummary {
  std::string index_path;  // index.html
  size_t documents = 0;    // entries of the document index
  size_t phrases = 0;      // entries of the phrase index
  size_t files = 0;        // files written
};

// Writes the site of `index` into `folder` (empty: the working directory).
// Fails after printing why, naming the file.
[[nodiscard]] Result write_site(const SiteIndex& index, const std::string& folder,
                                SiteSummary& summary);

}  // namespace somlabel::labelsite
