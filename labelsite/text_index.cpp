#include "labelsite/text_index.h"

#include <algorithm>

namespace somlabel::labelsite {
namespace {

// Keeps the documents of `kept` that `list` holds; both ascending. Gallops
// through the longer list, so a rare word costs little against a common one.
void keep_common(std::vector<uint32_t>& kept, const std::vector<uint32_t>& list) {
  size_t out = 0;
  auto from = list.begin();
  for (const uint32_t document : kept) {
    size_t step = 1;
    auto to = from;
    while (to != list.end() && *to < document) {
      from = to;
      to = static_cast<size_t>(list.end() - to) > step ? to + static_cast<std::ptrdiff_t>(step)
                                                       : list.end();
      step *= 2;
    }
    from = std::lower_bound(from, to, document);
    if (from == list.end()) break;
    if (*from == document) kept[out++] = document;
  }
  kept.resize(out);
}

}  // namespace

int64_t TextIndex::term(std::string_view stem) const {
  const auto found = std::lower_bound(stems.begin(), stems.end(), stem);
  return found != stems.end() && *found == stem ? found - stems.begin() : -1;
}

std::vector<uint32_t> documents_with_all(const TextIndex& index,
                                         const std::vector<uint32_t>& terms) {
  if (terms.empty()) return {};
  std::vector<const std::vector<uint32_t>*> lists;
  for (const uint32_t term : terms) lists.push_back(&index.postings[term].documents);
  std::sort(lists.begin(), lists.end(), [](auto* a, auto* b) { return a->size() < b->size(); });
  std::vector<uint32_t> kept = *lists.front();
  for (size_t i = 1; i < lists.size() && !kept.empty(); ++i) keep_common(kept, *lists[i]);
  return kept;
}

std::vector<std::string_view> words_of(std::string_view phrase) {
  std::vector<std::string_view> words;
  for (size_t at = 0; at < phrase.size();) {
    const size_t end = std::min(phrase.find(' ', at), phrase.size());
    if (end > at) words.push_back(phrase.substr(at, end - at));
    at = end + 1;
  }
  return words;
}

}  // namespace somlabel::labelsite
