// Writes a benchmark corpus in the real formats: an option file, process
// files, the unit files of a map hierarchy, one key file per document and,
// when asked, the documents themselves.
//
//   gen_corpus DIR WORKLOAD [SEED [DOCUMENTS]]
//
// WORKLOAD is one of
//   wide   three layers (2x2 over 4 maps of 5x5 over 100 maps of 10x10),
//          200,000 documents spread unevenly over the 10,000 leaf units,
//          15 phrases per key file (DOCUMENTS changes the 200,000, to show
//          how time and memory grow);
//   huge   one map with one leaf unit of 10,000 documents, 40 phrases per
//          key file drawn from 20,000 distinct phrases;
//   mode0  one 10x10 map, 50 documents of abstract size per unit, documents
//          and key files (15 phrases each);
//   texts  200,000 documents of abstract size (DOCUMENTS changes the number)
//          in DIR/documents/ and nothing else: a collection for the whole
//          chain, from map training on.
//
// Everything lies under DIR: DIR/options, DIR/process (for labelcalc),
// DIR/process.web (for labelweb), DIR/output/*.unit, DIR/output/key/*.key,
// DIR/output/files/* (mode0 only); texts writes DIR/documents/* alone. The
// option file uses the default paths, so the tools run with DIR as their
// working directory. The same seed gives
// the same bytes on every machine: the generator uses its own integer
// random numbers and prints scores from integers.
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

// SplitMix64: small, fast and the same everywhere.
class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed) {}
  uint64_t next() {
    uint64_t z = (state_ += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
  }
  // Uniform in [0, n).
  uint64_t below(uint64_t n) { return next() % n; }
  // Uniform in [0, 1).
  double unit() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }

 private:
  uint64_t state_;
};

[[noreturn]] void fail(const std::string& what) {
  std::fprintf(stderr, "gen_corpus: %s: %s\n", what.c_str(), std::strerror(errno));
  std::exit(1);
}

void make_dir(const std::string& path) {
  if (mkdir(path.c_str(), 0777) != 0 && errno != EEXIST) fail("cannot create " + path);
}

class Output {
 public:
  explicit Output(const std::string& name) : name_(name), file_(std::fopen(name.c_str(), "w")) {
    if (file_ == nullptr) fail("cannot create " + name);
  }
  ~Output() {
    if (std::fclose(file_) != 0) fail("cannot write " + name_);
  }
  Output(const Output&) = delete;
  Output& operator=(const Output&) = delete;
  void put(const std::string& text) { std::fwrite(text.data(), 1, text.size(), file_); }
  FILE* get() { return file_; }

 private:
  std::string name_;
  FILE* file_;
};

// A stemmed phrase of one to three stems, and the surface forms its words
// take in documents.
struct Phrase {
  std::vector<int> words;
};

// Pseudo-words from syllables; many share beginnings, and short words stand
// inside longer ones, as real stems do ("mine" in "mines", "mining").
std::vector<std::string> make_words(Random& random, int count) {
  static const char* const kSyllables[] = {
      "ka", "to", "ri",  "mo",  "ne",  "sa",   "lu",  "pe",  "di", "gra", "ton", "mi",  "nor", "ve",
      "da", "ta", "min", "ing", "net", "work", "lo",  "gic", "ma", "tri", "con", "ver", "sta", "bi",
      "o",  "se", "qu",  "en",  "ce",  "ro",   "bot", "cal", "cu", "lus", "pro", "ba"};
  constexpr int kSyllableCount = sizeof kSyllables / sizeof kSyllables[0];
  std::set<std::string> distinct;
  std::vector<std::string> words;
  while (static_cast<int>(words.size()) < count) {
    const int syllables = 1 + static_cast<int>(random.below(3)) + (random.below(4) == 0 ? 1 : 0);
    std::string word;
    for (int i = 0; i < syllables; ++i) word += kSyllables[random.below(kSyllableCount)];
    if (word.size() >= 2 && distinct.insert(word).second) words.push_back(word);
  }
  // Shuffle so that popularity does not follow the alphabet.
  for (size_t i = words.size() - 1; i > 0; --i) std::swap(words[i], words[random.below(i + 1)]);
  return words;
}

std::string stem_of(const Phrase& phrase, const std::vector<std::string>& words) {
  std::string text;
  for (size_t i = 0; i < phrase.words.size(); ++i) {
    if (i > 0) text += ' ';
    text += words[static_cast<size_t>(phrase.words[i])];
  }
  return text;
}

