#include "labelsite/site_labels.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <exception>
#include <string_view>
#include <thread>

#include "common/io.h"
#include "common/messages.h"

namespace somlabel::labelsite {
namespace {

// Candidates kept per unit and map before near-duplicates are dropped.
constexpr size_t kCandidates = 2 * kSiteLabels;

// Phrases handed to a thread at a time.
constexpr uint32_t kPhraseBlock = 256;

// How many times more often than around it a unit must carry a phrase for
// its share of the unit alone to decide: the rest is coverage.
constexpr double kEnoughLift = 3;

// A longer phrase carried by this share of a shorter one's documents takes
// its place.
constexpr double kLongerShare = 0.8;

// Of a top map's labels, a phrase whose documents are this share of a better
// one's (or the other way round) is left out.
constexpr double kSameDocuments = 0.8;

// How much of a phrase's weight depends on how many of the documents
// carrying it name it in their key files.
constexpr double kKeyedWeight = 0.25;

bool better(const SiteLabel& a, const SiteLabel& b) {
  if (a.score != b.score) return a.score > b.score;
  if (a.with != b.with) return a.with > b.with;
  return a.phrase < b.phrase;  // the phrases are in byte order
}

// The best kCandidates phrases offered, and how many of those not kept are
// as good as the worst kept one: a heap with the worst on top.
class Best {
 public:
  void offer(const SiteLabel& label) {
    if (heap_.size() < kCandidates) {
      heap_.push_back(label);
      std::push_heap(heap_.begin(), heap_.end(), better);
      return;
    }
    const double worst = heap_.front().score;
    if (!better(label, heap_.front())) {
      if (label.score == worst) ++tied_;
      return;
    }
    std::pop_heap(heap_.begin(), heap_.end(), better);
    heap_.back() = label;
    std::push_heap(heap_.begin(), heap_.end(), better);
    // The one pushed out is as good as the new worst, or everything left out is worse.
    tied_ = heap_.front().score == worst ? tied_ + 1 : 0;
  }

  void merge(const Best& other) {
    for (const SiteLabel& label : other.heap_) offer(label);
    if (other.heap_.size() == kCandidates && !heap_.empty() &&
        other.heap_.front().score == heap_.front().score) {
      tied_ += other.tied_;
    }
  }

  [[nodiscard]] std::vector<SiteLabel> sorted() const {
    std::vector<SiteLabel> labels = heap_;
    std::sort(labels.begin(), labels.end(), better);
    return labels;
  }
  [[nodiscard]] uint32_t tied() const { return tied_; }

