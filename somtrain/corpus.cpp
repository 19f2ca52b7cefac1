#include "somtrain/corpus.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <system_error>
#include <unordered_map>

#include "text/stemmer.h"
#include "text/stopwords.h"
#include "text/tokenizer.h"

namespace somtrain {
namespace {

constexpr std::size_t kMinWordBytes = 2;

struct StemStats {
  int document_frequency = 0;
  std::map<std::string, long> forms;  // lower-cased surface form -> occurrences
};

// Stem -> count for one text; fills the corpus-wide statistics as it goes.
std::map<std::string, std::uint32_t> count_stems(
    const std::string& text, text::Language language, text::Stemmer& stemmer,
    std::unordered_map<std::string, StemStats>& stats) {
  std::map<std::string, std::uint32_t> counts;
  for (const text::Token& token : text::tokenize(text)) {
    if (token.is_number) continue;
    const std::string word = text::lower(token.text);
    if (word.size() < kMinWordBytes || text::is_stopword(language, word)) continue;
    std::string stem(stemmer.stem(word));
    ++stats[stem].forms[word];
    ++counts[std::move(stem)];
  }
  for (const auto& entry : counts) ++stats[entry.first].document_frequency;
  return counts;
}

std::string most_frequent_form(const std::map<std::string, long>& forms) {
  auto best = forms.begin();  // map order: the smaller form wins a tie
  for (auto it = forms.begin(); it != forms.end(); ++it) {
    if (it->second > best->second) best = it;
  }
  return best->first;
}

std::vector<std::string> choose_stems(const std::unordered_map<std::string, StemStats>& stats,
                                      std::size_t document_count, const VocabularyLimits& limits) {
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

Corpus build_corpus(const std::vector<DocumentText>& texts, const VocabularyLimits& limits,
                    text::Language language) {
  text::Stemmer stemmer(language);
  std::unordered_map<std::string, StemStats> stats;
  std::vector<std::map<std::string, std::uint32_t>> counts;
  counts.reserve(texts.size());
  for (const DocumentText& text : texts) {
    counts.push_back(count_stems(text.text, language, stemmer, stats));
  }

  Corpus corpus;
  corpus.stems = choose_stems(stats, texts.size(), limits);
  std::unordered_map<std::string, std::uint32_t> index;
  for (std::uint32_t i = 0; i < corpus.stems.size(); ++i) {
    index.emplace(corpus.stems[i], i);
    corpus.labels.push_back(most_frequent_form(stats.at(corpus.stems[i]).forms));
  }
  for (std::size_t d = 0; d < texts.size(); ++d) {
    Document document{texts[d].name, {}};
    for (const auto& [stem, count] : counts[d]) {  // stem order is term-index order
      auto found = index.find(stem);
      if (found != index.end()) document.terms.push_back({found->second, count});
    }
    corpus.documents.push_back(std::move(document));
  }
  return corpus;
}

bool list_documents(const std::string& dir, std::vector<std::string>& names,
                    std::vector<std::string>& skipped, std::string& error) {
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::directory_iterator it(dir, ec);
  for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
    const std::string name = it->path().filename().string();
    std::error_code type_ec;
    const bool regular = it->is_regular_file(type_ec);
    if (name.starts_with('.')) continue;
    const bool blank = name.find_first_of(" \t\n\r\v\f") != std::string::npos;
    if (!regular || blank) {
      skipped.push_back(name);
      continue;
    }
    names.push_back(name);
  }
  if (ec) {
    error = ec.message();
    return false;
  }
  std::sort(names.begin(), names.end());
  std::sort(skipped.begin(), skipped.end());
  return true;
}

}  // namespace somtrain
