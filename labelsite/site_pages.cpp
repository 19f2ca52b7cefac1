#include "labelsite/site_pages.h"

#include <cstdio>
#include <exception>
#include <functional>
#include <thread>

#include "labelsite/document_index.h"
#include "labelsite/front_page.h"
#include "labelsite/label_search.h"
#include "labelsite/map_view.h"
#include "labelsite/phrase_index.h"
#include "labelsite/search_slices.h"
#include "labelsite/site.h"
#include "labelsite/site_text.h"
#include "common/messages.h"

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

// The documents' text in the site's order, and the labels made from it.
void read_text(const Site& site, const SiteOptions& options, SiteText& text) {
  const SiteIndex& index = site.index();
  const Settings& settings = site.settings();
  text.order = site_order(index, site.tree());
  TextSources sources{.names = {},
                      .source_path = settings.sourcepath,
                      .key_path = settings.keypath,
                      .key_ending = settings.keyfileending,
                      .language = options.language,
                      .threads = options.threads,
                      .cache = options.cache};
  sources.names.reserve(text.order.documents.size());
  for (const uint32_t document : text.order.documents) {
    sources.names.emplace_back(index.name(index.documents()[document]));
  }
  show_status("reading the documents' text");
  read_document_text(sources, text.index, text.phrases, text.summary);
  const TextSummary& summary = text.summary;
  if (summary.unreadable > 0) {
    warn("cannot read the text of %zu of %zu documents (the first: %s); the search "
        "finds them by name only",
        summary.unreadable, summary.documents, summary.first_unreadable.c_str());
  }
  if (!text.searchable()) return;
  if (summary.without_keys == summary.documents) {
    warn("no document has a key file (%s<name>%s): the site has no labels of its own",
        settings.keypath.c_str(), settings.keyfileending.c_str());
  }
  show_status("choosing the labels");
  text.labels =
      site_labels(index, site.tree(), text.order, text.index, text.phrases, options.threads);
}

// What is written from the documents' text: the labels' table, the content
// search, the labels' search and the map view. False after printing why.
bool write_text_files(Site& site, SiteText& text, std::vector<std::string>& label_firsts) {
  show_status("writing the content search");
  if (text.searchable()) {
    if (!write_label_table(site.path(kLabelTable), site.index(), text.labels, text.phrases) ||
        !write_text_search(site, text.order, text.index, text.files) ||
        !write_label_search(site, text, label_firsts)) {
      return false;
    }
  } else {
    (void)std::remove(site.path(kLabelTable).c_str());
    for (const char kind : {'w', 't', 'i', 'l'}) {
      site.remove_stale(0, [kind](size_t n) {
        return std::string("search/") + kind + std::to_string(n) + ".js";
      });
    }
  }
  return write_map_views(site, text);
}

}  // namespace

// The phrases are written beside the documents, and the documents' pages
// beside their search data: each thread writes files of its own from what
// the site index and the finished orders hold, and none writes what another
// reads. index.html, which needs all of them, comes last.
Result<Told> write_site(const SiteIndex& index, const std::string& folder, const SiteOptions& options,
                  SiteSummary& summary) {
  Site site(index, folder);
  if (!make_search_folder(site)) return Told{};
  SiteText text;
  read_text(site, options, text);
  std::vector<std::string> label_firsts;
  if (!write_text_files(site, text, label_firsts)) return Told{};
  show_status("writing the site pages");
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
                       write_front_page(site, documents, phrases, text, label_firsts);
  summary.index_path = site.path("index.html");
  summary.documents = documents.size();
  summary.phrases = phrases.size();
  summary.files = site.files();
  summary.text = text.summary;
  summary.terms = text.index.stems.size();
  for (const auto* lists : {&text.labels.units, &text.labels.maps}) {
    for (const LabelList& list : *lists) summary.labelled += list.labels.empty() ? 0 : 1;
  }
  return written ? Result<Told>() : Told{};
}

}  // namespace somlabel::labelsite