// A surface form: the stems with some capitals and plural endings, so that
// one stemmed phrase arrives with several surface forms.
std::string surface_of(const Phrase& phrase, const std::vector<std::string>& words,
                       Random& random) {
  const uint64_t style = random.below(8);
  std::string text;
  for (size_t i = 0; i < phrase.words.size(); ++i) {
    if (i > 0) text += ' ';
    std::string word = words[static_cast<size_t>(phrase.words[i])];
    if (style == 1 || (style == 2 && i == 0)) word[0] = static_cast<char>(word[0] - 'a' + 'A');
    if (style == 3 && i + 1 == phrase.words.size()) word += 's';
    if (style == 4 && i + 1 == phrase.words.size()) word += "ing";
    text += word;
  }
  return text;
}

// The vocabulary: `count` distinct stemmed phrases in families. A family is
// a three-stem phrase and its whole-word parts (its first and last two
// stems, and each stem), so many short phrases fold into longer ones; stems
// come from a shared pool, so one stem belongs to several families.
struct Vocabulary {
  std::vector<Phrase> phrases;
  std::vector<std::vector<int>> families;  // phrase indexes; the three-stem phrase first
};

Vocabulary make_vocabulary(Random& random, int count, const std::vector<std::string>& words) {
  Vocabulary vocabulary;
  std::map<std::string, int> index;
  auto random_word = [&] { return static_cast<int>(random.below(words.size())); };
  while (static_cast<int>(vocabulary.phrases.size()) < count) {
    const int a = random_word(), b = random_word(), c = random_word();
    const Phrase members[] = {{{a, b, c}}, {{a, b}}, {{b, c}}, {{a}}, {{b}}, {{c}}};
    std::vector<int> family;
    for (const Phrase& member : members) {
      const auto [at, added] =
          index.emplace(stem_of(member, words), static_cast<int>(vocabulary.phrases.size()));
      if (added) {
        if (static_cast<int>(vocabulary.phrases.size()) == count) break;
        vocabulary.phrases.push_back(member);
      } else if (&member == &members[0]) {
        break;  // the same three stems again: not a new family
      }
      if (std::find(family.begin(), family.end(), at->second) == family.end())
        family.push_back(at->second);
    }
    if (!family.empty()) vocabulary.families.push_back(std::move(family));
  }
  return vocabulary;
}

// Draws ranks with probability proportional to (rank + 1) ^ -exponent.
class Zipf {
 public:
  Zipf(int count, double exponent) : cumulative_(static_cast<size_t>(count)) {
    double sum = 0;
    for (int i = 0; i < count; ++i) {
      cumulative_[static_cast<size_t>(i)] = sum += std::pow(i + 1.0, -exponent);
    }
  }
  int draw(Random& random) const {
    const double target = random.unit() * cumulative_.back();
    return static_cast<int>(std::upper_bound(cumulative_.begin(), cumulative_.end(), target) -
                            cumulative_.begin()) %
           static_cast<int>(cumulative_.size());
  }

 private:
  std::vector<double> cumulative_;
};

struct Corpus {
  std::vector<std::string> words;
  std::vector<Phrase> phrases;
  std::vector<std::vector<int>> families;
  Zipf zipf;  // over the families
  Random random;
};

// The phrases of one document: `count` distinct ranks.
std::vector<int> draw_document(Corpus& corpus, int count) {
  constexpr uint64_t long_share = 15;  // percent; pairs 35, single stems 50
  std::vector<int> ranks;
  while (static_cast<int>(ranks.size()) < count) {
    // A family by popularity, then one of its phrases: single stems most
    // often, as in real key files, the three-stem phrase least.
    const std::vector<int>& family =
        corpus.families[static_cast<size_t>(corpus.zipf.draw(corpus.random))];
    const uint64_t kind = corpus.random.below(100);
    const size_t member = kind < long_share        ? 0
                          : kind < long_share + 35 ? 1 + corpus.random.below(2)
                                                   : 3 + corpus.random.below(3);
    const int rank = family[std::min(member, family.size() - 1)];
    if (std::find(ranks.begin(), ranks.end(), rank) == ranks.end()) ranks.push_back(rank);
  }
  return ranks;
}

