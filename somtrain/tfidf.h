// tf-idf vectors of a set of documents, sparse and of unit length.
#pragma once

#include <cstdint>
#include <vector>

#include "somtrain/corpus.h"

namespace somlabel::somtrain {

// Non-zero entries only, ascending index.
struct SparseVector {
  std::vector<std::uint32_t> index;
  std::vector<double> value;
  [[nodiscard]] double squared_norm() const;
};

// How many of a set of documents hold each term, and how many documents the
// set has: what the inverse document frequency of a map is taken over.
struct DocumentFrequencies {
  std::vector<int> per_term;  // indexed by term
  std::size_t documents = 0;
  void add(const std::vector<TermCount>& terms);
};

// The vector of one document of that set, by the formula below.
[[nodiscard]] SparseVector tfidf_vector(const std::vector<TermCount>& terms,
                                        const DocumentFrequencies& frequencies);

// The terms that weigh in the vectors of a set of documents: held by some
// of them, not by all. A map's weights are over these alone, its local
// dimensions, in ascending term order, so that a small map of a large
// collection costs what its own documents cost.
struct LocalTerms {
  std::vector<std::uint32_t> terms;  // local dimension -> term
  std::vector<std::int32_t> local;   // term -> local dimension, or -1
};
[[nodiscard]] LocalTerms local_terms(const DocumentFrequencies& frequencies);

// Renumbers the terms of `vector`, all of them local, to local dimensions.
void to_local(SparseVector& vector, const LocalTerms& local);

// How many of corpus.documents[members[i]] hold each term.
[[nodiscard]] DocumentFrequencies member_frequencies(const Corpus& corpus,
                                                     const std::vector<int>& members);

// The vectors of corpus.documents[members[i]], in that order. The inverse
// document frequency is taken over `members` only, so a sub-map weighs the
// terms that tell its own documents apart:
//   weight = (1 + ln tf) * ln(n / df),  n = members.size(), df counted in members,
// then each vector is scaled to length 1. A term found in every member weighs
// 0 and is left out; a document without weighed terms gives the empty vector.
[[nodiscard]] std::vector<SparseVector> tfidf_vectors(const Corpus& corpus,
                                                      const std::vector<int>& members);

}  // namespace somlabel::somtrain
