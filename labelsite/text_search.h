// The data of the search by content, in files that index.html loads by a
// <script> tag as a query needs them (labelsite/search.js reads them):
//
//   search/w<N>.js  the words as documents write them, lower-cased, and the
//                   stems that are none of them, in byte order, each
//                   [word, 0, term, documents, size]: its term
//                   (stem), how many documents hold the term and the size of
//                   the term's entry; index.html keeps the first word of each.
//   search/t<N>.js  the terms, in order, each with the documents that hold
//                   it and their BM25 weights; index.html keeps the first
//                   term of each file.
//   search/i<N>.js  the documents in the site's order, kDocumentsPerSlice a
//                   file, each [name, map, x, y(, link)].
//
// A term's entry is [documents, top, list] or, where a bitmap is shorter,
// [documents, top, bitmap, best, rest]. `top` is the term's greatest BM25
// weight; weights are in 63ths of it, one character each. A list holds, per
// document, the gap to the one before (the first: its number) in
// kVarintDigits, then its weight. A bitmap has bit d % 6 of character d / 6
// set for document d; `best` is a list of the kBestOfBitmap documents of
// greatest weight, and `rest` the mean weight of the others: a word that
// most documents hold has little weight, and its list would be long.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "labelsite/site.h"
#include "labelsite/site_order.h"
#include "labelsite/text_index.h"

namespace somlabel::labelsite {

inline constexpr size_t kDocumentsPerSlice = 256;
inline constexpr size_t kBestOfBitmap = 200;

// 64 characters that JavaScript strings and URLs take as they are: a digit
// of a weight or bitmap (six bits), or of a varint (five bits, the sixth set
// where another digit follows).
inline constexpr std::string_view kVarintDigits =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";

// BM25's constants.
inline constexpr double kBm25K1 = 1.2;
inline constexpr double kBm25B = 0.75;

void append_varint_digits(std::string& out, uint32_t value);

// The BM25 weight of a term that `with` of `documents` documents hold, in a
// document of `length` words that holds it `count` times.
[[nodiscard]] double bm25_weight(uint32_t count, uint32_t length, double mean_length, uint32_t with,
                                 uint32_t documents);

// The entry of one term, as described above.
[[nodiscard]] std::string term_entry(const PostingList& list, const std::vector<uint32_t>& lengths,
                                     double mean_length);

struct TextSearchFiles {
  std::vector<std::string> word_firsts;  // first word of each w file
  std::vector<uint32_t> term_firsts;     // first term of each t file
};

// Writes the three kinds of files. False after printing why.
[[nodiscard]] bool write_text_search(Site& site, const SiteOrder& order, const TextIndex& text,
                                     TextSearchFiles& files);

}  // namespace somlabel::labelsite
