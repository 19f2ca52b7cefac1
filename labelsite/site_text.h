// What the site knows from its documents' text: their order, the index of
// their words, the phrases of their key files and the site's own labels
// made from them, with what the pass over the texts found.
#pragma once

#include "labelsite/document_text.h"
#include "labelsite/site_labels.h"
#include "labelsite/site_order.h"
#include "labelsite/text_index.h"
#include "labelsite/text_search.h"

namespace somlabel::labelsite {

struct SiteText {
  SiteOrder order;
  TextIndex index;
  KeyPhrases phrases;
  SiteLabels labels;
  TextSummary summary;
  TextSearchFiles files;  // set once the search data is written

  // Whether any document's text was read: else there is no content search.
  [[nodiscard]] bool searchable() const { return summary.read + summary.cached > 0; }
};

}  // namespace somlabel::labelsite
