#include "somtrain/tfidf.h"

#include <cmath>

namespace somlabel::somtrain {

double SparseVector::squared_norm() const {
  double sum = 0.0;
  for (double v : value) sum += v * v;
  return sum;
}

void DocumentFrequencies::add(const std::vector<TermCount>& terms) {
  for (const TermCount& tc : terms) ++per_term[tc.term];
  ++documents;
}

SparseVector tfidf_vector(const std::vector<TermCount>& terms,
                          const DocumentFrequencies& frequencies) {
  const double n = static_cast<double>(frequencies.documents);
  SparseVector vector;
  for (const TermCount& tc : terms) {
    const double idf = std::log(n / frequencies.per_term[tc.term]);
    if (idf <= 0.0 || tc.count == 0) continue;
    vector.index.push_back(tc.term);
    vector.value.push_back((1.0 + std::log(static_cast<double>(tc.count))) * idf);
  }
  const double norm = std::sqrt(vector.squared_norm());
  if (norm > 0.0) {
    for (double& v : vector.value) v /= norm;
  }
  return vector;
}

LocalTerms local_terms(const DocumentFrequencies& frequencies) {
  LocalTerms local{{}, std::vector<std::int32_t>(frequencies.per_term.size(), -1)};
  const auto n = static_cast<int>(frequencies.documents);
  for (std::size_t t = 0; t < frequencies.per_term.size(); ++t) {
    if (frequencies.per_term[t] == 0 || frequencies.per_term[t] >= n) continue;
    local.local[t] = static_cast<std::int32_t>(local.terms.size());
    local.terms.push_back(static_cast<std::uint32_t>(t));
  }
  return local;
}

void to_local(SparseVector& vector, const LocalTerms& local) {
  for (std::uint32_t& term : vector.index) term = static_cast<std::uint32_t>(local.local[term]);
}

DocumentFrequencies member_frequencies(const Corpus& corpus, const std::vector<int>& members) {
  DocumentFrequencies frequencies{std::vector<int>(corpus.stems.size(), 0), 0};
  for (int member : members)
    frequencies.add(corpus.documents[static_cast<std::size_t>(member)].terms);
  return frequencies;
}

std::vector<SparseVector> tfidf_vectors(const Corpus& corpus, const std::vector<int>& members) {
  const DocumentFrequencies frequencies = member_frequencies(corpus, members);
  std::vector<SparseVector> vectors;
  vectors.reserve(members.size());
  for (int member : members) {
    vectors.push_back(
        tfidf_vector(corpus.documents[static_cast<std::size_t>(member)].terms, frequencies));
  }
  return vectors;
}

}  // namespace somlabel::somtrain