 private:
  std::vector<SiteLabel> heap_;
  uint32_t tied_ = 0;
};

// Units and maps alike: units first, then maps.
struct Classes {
  std::vector<DocumentRange> range;
  std::vector<DocumentRange> around;  // what a class is weighed against
  std::vector<bool> has_around;
  std::vector<int> parent;  // the class that holds it: a unit's map, the unit a map expands
  std::vector<std::vector<DocumentRange>> parts;  // per map without surroundings: its units
};

Classes classes_of(const SiteIndex& index, const MapTree& tree, const SiteOrder& order) {
  const size_t units = index.units().size();
  Classes classes;
  classes.range = order.units;
  classes.range.insert(classes.range.end(), order.maps.begin(), order.maps.end());
  const DocumentRange all{0, static_cast<uint32_t>(order.documents.size())};
  for (size_t u = 0; u < units; ++u) {
    const auto map = static_cast<size_t>(index.units()[u].map);
    classes.around.push_back(order.maps[map]);
    classes.has_around.push_back(true);
    classes.parent.push_back(static_cast<int>(units + map));
  }
  classes.parts.resize(units + index.maps().size());
  for (size_t m = 0; m < index.maps().size(); ++m) {
    const int parent = tree.parent[m];
    classes.around.push_back(parent >= 0 ? order.maps[static_cast<size_t>(parent)] : all);
    classes.has_around.push_back(parent >= 0 || tree.roots.size() > 1);
    if (!classes.has_around.back()) {
      for (size_t u = 0; u < units; ++u) {
        if (index.units()[u].map == static_cast<int>(m))
          classes.parts[units + m].push_back(order.units[u]);
      }
    }
    const int above = order.unit_above[m];
    classes.parent.push_back(above >= 0    ? above
                             : parent >= 0 ? static_cast<int>(units) + parent
                                           : -1);
  }
  return classes;
}

uint32_t count_in(const std::vector<uint32_t>& documents, DocumentRange range) {
  const auto begin = std::lower_bound(documents.begin(), documents.end(), range.begin);
  return static_cast<uint32_t>(std::lower_bound(begin, documents.end(), range.end) - begin);
}

// How much the documents carrying a phrase tell the parts of a map apart:
// sum over parts of (a_i / n) ln((a_i / a) / (n_i / n)), with a_i of the n_i
// documents of part i carrying it, a of the map's n.
double information(const std::vector<uint32_t>& carriers, uint32_t documents,
                   const std::vector<DocumentRange>& parts) {
  uint32_t with = 0;
  for (const DocumentRange part : parts) with += count_in(carriers, part);
  double sum = 0;
  for (const DocumentRange part : parts) {
    const uint32_t part_with = count_in(carriers, part);
    if (part_with == 0) continue;
    sum += static_cast<double>(part_with) / documents *
           std::log(static_cast<double>(part_with) * documents /
                    (static_cast<double>(with) * part.size()));
  }
  return sum;
}

// `keyed` of the `with` documents carrying the phrase name it in their key
// files (the phrase itself, not a longer one ending in it): a phrase most of
// them name is their topic, not only words they hold.
double score(uint32_t with, uint32_t keyed, uint32_t documents, uint32_t around_with,
             uint32_t around) {
  const double share = static_cast<double>(with) / documents;
  const double elsewhere = (around_with + 0.5) / (around + 1.0);
  if (share <= elsewhere) return 0;
  return share * share * std::log(std::min(share / elsewhere, kEnoughLift)) *
         (1 - kKeyedWeight + kKeyedWeight * keyed / with);
}

// A number with a letter or two ("200112L", "1990s", "802.11"): it starts
// with a digit and has more digits than letters. It names a version or a
// constant, not what documents are about.
bool number_like(std::string_view word) {
  if (word.empty() || word[0] < '0' || word[0] > '9') return false;
  const auto digits =
      std::count_if(word.begin(), word.end(), [](char c) { return c >= '0' && c <= '9'; });
  const auto letters = std::count_if(word.begin(), word.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
           static_cast<unsigned char>(c) >= 0x80;
  });
  return digits > letters;
}

// Every word of `part` is one of `whole`.
bool within(const std::vector<std::string_view>& part, const std::vector<std::string_view>& whole) {
  return std::all_of(part.begin(), part.end(), [&](std::string_view word) {
    return std::find(whole.begin(), whole.end(), word) != whole.end();
  });
}

// The documents whose text holds every stemmed word of the phrase.
std::vector<uint32_t> carriers_of(const TextIndex& text, std::string_view stemmed) {
  std::vector<uint32_t> terms;
  for (const std::string_view word : words_of(stemmed)) {
    const int64_t term = text.term(word);
    if (term < 0) return {};
    terms.push_back(static_cast<uint32_t>(term));
  }
  if (terms.size() == 1) return text.postings[terms[0]].documents;
  return terms.empty() ? std::vector<uint32_t>{} : documents_with_all(text, terms);
}

// How many of the documents of `range` are in both `a` and `b`.
uint32_t common_in(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b,
                   DocumentRange range) {
  auto i = std::lower_bound(a.begin(), a.end(), range.begin);
  auto j = std::lower_bound(b.begin(), b.end(), range.begin);
  uint32_t common = 0;
  while (i != a.end() && j != b.end() && *i < range.end && *j < range.end) {
    if (*i == *j) ++common;
    if (*i <= *j)
      ++i;
    else
      ++j;
  }
  return common;
}

// The work of one thread: the phrases it is handed, offered to the units and
// maps whose documents have them in their key files.
class LabelCounter {
 public:
  LabelCounter(const Classes& classes, const TextIndex& text, const KeyPhrases& phrases,
               const std::vector<uint32_t>& key_first, const std::vector<uint32_t>& key_documents,
               const std::vector<uint8_t>& key_named, const std::vector<int>& unit_of)
      : classes_(classes),
        text_(text),
        phrases_(phrases),
        key_first_(key_first),
        key_documents_(key_documents),
        key_named_(key_named),
        unit_of_(unit_of),
        best_(classes.range.size()),
        seen_(classes.range.size(), UINT32_MAX) {}