// A key file as the extractor writes it with -a: best first, scores in
// (0, 1] with six decimals.
void write_key_file(const std::string& name, Corpus& corpus, const std::vector<int>& ranks) {
  std::vector<int> scores;
  for (size_t i = 0; i < ranks.size(); ++i) {
    scores.push_back(1 + static_cast<int>(corpus.random.below(1000000)));
  }
  std::sort(scores.rbegin(), scores.rend());
  Output out(name);
  char number[32];
  for (size_t i = 0; i < ranks.size(); ++i) {
    const Phrase& phrase = corpus.phrases[static_cast<size_t>(ranks[i])];
    std::snprintf(number, sizeof number, "%d.%06d\n", scores[i] / 1000000, scores[i] % 1000000);
    out.put(surface_of(phrase, corpus.words, corpus.random) + '\t' + stem_of(phrase, corpus.words) +
            '\t' + number);
  }
}

// A document of about an abstract's length: sentences of filler words and
// the document's phrases.
void write_document(const std::string& name, Corpus& corpus, const std::vector<int>& ranks) {
  static const char* const kFiller[] = {
      "the",   "of",       "and",     "a",       "in",     "to",    "is",   "for", "we",
      "that",  "this",     "with",    "are",     "on",     "by",    "as",   "an",  "be",
      "our",   "from",     "which",   "results", "method", "paper", "show", "new", "using",
      "based", "approach", "present", "these",   "can",    "two",   "it"};
  constexpr uint64_t kFillerCount = sizeof kFiller / sizeof kFiller[0];
  Output out(name);
  std::string text;
  const int sentences = 8 + static_cast<int>(corpus.random.below(6));
  for (int s = 0; s < sentences; ++s) {
    const int length = 10 + static_cast<int>(corpus.random.below(12));
    std::string sentence;
    for (int w = 0; w < length; ++w) {
      if (!sentence.empty()) sentence += ' ';
      if (corpus.random.below(4) == 0) {
        const int rank = ranks[corpus.random.below(ranks.size())];
        sentence +=
            surface_of(corpus.phrases[static_cast<size_t>(rank)], corpus.words, corpus.random);
      } else {
        sentence += kFiller[corpus.random.below(kFillerCount)];
      }
    }
    sentence[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(sentence[0])));
    text += sentence + ". ";
  }
  text.back() = '\n';
  out.put(text);
}

struct MapSpec {
  std::string name;  // file name, e.g. "w2_0042.unit"
  std::string node;  // NODE_ID prefix without "_"
  int layer = 0;
  int xdim = 0;
  int ydim = 0;
  // Per unit: its documents and, for an expanded unit, the sub-map's name.
  std::vector<std::vector<int>> documents;
  std::vector<std::string> sub_maps;
};

std::string document_name(int id) {
  char name[32];
  std::snprintf(name, sizeof name, "doc%07d", id);
  return name;
}

// `.unit` less "unit", plus three letters: the address form the linking
// step turns back into the sub-map's name.
std::string address_of(const std::string& sub_map) {
  return "output/" + sub_map.substr(0, sub_map.size() - 4) + "htm";
}

void write_unit_file(const std::string& dir, const MapSpec& map, Random& random,
                     const std::vector<std::string>& words) {
  Output out(dir + "/output/" + map.name);
  out.put("$TYPE rect\n$XDIM " + std::to_string(map.xdim) + "\n$YDIM " + std::to_string(map.ydim) +
          "\n");
  for (int y = 0; y < map.ydim; ++y) {
    for (int x = 0; x < map.xdim; ++x) {
      const size_t u = static_cast<size_t>(y * map.xdim + x);
      const std::vector<int>& documents = map.documents[u];
      char error[32];
      std::snprintf(error, sizeof error, "%d.%06d", static_cast<int>(random.below(3)),
                    static_cast<int>(random.below(1000000)));
      out.put("$POS_X " + std::to_string(x) + "\n$POS_Y " + std::to_string(y) + "\n$NODE_ID " +
              map.node + "_" + std::to_string(map.layer) + "_" + std::to_string(x) + "_" +
              std::to_string(y) + "\n$QUANTERROR_NODE " + error + "\n$NR_VEC_MAPPED " +
              std::to_string(documents.size()) + "\n$MAPPED_VECS");
      // Long lists run on over several lines, as the trainer writes them.
      for (size_t i = 0; i < documents.size(); ++i) {
        out.put((i > 0 && i % 50 == 0 ? "\n" : " ") + document_name(documents[i]));
      }
      const bool expanded = !map.sub_maps[u].empty();
      out.put("\n$NR_SOMS_MAPPED " + std::string(expanded ? "1" : "0") + "\n");
      if (expanded) out.put("$URL_MAPPED_SOMS " + address_of(map.sub_maps[u]) + "\n");
      out.put("$NR_LABELS 2\n$LABEL " + words[random.below(words.size())] + " " +
              words[random.below(words.size())] + "\n");
    }
  }
}

