#include "somtrain/corpus.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <unordered_map>

#include "common/messages.h"
#include "common/parallel.h"
#include "text/stemmer.h"
#include "text/stopwords.h"
#include "text/tokenizer.h"

namespace somlabel::somtrain {
namespace {

constexpr std::size_t kMinWordBytes = 2;

std::string most_frequent_form(const std::map<std::string, long>& forms) {
  auto best = forms.begin();  // map order: the smaller form wins a tie
  for (auto it = forms.begin(); it != forms.end(); ++it) {
    if (it->second > best->second) best = it;
  }
  return best->first;
}

std::vector<std::string> choose_stems(const StemTable& stats, std::size_t document_count,
                                      const VocabularyLimits& limits) {
  std::vector<std::pair<int, std::string>> candidates;
  const double max_df = limits.max_df_share * static_cast<double>(document_count);
  for (const auto& [stem, stat] : stats) {
    if (stat.document_frequency < limits.min_df) continue;
    if (static_cast<double>(stat.document_frequency) > max_df) continue;
    candidates.emplace_back(stat.document_frequency, stem);
  }
  std::sort(candidates.begin(), candidates.end(), [](const auto& a, const auto& b) {
    return a.first != b.first ? a.first > b.first : a.second < b.second;
  });
  if (limits.max_terms >= 0 && candidates.size() > static_cast<std::size_t>(limits.max_terms)) {
    candidates.resize(static_cast<std::size_t>(limits.max_terms));
  }
  std::vector<std::string> stems;
  for (auto& candidate : candidates) stems.push_back(std::move(candidate.second));
  std::sort(stems.begin(), stems.end());
  return stems;
}

}  // namespace

StemCounts count_stems(std::string_view text, text::Language language, text::Stemmer& stemmer,
                       StemTable& table) {
  StemCounts counts;
  for (const text::Token& token : text::tokenize(text)) {
    if (token.is_number) continue;
    const std::string word = text::lower(token.text);
    if (word.size() < kMinWordBytes || text::is_stopword(language, word)) continue;
    std::string stem(stemmer.stem(word));
    ++table[stem].forms[word];
    ++counts[std::move(stem)];
  }
  for (const auto& entry : counts) ++table[entry.first].document_frequency;
  return counts;
}

Vocabulary choose_vocabulary(const StemTable& table, std::size_t documents,
                             const VocabularyLimits& limits) {
  Vocabulary vocabulary;
  vocabulary.stems = choose_stems(table, documents, limits);
  for (const std::string& stem : vocabulary.stems) {
    vocabulary.labels.push_back(most_frequent_form(table.at(stem).forms));
  }
  return vocabulary;
}

std::vector<TermCount> term_counts(const StemCounts& counts,
                                   const std::unordered_map<std::string, std::uint32_t>& index) {
  std::vector<TermCount> terms;
  for (const auto& [stem, count] : counts) {
    auto found = index.find(stem);
    if (found != index.end()) terms.push_back({found->second, count});
  }
  return terms;
}

StemCounter::StemCounter(text::Language language) : language_(language), stemmer_(language) {}

std::uint32_t StemCounter::stem_id(const std::string& lowered) {
  const std::string_view stem = stemmer_.stem(lowered);
  if (auto found = stem_ids_.find(stem); found != stem_ids_.end()) return found->second;
  const auto id = static_cast<std::uint32_t>(stems_.size());
  stems_.emplace_back(stem);
  stem_ids_.emplace(stems_.back(), id);
  document_frequency_.push_back(0);
  in_text_.push_back(0);
  return id;
}

std::uint32_t StemCounter::form_id(std::string lowered) {
  auto [known, added] =
      forms_by_name_.try_emplace(lowered, static_cast<std::uint32_t>(forms_.size()));
  if (added) {
    form_stems_.push_back(stem_id(lowered));
    forms_.emplace_back(std::move(lowered), 0);
    in_form_.push_back(0);
  }
  return known->second;
}

void StemCounter::add(std::uint32_t form, std::uint32_t occurrences,
                      std::vector<std::uint32_t>& touched,
                      std::vector<std::uint32_t>& touched_forms) {
  forms_[form].second += occurrences;
  const std::uint32_t stem = form_stems_[form];
  if (in_text_[stem] == 0) touched.push_back(stem);
  in_text_[stem] += occurrences;
  if (in_form_[form] == 0) touched_forms.push_back(form);
  in_form_[form] += occurrences;
}

StemCounter::Counts StemCounter::finish(std::vector<std::uint32_t>& touched,
                                        std::vector<std::uint32_t>& touched_forms) {
  std::sort(touched.begin(), touched.end());
  Counts counts;
  counts.reserve(touched.size());
  for (std::uint32_t stem : touched) {
    counts.emplace_back(stem, in_text_[stem]);
    in_text_[stem] = 0;
    ++document_frequency_[stem];
  }
  std::sort(touched_forms.begin(), touched_forms.end());
  last_forms_.clear();
  for (std::uint32_t form : touched_forms) {
    last_forms_.emplace_back(form, in_form_[form]);
    in_form_[form] = 0;
  }
  return counts;
}

StemCounter::Counts StemCounter::count(std::string_view text) {
  std::vector<std::uint32_t> touched, touched_forms;
  for (const text::Token& token : text::tokenize(text)) {
    auto word = words_.find(token.text);
    if (word == words_.end()) {
      Form form;
      std::string lowered = token.is_number ? std::string() : text::lower(token.text);
      if (lowered.size() >= kMinWordBytes && !text::is_stopword(language_, lowered)) {
        const std::uint32_t id = form_id(std::move(lowered));
        form = {form_stems_[id], id};
      }
      word = words_.emplace(std::string(token.text), form).first;
    }
    const Form& form = word->second;
    if (form.stem == kSkipped) continue;
    add(form.form, 1, touched, touched_forms);
  }
  return finish(touched, touched_forms);
}

StemCounter::Counts StemCounter::count(const FormCounts& pairs,
                                       const std::vector<std::string_view>& forms) {
  std::vector<std::uint32_t> touched, touched_forms;
  for (const auto& [form, occurrences] : pairs)
    add(form_id(std::string(forms[form])), occurrences, touched, touched_forms);
  return finish(touched, touched_forms);
}

void StemCounter::add_to(StemTable& table) const {
  for (std::size_t id = 0; id < stems_.size(); ++id)
    table[stems_[id]].document_frequency += document_frequency_[id];
  for (std::size_t f = 0; f < forms_.size(); ++f)
    table[stems_[form_stems_[f]]].forms[forms_[f].first] += forms_[f].second;
}

namespace {

// A document's counts between reading and the vocabulary, a few bytes a
// stem: each id's distance to the one before and its count, 7 bits a byte.
void append_varint(std::string& out, std::uint32_t value) {
  while (value >= 0x80) {
    out += static_cast<char>((value & 0x7f) | 0x80);
    value >>= 7;
  }
  out += static_cast<char>(value);
}

std::uint32_t read_varint(std::string_view& in) {
  std::uint32_t value = 0;
  for (int shift = 0; !in.empty(); shift += 7) {
    const auto byte = static_cast<unsigned char>(in.front());
    in.remove_prefix(1);
    value |= static_cast<std::uint32_t>(byte & 0x7f) << shift;
    if (byte < 0x80) break;
  }
  return value;
}

std::string encoded(const FormCounts& forms) {
  std::string out;
  std::uint32_t last = 0;
  for (const auto& [form, count] : forms) {
    append_varint(out, form - last);
    append_varint(out, count);
    last = form;
  }
  return out;
}

FormCounts decoded(std::string_view in) {
  FormCounts forms;
  for (std::uint32_t form = 0; !in.empty();) {
    form += read_varint(in);
    forms.emplace_back(form, read_varint(in));
  }
  return forms;
}

// The counts file of a run: every counter's forms in one ascending list, and
// each document's forms by their place in it.
std::string counts_file(const std::vector<StemCounter>& counters, text::Language language,
                        const std::vector<std::string>& names, const std::vector<char>& outcome,
                        const std::vector<std::string>& counts,
                        const std::vector<std::uint16_t>& counted_by,
                        const std::vector<FileStamp>& stamps, const std::vector<char>& cut) {
  std::vector<std::string> forms;
  for (const StemCounter& counter : counters) {
    for (std::uint32_t f = 0; f < counter.forms(); ++f) forms.push_back(counter.form(f));
  }
  std::sort(forms.begin(), forms.end());
  forms.erase(std::unique(forms.begin(), forms.end()), forms.end());
  std::vector<std::vector<std::uint32_t>> global(counters.size());  // per counter: id -> place
  for (std::size_t t = 0; t < counters.size(); ++t) {
    for (std::uint32_t f = 0; f < counters[t].forms(); ++f) {
      const auto place = std::lower_bound(forms.begin(), forms.end(), counters[t].form(f));
      global[t].push_back(static_cast<std::uint32_t>(place - forms.begin()));
    }
  }
  CountsCacheWriter writer(text::language_name(language), forms);
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (outcome[i] != 1) continue;
    FormCounts pairs = decoded(counts[i]);
    for (auto& pair : pairs) pair.first = global[counted_by[i]][pair.first];
    std::sort(pairs.begin(), pairs.end());
    writer.add(names[i], stamps[i], cut[i] != 0, pairs);
  }
  return writer.bytes();
}

}  // namespace