  void count(uint32_t phrase) {
    std::vector<uint32_t> terms;
    for (const std::string_view word : words_of(phrases_.stemmed[phrase])) {
      if (number_like(word)) return;
      const int64_t term = text_.term(word);
      if (term < 0) return;  // no document's text holds it
      terms.push_back(static_cast<uint32_t>(term));
    }
    if (terms.empty()) return;
    std::vector<uint32_t> intersection;
    if (terms.size() > 1) intersection = documents_with_all(text_, terms);
    const std::vector<uint32_t>& carriers =
        terms.size() > 1 ? intersection : text_.postings[terms[0]].documents;
    offer_all(phrase, carriers);
  }

  std::vector<Best>& best() { return best_; }

 private:
  void offer_all(uint32_t phrase, const std::vector<uint32_t>& carriers) {
    for (uint32_t i = key_first_[phrase]; i < key_first_[phrase + 1]; ++i) {
      for (int c = unit_of_[key_documents_[i]]; c >= 0;
           c = classes_.parent[static_cast<size_t>(c)]) {
        const auto at = static_cast<size_t>(c);
        if (seen_[at] == phrase) break;  // and so is every class above it
        seen_[at] = phrase;
        offer(at, phrase, carriers, key_first_[phrase], key_first_[phrase + 1]);
      }
    }
  }

  // `key_begin` .. `key_end`: the documents naming the phrase in their key files.
  void offer(size_t c, uint32_t phrase, const std::vector<uint32_t>& carriers, uint32_t key_begin,
             uint32_t key_end) {
    const DocumentRange range = classes_.range[c];
    const uint32_t with = count_in(carriers, range);
    if (with == 0 || (with == 1 && range.size() > 1)) return;
    const auto keys = key_documents_.begin();
    const auto first = std::lower_bound(keys + key_begin, keys + key_end, range.begin) - keys;
    const auto last = std::lower_bound(keys + first, keys + key_end, range.end) - keys;
    uint32_t keyed = 0;
    for (auto i = first; i < last; ++i) keyed += key_named_[static_cast<size_t>(i)];
    const DocumentRange around = classes_.around[c];
    const double weight =
        classes_.has_around[c]
            ? score(with, std::min(keyed, with), range.size(), count_in(carriers, around) - with,
                    around.size() - range.size())
            : information(carriers, range.size(), classes_.parts[c]);
    if (weight > 0) best_[c].offer({phrase, with, weight});
  }