// Spreads `documents` over `units` unevenly: about one unit in ten stays
// empty, the others get shares that differ by up to a factor of eight.
std::vector<std::vector<int>> spread(const std::vector<int>& documents, int units, Random& random) {
  std::vector<double> weight(static_cast<size_t>(units));
  double total = 0;
  for (double& w : weight)
    total += w = random.below(10) == 0 ? 0 : 1 + static_cast<double>(random.below(8));
  if (total == 0) weight[0] = total = 1;
  std::vector<double> cumulative;
  double sum = 0;
  for (double w : weight) cumulative.push_back(sum += w / total);
  std::vector<std::vector<int>> out(static_cast<size_t>(units));
  for (int document : documents) {
    const size_t u = static_cast<size_t>(
        std::upper_bound(cumulative.begin(), cumulative.end(), random.unit()) - cumulative.begin());
    out[std::min(u, out.size() - 1)].push_back(document);
  }
  return out;
}

void write_settings(const std::string& dir, int mode) {
  Output options(dir + "/options");
  options.put("MODE " + std::to_string(mode) + "\nNUMBEROFPHRASES 15\n");
  if (mode != 1) options.put("KEA_MODEL output/model\nKEA_PROGRAM keyphrases\n");
}

void write_process_files(const std::string& dir, const std::vector<MapSpec>& maps) {
  Output process(dir + "/process");
  Output web(dir + "/process.web");
  for (const MapSpec& map : maps) {
    process.put(map.name + "\n");
    web.put(map.name + ".labelunit\n");
  }
}

// Builds the layers from the bottom: every unit of a layer above expands
// into one map of the layer below.
std::vector<MapSpec> wide_hierarchy(int documents, Random& random) {
  struct Layer {
    int maps, xdim, ydim;
  };
  const Layer layers[] = {{1, 2, 2}, {4, 5, 5}, {100, 10, 10}};
  std::vector<int> all(static_cast<size_t>(documents));
  for (int i = 0; i < documents; ++i) all[static_cast<size_t>(i)] = i;

  // Documents of each map of the bottom layer, then up.
  std::vector<MapSpec> maps;
  const int bottom_units = layers[2].xdim * layers[2].ydim;
  std::vector<std::vector<int>> per_bottom_map = spread(all, layers[2].maps, random);
  std::vector<MapSpec> bottom;
  for (int m = 0; m < layers[2].maps; ++m) {
    MapSpec map{"w2_" + std::to_string(m) + ".unit",
                "w2m" + std::to_string(m),
                2,
                layers[2].xdim,
                layers[2].ydim,
                {},
                {}};
    map.documents = spread(per_bottom_map[static_cast<size_t>(m)], bottom_units, random);
    map.sub_maps.assign(static_cast<size_t>(bottom_units), "");
    bottom.push_back(std::move(map));
  }
  std::vector<MapSpec> middle;
  const int middle_units = layers[1].xdim * layers[1].ydim;
  for (int m = 0; m < layers[1].maps; ++m) {
    MapSpec map{"w1_" + std::to_string(m) + ".unit",
                "w1m" + std::to_string(m),
                1,
                layers[1].xdim,
                layers[1].ydim,
                {},
                {}};
    for (int u = 0; u < middle_units; ++u) {
      const MapSpec& below = bottom[static_cast<size_t>(m * middle_units + u)];
      std::vector<int> docs;
      for (const auto& unit_docs : below.documents)
        docs.insert(docs.end(), unit_docs.begin(), unit_docs.end());
      std::sort(docs.begin(), docs.end());
      map.documents.push_back(std::move(docs));
      map.sub_maps.push_back(below.name);
    }
    middle.push_back(std::move(map));
  }
  MapSpec top{"w0.unit", "w0m", 0, layers[0].xdim, layers[0].ydim, {}, {}};
  for (const MapSpec& below : middle) {
    std::vector<int> docs;
    for (const auto& unit_docs : below.documents)
      docs.insert(docs.end(), unit_docs.begin(), unit_docs.end());
    std::sort(docs.begin(), docs.end());
    top.documents.push_back(std::move(docs));
    top.sub_maps.push_back(below.name);
  }
  // Deepest layer first: a map's sub-maps come before it.
  for (MapSpec& map : bottom) maps.push_back(std::move(map));
  for (MapSpec& map : middle) maps.push_back(std::move(map));
  maps.push_back(std::move(top));
  return maps;
}

