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
//
// Each kind of file has its own writer: front_page.h (index.html),
// document_index.h, phrase_index.h (their pages and search data, with the
// sizes of a page) and search_slices.h (the search data's files); site.h
// holds what they share.
#pragma once

#include <string>

#include "common/result.h"
#include "labelsite/site_index.h"

namespace somlabel::labelsite {

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
