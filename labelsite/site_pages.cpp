#include "labelsite/site_pages.h"

#include <thread>

#include "labelsite/document_index.h"
#include "labelsite/front_page.h"
#include "labelsite/phrase_index.h"
#include "labelsite/search_slices.h"
#include "labelsite/site.h"

namespace somlabel::labelsite {

// The phrases are written beside the documents, and the documents' pages
// beside their search data: each thread writes files of its own from what
// the site index and the finished orders hold, and none writes what another
// reads. index.html, which needs all of them, comes last.
Result write_site(const SiteIndex& index, const std::string& folder, SiteSummary& summary) {
  Site site(index, folder);
  if (!make_search_folder(site)) return Result::failure();
  PhraseIndex phrases(site);
  bool phrases_written = false;
  std::thread phrase_thread([&] {
    phrases.order();
    phrases_written = phrases.write_pages() && phrases.write_search();
  });
  DocumentIndex documents(site);
  documents.order();
  bool pages_written = false;
  std::thread page_thread([&] { pages_written = documents.write_pages(); });
  const bool search_written = documents.write_search();
  page_thread.join();
  phrase_thread.join();
  const bool written = phrases_written && pages_written && search_written &&
                       write_front_page(site, documents, phrases);
  summary.index_path = site.path("index.html");
  summary.documents = documents.size();
  summary.phrases = phrases.size();
  summary.files = site.files();
  return written ? Result() : Result::failure();
}

}  // namespace somlabel::labelsite