  const Classes& classes_;
  const TextIndex& text_;
  const KeyPhrases& phrases_;
  const std::vector<uint32_t>& key_first_;
  const std::vector<uint32_t>& key_documents_;
  const std::vector<uint8_t>& key_named_;  // per entry of key_documents_
  const std::vector<int>& unit_of_;
  std::vector<Best> best_;
  std::vector<uint32_t> seen_;  // per class: the phrase last offered to it
};

// The labels of one unit or map: the best candidates, less those whose words
// hold, or are held by, those of a better one carried by as many documents.
// For a map told apart by its units (`parts`, the top map), a phrase whose
// documents are mostly those of a better one says the same of the map
// ("libm", "Math library") and is left out, so that its labels name
// different parts of it.
LabelList choose(const Best& best, DocumentRange range, bool parts, const KeyPhrases& phrases,
                 const TextIndex& text) {
  LabelList list;
  const uint32_t documents = range.size();
  list.documents = documents;
  std::vector<SiteLabel> candidates = best.sorted();
  if (parts) {
    std::vector<SiteLabel> distinct;
    std::vector<std::vector<uint32_t>> kept;
    for (const SiteLabel& label : candidates) {
      std::vector<uint32_t> carriers = carriers_of(text, phrases.stemmed[label.phrase]);
      const bool same = std::any_of(kept.begin(), kept.end(), [&](const auto& other) {
        const uint32_t smaller = std::min(label.with, count_in(other, range));
        return common_in(carriers, other, range) >= kSameDocuments * smaller;
      });
      if (same) continue;
      distinct.push_back(label);
      kept.push_back(std::move(carriers));
    }
    candidates = std::move(distinct);
  }
  if (candidates.empty()) return list;
  // A longer phrase that holds a candidate's words and is carried by almost
  // as many documents says more: it takes the candidate's place.
  std::vector<SiteLabel> ranked = candidates;
  {
    std::vector<std::vector<std::string_view>> words;
    for (const SiteLabel& label : candidates)
      words.push_back(words_of(phrases.stemmed[label.phrase]));
    for (size_t i = 0; i < candidates.size(); ++i) {
      size_t longer = i;
      for (size_t j = 0; j < candidates.size(); ++j) {
        if (words[j].size() > words[i].size() && within(words[i], words[j]) &&
            candidates[j].with >= kLongerShare * candidates[i].with &&
            (longer == i || candidates[j].with > candidates[longer].with)) {
          longer = j;
        }
      }
      ranked[i].phrase = candidates[longer].phrase;
      ranked[i].with = candidates[longer].with;
    }
  }
  std::vector<std::vector<std::string_view>> kept_words;
  uint32_t left_out = 0;  // for want of room
  for (const SiteLabel& label : ranked) {
    if (list.labels.size() == kSiteLabels) {
      left_out += label.score == list.labels.back().score ? 1 : 0;
      continue;
    }
    const std::vector<std::string_view> words = words_of(phrases.stemmed[label.phrase]);
    bool same = false;
    for (size_t k = 0; k < kept_words.size() && !same; ++k) {
      same = list.labels[k].with == label.with &&
             (within(words, kept_words[k]) || within(kept_words[k], words));
    }
    if (same) continue;
    list.labels.push_back(label);
    kept_words.push_back(words);
  }
  // Those the candidates left out are as good as the worst candidate.
  const bool worst_kept =
      !parts && !list.labels.empty() && list.labels.back().score == candidates.back().score;
  list.tied = left_out + (worst_kept ? best.tied() : 0);
  return list;
}

}  // namespace

uint32_t LabelList::more_after(size_t shown) const {
  if (shown == 0 || labels.size() < shown) return 0;
  const double cut = labels[shown - 1].score;
  uint32_t more = 0;
  for (size_t i = shown; i < labels.size(); ++i) more += labels[i].score == cut ? 1 : 0;
  return more + (labels.back().score == cut ? tied : 0);
}

