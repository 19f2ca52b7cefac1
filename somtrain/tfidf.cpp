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

std::vector<SparseVector> tfidf_vectors(const Corpus& corpus, const std::vector<int>& members) {
  DocumentFrequencies frequencies{std::vector<int>(corpus.stems.size(), 0), 0};
  for (int member : members)
    frequencies.add(corpus.documents[static_cast<std::size_t>(member)].terms);
  std::vector<SparseVector> vectors;
  vectors.reserve(members.size());
  for (int member : members) {
    vectors.push_back(
        tfidf_vector(corpus.documents[static_cast<std::size_t>(member)].terms, frequencies));
  }
  return vectors;
}

}  // namespace somlabel::somtrain