bool build_corpus(const std::vector<std::string>& names, const TextSource& source,
                  const VocabularyLimits& limits, text::Language language, int jobs, Corpus& corpus,
                  const CountsCache* earlier, std::string* counted) {
  const std::size_t n = names.size();
  const auto threads = static_cast<unsigned>(std::max(jobs, 1));
  std::vector<StemCounter> counters;
  for (unsigned t = 0; t < threads; ++t) counters.emplace_back(language);
  std::vector<std::string> counts(n), messages(n);
  std::vector<std::uint16_t> counted_by(n, 0);
  std::vector<char> outcome(n, 0);  // 0 passed over, 1 a document, 2 could not be read
  std::vector<FileStamp> stamps(counted ? n : 0);
  std::vector<char> cut(counted ? n : 0, 0);
  somlabel::parallel_for(n, threads, [&](std::size_t i, unsigned worker) {
    SourceText text;
    source(i, text);
    messages[i] = std::move(text.message);
    if (text.failed || !text.is_document) {
      outcome[i] = text.failed ? 2 : 0;
      return;
    }
    StemCounter& counter = counters[worker];
    if (text.counted && earlier) {
      (void)counter.count(CountsCache::decode(text.counted->pairs), earlier->forms());
    } else {
      (void)counter.count(text.text);
    }
    counts[i] = encoded(counter.last_forms());
    counted_by[i] = static_cast<std::uint16_t>(worker);
    outcome[i] = 1;
    if (counted) {
      stamps[i] = text.stamp;
      cut[i] = text.cut ? 1 : 0;
    }
  });
  std::size_t documents = 0;
  for (std::size_t i = 0; i < n; ++i) {
    if (!messages[i].empty()) say("%s", messages[i].c_str());
    if (outcome[i] == 2) return false;
    documents += outcome[i] == 1 ? 1 : 0;
  }
  if (counted)
    *counted = counts_file(counters, language, names, outcome, counts, counted_by, stamps, cut);
  StemTable table;
  for (const StemCounter& counter : counters) counter.add_to(table);
  Vocabulary vocabulary = choose_vocabulary(table, documents, limits);
  table.clear();
  corpus = Corpus{{}, std::move(vocabulary.stems), std::move(vocabulary.labels)};
  std::unordered_map<std::string_view, std::uint32_t> index;
  for (std::uint32_t i = 0; i < corpus.stems.size(); ++i) index.emplace(corpus.stems[i], i);
  constexpr std::uint32_t kNoTerm = ~std::uint32_t{0};
  // Per counter: its form id -> term.
  std::vector<std::vector<std::uint32_t>> terms_of(threads);
  for (unsigned t = 0; t < threads; ++t) {
    for (std::uint32_t f = 0; f < counters[t].forms(); ++f) {
      const auto found = index.find(counters[t].stem(counters[t].form_stem(f)));
      terms_of[t].push_back(found == index.end() ? kNoTerm : found->second);
    }
  }
  std::vector<std::size_t> position(n, 0);
  for (std::size_t i = 0, p = 0; i < n; ++i) {
    if (outcome[i] == 1) position[i] = p++;
  }
  corpus.documents.resize(documents);
  somlabel::parallel_for(n, threads, [&](std::size_t i, unsigned) {
    if (outcome[i] != 1) return;
    Document& document = corpus.documents[position[i]];
    document.name = names[i];
    std::string_view in = counts[i];
    const std::vector<std::uint32_t>& terms = terms_of[counted_by[i]];
    for (std::uint32_t form = 0; !in.empty();) {
      form += read_varint(in);
      const std::uint32_t count = read_varint(in);
      if (terms[form] != kNoTerm) document.terms.push_back({terms[form], count});
    }
    // Forms of one stem add up to one term.
    std::sort(document.terms.begin(), document.terms.end(),
              [](const TermCount& a, const TermCount& b) { return a.term < b.term; });
    std::size_t kept = 0;
    for (std::size_t k = 0; k < document.terms.size(); ++k) {
      if (kept > 0 && document.terms[kept - 1].term == document.terms[k].term) {
        document.terms[kept - 1].count += document.terms[k].count;
      } else {
        document.terms[kept++] = document.terms[k];
      }
    }
    document.terms.resize(kept);
    std::string().swap(counts[i]);
  });
  return true;
}

Corpus build_corpus(const std::vector<DocumentText>& texts, const VocabularyLimits& limits,
                    text::Language language) {
  std::vector<std::string> names;
  for (const DocumentText& text : texts) names.push_back(text.name);
  Corpus corpus;
  const bool built = build_corpus(
      names, [&](std::size_t i, SourceText& source) { source.text = texts[i].text; }, limits,
      language, 1, corpus);
  (void)built;  // texts in memory are always read
  return corpus;
}

}  // namespace somlabel::somtrain
