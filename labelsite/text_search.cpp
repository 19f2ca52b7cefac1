#include "labelsite/text_search.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numeric>

#include "labelsite/search_slices.h"
#include "labelsite/web_text.h"

namespace somlabel::labelsite {
namespace {

// A weight in 63ths of the term's greatest, at least 1: every document that
// holds the term counts.
uint8_t weight_level(double weight, double top) {
  return static_cast<uint8_t>(std::clamp(std::lround(63 * weight / top), 1L, 63L));
}

// The documents at positions `picked` of the list (ascending) with their weights.
std::string list_of(const PostingList& list, const std::vector<uint8_t>& levels,
                    const std::vector<uint32_t>& picked) {
  std::string out;
  uint32_t next = 0;  // the least number the next document can have
  for (const uint32_t i : picked) {
    append_varint_digits(out, list.documents[i] - next);
    out.push_back(kVarintDigits[levels[i]]);
    next = list.documents[i] + 1;
  }
  return out;
}

std::string bitmap_of(const PostingList& list) {
  std::string bits(list.documents.back() / 6 + 1, 0);
  for (const uint32_t document : list.documents)
    bits[document / 6] |= static_cast<char>(1 << (document % 6));
  for (char& c : bits) c = kVarintDigits[static_cast<size_t>(c)];
  return bits;
}

void append_entry_head(std::string& out, uint32_t documents, double top) {
  char number[32];
  std::snprintf(number, sizeof number, "[%u,%.6g,\"", documents, top);
  out.append(number);
}

}  // namespace

void append_varint_digits(std::string& out, uint32_t value) {
  do {
    const uint32_t digit = value & 31;
    value >>= 5;
    out.push_back(kVarintDigits[digit | (value != 0 ? 32 : 0)]);
  } while (value != 0);
}

double bm25_weight(uint32_t count, uint32_t length, double mean_length, uint32_t with,
                   uint32_t documents) {
  const double idf = std::log(1 + (documents - with + 0.5) / (with + 0.5));
  const double relative = mean_length > 0 ? length / mean_length : 1;
  return idf * count * (kBm25K1 + 1) / (count + kBm25K1 * (1 - kBm25B + kBm25B * relative));
}

std::string term_entry(const PostingList& list, const std::vector<uint32_t>& lengths,
                       double mean_length) {
  const uint32_t with = list.size();
  const auto documents = static_cast<uint32_t>(lengths.size());
  std::vector<double> weights(with);
  for (uint32_t i = 0; i < with; ++i) {
    weights[i] =
        bm25_weight(list.counts[i], lengths[list.documents[i]], mean_length, with, documents);
  }
  const double top = with == 0 ? 1 : *std::max_element(weights.begin(), weights.end());
  std::vector<uint8_t> levels(with);
  for (uint32_t i = 0; i < with; ++i) levels[i] = weight_level(weights[i], top);
  std::vector<uint32_t> all(with);
  std::iota(all.begin(), all.end(), 0);
  std::string entry;
  append_entry_head(entry, with, top);
  const std::string listed = list_of(list, levels, all);
  if (with <= kBestOfBitmap || list.documents.back() / 6 + 1 + 3 * kBestOfBitmap >= listed.size()) {
    entry.append(listed).append("\"]");
    return entry;
  }
  // The best documents by weight (of equals, the first), in their order.
  std::vector<uint32_t> best = all;
  std::partial_sort(best.begin(), best.begin() + kBestOfBitmap, best.end(),
                    [&](uint32_t a, uint32_t b) {
                      return levels[a] != levels[b] ? levels[a] > levels[b] : a < b;
                    });
  best.resize(kBestOfBitmap);
  std::sort(best.begin(), best.end());
  double rest = 0;
  for (uint32_t i = 0, b = 0; i < with; ++i) {
    if (b < best.size() && best[b] == i) {
      ++b;
    } else {
      rest += weights[i];
    }
  }
  rest /= with - kBestOfBitmap;
  entry.append(bitmap_of(list)).append("\",\"").append(list_of(list, levels, best));
  entry.append("\",").append(std::to_string(weight_level(rest, top))).append("]");
  return entry;
}

namespace {

bool write_terms(Site& site, const TextIndex& text, std::vector<uint32_t>& sizes,
                 TextSearchFiles& files) {
  double mean_length = 0;
  for (const uint32_t length : text.lengths) mean_length += length;
  if (!text.lengths.empty()) mean_length /= static_cast<double>(text.lengths.size());
  SearchSlices slices(site, 't');
  for (size_t term = 0; term < text.postings.size(); ++term) {
    PageText* out = slices.next(std::to_string(term));
    if (out == nullptr) return false;
    const std::string entry = term_entry(text.postings[term], text.lengths, mean_length);
    out->append(entry);
    sizes.push_back(static_cast<uint32_t>(entry.size()));
  }
  if (!slices.finish()) return false;
  for (const std::string& first : slices.firsts()) {
    files.term_firsts.push_back(static_cast<uint32_t>(std::stoul(first)));
  }
  return true;
}

// The words as written, and each stem no document writes as it is: typing a
// stem finds its term too.
std::vector<std::pair<std::string_view, uint32_t>> lookup_words(const TextIndex& text) {
  std::vector<std::pair<std::string_view, uint32_t>> words;
  for (const auto& [form, term] : text.forms) words.emplace_back(form, term);
  const size_t forms = words.size();
  for (uint32_t term = 0; term < text.stems.size(); ++term) {
    const std::string_view stem = text.stems[term];
    const auto at =
        std::lower_bound(words.begin(), words.begin() + static_cast<std::ptrdiff_t>(forms),
                         std::pair(stem, uint32_t{0}));
    if (at == words.begin() + static_cast<std::ptrdiff_t>(forms) || at->first != stem) {
      words.emplace_back(stem, term);
    }
  }
  std::sort(words.begin(), words.end());
  return words;
}

bool write_words(Site& site, const TextIndex& text, const std::vector<uint32_t>& sizes,
                 TextSearchFiles& files) {
  SearchSlices slices(site, 'w');
  for (const auto& [word, term] : lookup_words(text)) {
    PageText* out = slices.next(word);
    if (out == nullptr) return false;
    out->append("[");
    append_js_string(*out, word);
    out->append(",0");  // the key: the word itself
    for (const uint32_t value : {term, text.postings[term].size(), sizes[term]}) {
      out->append(",");
      append_number(*out, value);
    }
    out->append("]");
  }
  if (!slices.finish()) return false;
  files.word_firsts = slices.firsts();
  return true;
}

bool write_documents(Site& site, const SiteOrder& order) {
  const SiteIndex& index = site.index();
  SearchSlices slices(site, 'i', kDocumentsPerSlice);
  for (const uint32_t document : order.documents) {
    const SiteDocument& entry = index.documents()[document];
    PageText* out = slices.next({});
    if (out == nullptr) return false;
    const std::string_view name = index.name(entry);
    const SiteUnit& unit = index.units()[static_cast<size_t>(entry.unit)];
    out->append("[");
    append_js_string(*out, name);
    for (const int value : {unit.map, unit.x, unit.y}) {
      out->append(",");
      append_number(*out, value);
    }
    if (!is_valid_utf8(name)) {  // the script cannot make the link from the text
      PageText link;
      append_link_part(link, name);
      out->append(",");
      append_js_string(*out, link.view());
    }
    out->append("]");
  }
  return slices.finish();
}

}  // namespace

bool write_text_search(Site& site, const SiteOrder& order, const TextIndex& text,
                       TextSearchFiles& files) {
  std::vector<uint32_t> sizes;
  return write_terms(site, text, sizes, files) && write_words(site, text, sizes, files) &&
         write_documents(site, order);
}

}  // namespace somlabel::labelsite