int run(const std::string& dir, const std::string& workload, uint64_t seed, int wide_documents) {
  int documents = 0, phrases_per_document = 0, vocabulary = 0, mode = 1;
  const double exponent = 1.0;  // of the family popularity
  bool with_texts = false;
  if (workload == "wide") {
    documents = wide_documents, phrases_per_document = 15, vocabulary = 60000;
  } else if (workload == "huge") {
    documents = 10000, phrases_per_document = 40, vocabulary = 20000;
  } else if (workload == "mode0") {
    documents = 5000, phrases_per_document = 15, vocabulary = 8000, mode = 2, with_texts = true;
  } else if (workload == "texts") {
    documents = wide_documents, phrases_per_document = 15, vocabulary = 60000;
  } else {
    std::fprintf(stderr, "gen_corpus: unknown workload %s (wide, huge, mode0 or texts)\n",
                 workload.c_str());
    return 2;
  }
  Random random(seed);
  std::vector<std::string> words = make_words(random, vocabulary / 40 + 50);
  Vocabulary phrases = make_vocabulary(random, vocabulary, words);
  const int families = static_cast<int>(phrases.families.size());
  Corpus corpus{std::move(words), std::move(phrases.phrases), std::move(phrases.families),
                Zipf(families, exponent), Random(seed ^ 0x5eed)};

  make_dir(dir);
  if (workload == "texts") {
    make_dir(dir + "/documents");
    for (int document = 0; document < documents; ++document) {
      const std::vector<int> ranks = draw_document(corpus, phrases_per_document);
      write_document(dir + "/documents/" + document_name(document), corpus, ranks);
    }
    return 0;
  }
  make_dir(dir + "/output");
  make_dir(dir + "/output/key");
  make_dir(dir + "/output/tmp_kea");
  if (with_texts) make_dir(dir + "/output/files");

  std::vector<MapSpec> maps;
  std::vector<int> all(static_cast<size_t>(documents));
  for (int i = 0; i < documents; ++i) all[static_cast<size_t>(i)] = i;
  if (workload == "wide") {
    maps = wide_hierarchy(documents, random);
  } else if (workload == "huge") {
    maps.push_back({"huge.unit", "hm", 1, 1, 1, {all}, {""}});
  } else {
    MapSpec map{"m0.unit", "m0m", 1, 10, 10, {}, {}};
    for (int u = 0; u < 100; ++u) {
      map.documents.emplace_back(all.begin() + u * 50, all.begin() + (u + 1) * 50);
    }
    map.sub_maps.assign(100, "");
    maps.push_back(std::move(map));
  }
  for (const MapSpec& map : maps) write_unit_file(dir, map, random, corpus.words);
  write_process_files(dir, maps);
  write_settings(dir, mode);

  for (int document = 0; document < documents; ++document) {
    const std::vector<int> ranks = draw_document(corpus, phrases_per_document);
    const std::string name = document_name(document);
    write_key_file(dir + "/output/key/" + name + ".key", corpus, ranks);
    if (with_texts) write_document(dir + "/output/files/" + name, corpus, ranks);
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3 || argc > 5) {
    std::fprintf(stderr, "usage: gen_corpus DIR wide|huge|mode0|texts [SEED [DOCUMENTS]]\n");
    return 2;
  }
  const uint64_t seed = argc >= 4 ? std::strtoull(argv[3], nullptr, 10) : 20021001;
  const int documents = argc == 5 ? std::atoi(argv[4]) : 200000;
  if (documents < 1) {
    std::fprintf(stderr, "gen_corpus: DOCUMENTS must be at least 1\n");
    return 2;
  }
  return run(argv[1], argv[2], seed, documents);
}
