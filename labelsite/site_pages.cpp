#include "labelsite/site_pages.h"

#include <exception>
#include <functional>
#include <thread>

#include "labelsite/document_index.h"
#include "labelsite/front_page.h"
#include "labelsite/phrase_index.h"
#include "labelsite/search_slices.h"
#include "labelsite/site.h"

namespace somlabel::labelsite {
namespace {

// Runs `work` on a thread of its own, joined when the thread object goes out
// of scope, also while an exception passes. What `work` throws (memory
// running out) is kept in `thrown`, for the caller to throw once joined.
std::jthread start(std::exception_ptr& thrown, std::function<void()> work) {
  return std::jthread([&thrown, work = std::move(work)] {
    try {
      work();
    } catch (...) {
      thrown = std::current_exception();
    }
  });
}

}  // namespace

// The phrases are written beside the documents, and the documents' pages
// beside their search data: each thread writes files of its own from what
// the site index and the finished orders hold, and none writes what another
// reads. index.html, which needs all of them, comes last.
Result write_site(const SiteIndex& index, const std::string& folder, SiteSummary& summary) {
  Site site(index, folder);
  if (!make_search_folder(site)) return Result::failure();
  PhraseIndex phrases(site);
  DocumentIndex documents(site);
  bool phrases_written = false;
  bool pages_written = false;
  bool search_written = false;
  std::exception_ptr thrown[2];
  {
    const std::jthread phrase_thread = start(thrown[0], [&] {
      phrases.order();
      phrases_written = phrases.write_pages() && phrases.write_search();
    });
    documents.order();
    const std::jthread page_thread =
        start(thrown[1], [&] { pages_written = documents.write_pages(); });
    search_written = documents.write_search();
  }
  for (const std::exception_ptr& exception : thrown) {
    if (exception) std::rethrow_exception(exception);
  }
  const bool written = phrases_written && pages_written && search_written &&
                       write_front_page(site, documents, phrases);
  summary.index_path = site.path("index.html");
  summary.documents = documents.size();
  summary.phrases = phrases.size();
  summary.files = site.files();
  return written ? Result() : Result::failure();
}

}  // namespace somlabel::labelsite
