#include "somtrain/tfidf.h"

#include <cmath>

namespace somtrain {

double SparseVector::squared_norm() const {
  double sum = 0.0;
  for (double v : value) sum += v * v;
  return sum;
}

std::vector<SparseVector> tfidf_vectors(const Corpus& corpus, const std::vector<int>& members) {
  std::vector<int> document_frequency(corpus.stems.size(), 0);
  for (int member : members) {
    for (const TermCount& tc : corpus.documents[static_cast<std::size_t>(member)].terms) {
      ++document_frequency[tc.term];
    }
  }
  const double n = static_cast<double>(members.size());
  std::vector<SparseVector> vectors;
  vectors.reserve(members.size());
  for (int member : members) {
    SparseVector vector;
    for (const TermCount& tc : corpus.documents[static_cast<std::size_t>(member)].terms) {
      const double idf = std::log(n / document_frequency[tc.term]);
      if (idf <= 0.0 || tc.count == 0) continue;
      vector.index.push_back(tc.term);
      vector.value.push_back((1.0 + std::log(static_cast<double>(tc.count))) * idf);
    }
    const double norm = std::sqrt(vector.squared_norm());
    if (norm > 0.0) {
      for (double& v : vector.value) v /= norm;
    }
    vectors.push_back(std::move(vector));
  }
  return vectors;
}

}  // namespace somtrain