SiteLabels site_labels(const SiteIndex& index, const MapTree& tree, const SiteOrder& order,
                       const TextIndex& text, const KeyPhrases& phrases, unsigned threads) {
  const Classes classes = classes_of(index, tree, order);
  // Which documents have each phrase in their key file, and each document's unit.
  std::vector<uint32_t> key_first(phrases.size() + 1, 0);
  for (const uint32_t phrase : phrases.phrases) ++key_first[phrase + 1];
  for (size_t p = 1; p < key_first.size(); ++p) key_first[p] += key_first[p - 1];
  std::vector<uint32_t> key_documents(phrases.phrases.size());
  std::vector<uint8_t> key_named(phrases.phrases.size());
  std::vector<uint32_t> next(key_first.begin(), key_first.end() - 1);
  for (uint32_t d = 0; d + 1 < phrases.first.size(); ++d) {
    for (uint32_t i = phrases.first[d]; i < phrases.first[d + 1]; ++i) {
      key_named[next[phrases.phrases[i]]] = phrases.named[i];
      key_documents[next[phrases.phrases[i]]++] = d;
    }
  }
  std::vector<int> unit_of(order.documents.size());
  for (size_t d = 0; d < order.documents.size(); ++d) {
    unit_of[d] = index.documents()[order.documents[d]].unit;
  }

  threads = std::max(1u, threads);
  std::vector<LabelCounter> counters;
  for (unsigned t = 0; t < threads; ++t) {
    counters.emplace_back(classes, text, phrases, key_first, key_documents, key_named, unit_of);
  }
  std::atomic<uint32_t> next_block = 0;
  std::vector<std::exception_ptr> thrown(threads);
  {
    std::vector<std::jthread> workers;
    for (unsigned t = 0; t < threads; ++t) {
      workers.emplace_back([&, t] {
        try {
          for (size_t block; (block = next_block++) * size_t{kPhraseBlock} < phrases.size();) {
            const auto end = std::min<size_t>(phrases.size(), (block + 1) * size_t{kPhraseBlock});
            for (size_t p = block * kPhraseBlock; p < end; ++p) {
              counters[t].count(static_cast<uint32_t>(p));
            }
          }
        } catch (...) {
          thrown[t] = std::current_exception();
          next_block = UINT32_MAX / kPhraseBlock;
        }
      });
    }
  }
  for (const std::exception_ptr& exception : thrown) {
    if (exception) std::rethrow_exception(exception);
  }
  std::vector<Best>& best = counters[0].best();
  for (unsigned t = 1; t < threads; ++t) {
    for (size_t c = 0; c < best.size(); ++c) best[c].merge(counters[t].best()[c]);
  }
  SiteLabels labels;
  const size_t units = index.units().size();
  for (size_t c = 0; c < best.size(); ++c) {
    (c < units ? labels.units : labels.maps)
        .push_back(choose(best[c], classes.range[c], !classes.parts[c].empty(), phrases, text));
  }
  return labels;
}

namespace {

void append_field(std::string& line, std::string_view text) {
  for (const char c : text) line.push_back(c == '\t' || c == '\n' || c == '\r' ? ' ' : c);
}

void append_list(std::string& out, std::string_view map, const std::string& x, const std::string& y,
                 const LabelList& list, const KeyPhrases& phrases) {
  for (size_t rank = 0; rank < list.labels.size(); ++rank) {
    const SiteLabel& label = list.labels[rank];
    append_field(out, map);
    out.append("\t" + x + "\t" + y + "\t" + std::to_string(rank + 1) + "\t");
    append_field(out, phrases.surface[label.phrase]);
    out.push_back('\t');
    append_field(out, phrases.stemmed[label.phrase]);
    out.append("\t" + std::to_string(label.with) + "\t" + std::to_string(list.documents) + "\n");
  }
}

}  // namespace

bool write_label_table(const std::string& path, const SiteIndex& index, const SiteLabels& labels,
                       const KeyPhrases& phrases) {
  File file;
  if (!file.create(path)) {
    say("cannot write %s: %s", path.c_str(), errno_text().c_str());
    return false;
  }
  std::string out;
  size_t unit = 0;
  for (size_t m = 0; m < index.maps().size(); ++m) {
    const std::string& map = index.maps()[m].title;
    append_list(out, map, "-", "-", labels.maps[m], phrases);
    for (; unit < index.units().size() && index.units()[unit].map == static_cast<int>(m); ++unit) {
      const SiteUnit& site_unit = index.units()[unit];
      append_list(out, map, std::to_string(site_unit.x), std::to_string(site_unit.y),
                  labels.units[unit], phrases);
    }
    if (out.size() >= (size_t{1} << 20)) {
      put(file.get(), out);
      out.clear();
    }
  }
  put(file.get(), out);
  if (const Result<Reason> closed = file.close(); !closed) {
    say("%s", closed.message().c_str());
    return false;
  }
  return true;
}

}  // namespace somlabel::labelsite
