// The site's own labels: for every unit and every map, the phrases that
// most of its documents carry and few documents around it do. Candidates are
// the phrases of its documents' key files (the extractor's noun phrases, so
// no fragments) and the phrases their last words make (document_text.h); a
// document carries a phrase when its text holds every stemmed word of it.
// Each phrase is weighed by documents, never by summed scores: with a of
// the n documents of the unit carrying it and b of the m other documents of
// the map (for a map: of the map above it),
//     score = (a/n)^2 * ln(min(3, (a/n) / ((b + 1/2) / (m + 1)))) * (3/4 + k/(4a)),
// k of the a naming the phrase itself in their key files (not only a longer
// phrase ending in it); no label where the unit carries it no more often
// than its surroundings, and none with a number in it ("200112L").
// Three times as often as around it is distinct enough; beyond that the
// share of the unit decides. A map with nothing around it (the top map)
// takes the phrases whose documents best tell its units apart: the sum over
// its units of (a_i/n) ln((a_i/a) / (n_i/n)), each of them with other
// documents than a better one's (four fifths alike: the same). A map's labels count all the
// documents under it, sub-maps included. Of phrases whose words hold one
// another, the longer one takes the place of the shorter when it is carried
// by four fifths as many documents, and of equals only the better is kept.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/result.h"
#include "labelsite/site_index.h"
#include "labelsite/site_order.h"
#include "labelsite/text_index.h"

namespace somlabel::labelsite {

// Labels kept per unit and per map (the table site-labels.tsv has them all),
// and shown on the site's pages.
inline constexpr size_t kSiteLabels = 10;
inline constexpr size_t kShownLabels = 5;

struct SiteLabel {
  uint32_t phrase = 0;  // of KeyPhrases
  uint32_t with = 0;    // documents of the unit or map that carry it
  double score = 0;
};

struct LabelList {
  std::vector<SiteLabel> labels;  // best first, at most kSiteLabels
  uint32_t documents = 0;         // of the unit or map
  uint32_t tied = 0;              // phrases as good as the last label, not kept

  // Phrases as good as the label at `shown` - 1 that are not among the first
  // `shown`: the "and N more" of a list cut there.
  [[nodiscard]] uint32_t more_after(size_t shown) const;
};

struct SiteLabels {
  std::vector<LabelList> units;  // per unit of the site index
  std::vector<LabelList> maps;   // per map
};

// A phrase held by one document only is a label of a one-document unit alone.
[[nodiscard]] SiteLabels site_labels(const SiteIndex& index, const MapTree& tree,
                                     const SiteOrder& order, const TextIndex& text,
                                     const KeyPhrases& phrases, unsigned threads);

// Writes `path`, one line per label, best first within each unit and map:
//   MAP<TAB>X<TAB>Y<TAB>RANK<TAB>PHRASE<TAB>STEMMED<TAB>DOCS_WITH<TAB>DOCS
// MAP the map's title, X and Y the unit ("-" for the map's own labels), RANK
// from 1. Tabs and line ends in a phrase become blanks. False after printing
// why.
[[nodiscard]] bool write_label_table(const std::string& path, const SiteIndex& index,
                                     const SiteLabels& labels, const KeyPhrases& phrases);

}  // namespace somlabel::labelsite
