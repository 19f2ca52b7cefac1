#include "somtrain/corpus.h"

#include <algorithm>
#include <map>
#include <unordered_map>

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

Corpus build_corpus(const std::vector<DocumentText>& texts, const VocabularyLimits& limits,
                    text::Language language) {
  text::Stemmer stemmer(language);
  StemTable table;
  std::vector<StemCounts> counts;
  counts.reserve(texts.size());
  for (const DocumentText& text : texts)
    counts.push_back(count_stems(text.text, language, stemmer, table));

  Vocabulary vocabulary = choose_vocabulary(table, texts.size(), limits);
  Corpus corpus{{}, std::move(vocabulary.stems), std::move(vocabulary.labels)};
  std::unordered_map<std::string, std::uint32_t> index;
  for (std::uint32_t i = 0; i < corpus.stems.size(); ++i) index.emplace(corpus.stems[i], i);
  for (std::size_t d = 0; d < texts.size(); ++d) {
    corpus.documents.push_back(Document{texts[d].name, term_counts(counts[d], index)});
  }
  return corpus;
}

}  // namespace somlabel::somtrain
