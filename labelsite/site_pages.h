// The site pages written beside the map pages: index.html (the map view,
// the tree of maps, a legend of the map pages and the search box), the
// document index (documents.html, documents-2.html, ...), the phrase index
// (phrases.html, phrases-2.html, ...), the search data (search/d<N>.js,
// search/p<N>.js for names and phrases, search/l<N>.js for the site's
// labels, search/w<N>.js, t<N>.js and i<N>.js for the documents' text), the
// map view's data (view/m<N>.js) and the table of the site's labels
// (site-labels.tsv). Files of these names left from an earlier, larger site
// are removed.
//
// The pages are HTML5 in UTF-8; every text from the labelunit files is
// escaped and every part of a link taken from them percent-encoded. Links
// to documents and key files use the prefixes of the option file, as the
// map pages do; links to map pages are relative to the site's folder.
//
// Each kind of file has its own writer: front_page.h (index.html),
// document_index.h, phrase_index.h (their pages and search data, with the
// sizes of a page), text_search.h, label_search.h, map_view.h, site_labels.h
// and search_slices.h (the search data's files); site.h holds what they
// share. What the documents' text says comes first (document_text.h).
#pragma once

#include <string>

#include "common/result.h"
#include "labelsite/document_text.h"
#include "labelsite/site_index.h"
#include "text/language.h"

namespace somlabel::labelsite {

// The table of the site's labels, beside index.html.
inline constexpr std::string_view kLabelTable = "site-labels.tsv";

struct SiteOptions {
  text::Language language = text::Language::english;  // of the documents
  unsigned threads = 1;                               // for their text
  std::string cache;  // the text cache (text_cache.h); empty: every text is read anew
};

struct SiteSummary {
  std::string index_path;  // index.html
  size_t documents = 0;    // entries of the document index
  size_t phrases = 0;      // entries of the phrase index
  size_t files = 0;        // files written
  TextSummary text;        // the pass over the documents' text
  size_t terms = 0;        // of the content search
  size_t labelled = 0;     // units and maps with labels of the site's own
};

// Writes the site of `index` into `folder` (empty: the working directory).
// Fails after printing why, naming the file. Documents whose text cannot be
// read only get a warning.
[[nodiscard]] Result<Told> write_site(const SiteIndex& index, const std::string& folder,
                                const SiteOptions& options, SiteSummary& summary);

}  // namespace somlabel::labelsite
