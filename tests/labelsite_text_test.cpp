// The documents' text for the site: their order along the map tree, the
// words of each as stemmed terms, the phrases of their key files, and the
// text cache that spares a rerun the documents that did not change.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "labelsite/document_text.h"
#include "labelsite/map_reader.h"
#include "labelsite/site_order.h"
#include "labelsite/text_cache.h"
#include "tests/test_util.h"

namespace somlabel::labelsite {
namespace {

namespace fs = std::filesystem;

TEST(LabelsiteOrder, NumbersDocumentsAlongTheTreeSoUnitsAndMapsAreRanges) {
  testutil::TempDir dir;
  Settings settings;
  settings.path = dir.str();
  // top: (0, 0) expanded by sub, which came first; (1, 0) a leaf; (2, 0) empty.
  const std::pair<std::string, std::string> maps[] = {
      {"sub.unit",
       "$XDIM 2\n$YDIM 1\n$POS_X 0\n$POS_Y 0\n$NR_VEC_MAPPED 1\n$VEC s2\n$NR_SOMS_MAPPED 0\n"
       "$POS_X 1\n$POS_Y 0\n$NR_VEC_MAPPED 2\n$VEC s0\n$VEC s1\n$NR_SOMS_MAPPED 0\n"},
      {"top.unit",
       "$XDIM 3\n$YDIM 1\n$POS_X 0\n$POS_Y 0\n$NR_VEC_MAPPED 3\n$VEC s0\n$NR_SOMS_MAPPED 1\n"
       "$URL_MAPPED_SOMS sub.xyz\n$POS_X 1\n$POS_Y 0\n$NR_VEC_MAPPED 1\n$VEC t\n"
       "$NR_SOMS_MAPPED 0\n$POS_X 2\n$POS_Y 0\n$NR_VEC_MAPPED 0\n$NR_SOMS_MAPPED 0\n"}};
  SiteIndex index(settings);
  for (const auto& [name, text] : maps) {
    testutil::write_file(dir.path() / (name + ".labelunit"), text);
    ASSERT_TRUE(read_map(index, settings.path + name + ".labelunit"));
  }
  const SiteOrder order = site_order(index, map_tree(index));
  std::vector<std::string> names;
  for (const uint32_t d : order.documents) names.emplace_back(index.name(index.documents()[d]));
  EXPECT_EQ(names, (std::vector<std::string>{"s2", "s0", "s1", "t"}));
  const auto range = [](DocumentRange r) { return std::pair(r.begin, r.end); };
  // Units: sub (0, 0), sub (1, 0), top (0, 0), top (1, 0), top (2, 0).
  const std::pair<uint32_t, uint32_t> units[] = {{0, 1}, {1, 3}, {0, 3}, {3, 4}, {4, 4}};
  for (size_t u = 0; u < 5; ++u) EXPECT_EQ(range(order.units[u]), units[u]) << "unit " << u;
  EXPECT_EQ(range(order.maps[0]), std::pair(0u, 3u));
  EXPECT_EQ(range(order.maps[1]), std::pair(0u, 4u));
  EXPECT_EQ(order.unit_above, (std::vector<int>{2, -1}));
}

class LabelsiteTextTest : public ::testing::Test {
 protected:
  LabelsiteTextTest() {
    sources_.source_path = dir_.str() + "files/";
    sources_.key_path = dir_.str() + "key/";
    sources_.key_ending = ".key";
    sources_.cache = dir_.str() + "cache";
    sources_.threads = 2;
  }

  void document(const std::string& name, const std::string& text, const std::string& keys = "") {
    testutil::write_file(dir_.path() / "files" / name, text);
    if (!keys.empty()) testutil::write_file(dir_.path() / "key" / (name + ".key"), keys);
    sources_.names.push_back(name);
  }

  void read() { read_document_text(sources_, index_, phrases_, summary_); }

  // The documents holding `stem`, with their counts: "d:count ...".
  std::string postings(const std::string& stem) const {
    const int64_t term = index_.term(stem);
    if (term < 0) return "none";
    std::string out;
    const PostingList& list = index_.postings[static_cast<size_t>(term)];
    for (size_t i = 0; i < list.documents.size(); ++i) {
      out +=
          (i ? " " : "") + std::to_string(list.documents[i]) + ":" + std::to_string(list.counts[i]);
    }
    return out;
  }

  testutil::TempDir dir_;
  TextSources sources_;
  TextIndex index_;
  KeyPhrases phrases_;
  TextSummary summary_;
};

TEST_F(LabelsiteTextTest, IndexesStemmedWordsPerDocument) {
  document("a", "The Sockets and a socket.\n" + std::string(65, 'x') + " " + std::string(64, 'b'));
  document("b", "socket's self-organizing");  // ' and - between letters stay in the word
  document("c", "");
  read();
  EXPECT_EQ(postings("socket"), "0:2 1:1");
  EXPECT_EQ(postings("the"), "0:1");
  EXPECT_EQ(postings("self-organ"), "1:1");
  EXPECT_EQ(postings(std::string(65, 'x')), "none");  // too long a word
  EXPECT_EQ(postings(std::string(64, 'b')), "0:1");
  EXPECT_EQ(index_.lengths, (std::vector<uint32_t>{6, 2, 0}));
  // Each form as written, lower-cased, leads to its term.
  const auto form = std::find_if(index_.forms.begin(), index_.forms.end(),
                                 [](const auto& f) { return f.first == "sockets"; });
  ASSERT_NE(form, index_.forms.end());
  EXPECT_EQ(index_.stems[form->second], "socket");
  EXPECT_TRUE(std::is_sorted(index_.stems.begin(), index_.stems.end()));
  EXPECT_EQ(summary_.read, 3u);
}

TEST_F(LabelsiteTextTest, ReadsLargeDocumentsInSlicesWithoutCuttingWords) {
  std::string text;
  while (text.size() < 2 * kTextSlice + 100) text += "abcdefghij ";
  document("large", text);
  read();
  ASSERT_EQ(index_.stems, (std::vector<std::string>{"abcdefghij"}));
  EXPECT_EQ(index_.lengths[0], text.size() / 11);
}

TEST_F(LabelsiteTextTest, CountsUnreadableDocumentsAndGoesOn) {
  document("present", "word");
  sources_.names.push_back("missing");
  fs::create_directories(dir_.path() / "files" / "folder");
  sources_.names.push_back("folder");
  read();
  EXPECT_EQ(summary_.unreadable, 2u);
  EXPECT_EQ(summary_.first_unreadable, sources_.source_path + "missing: No such file or directory");
  EXPECT_EQ(postings("word"), "0:1");
  EXPECT_EQ(summary_.without_keys, 3u);
}

TEST_F(LabelsiteTextTest, KeyPhrasesTakeTheirMostFrequentSpelling) {
  document("a", "x", "Red Apple\tred appl\t1.0\napple\tappl\t0.5\n");
  document("b", "x", "red apple\tred appl\t1.0\n");
  document("c", "x", "red apple\tred appl\t1.0\nno stemmed field\nred apple\tred appl\t0.2\n");
  read();
  EXPECT_EQ(phrases_.stemmed, (std::vector<std::string>{"appl", "red appl"}));
  EXPECT_EQ(phrases_.surface, (std::vector<std::string>{"apple", "red apple"}));
  // Every document has "red apple" and so, its last word, "apple".
  EXPECT_EQ(phrases_.first, (std::vector<uint32_t>{0, 2, 4, 6}));
  EXPECT_EQ(phrases_.phrases, (std::vector<uint32_t>{0, 1, 0, 1, 0, 1}));
}

TEST_F(LabelsiteTextTest, ThreadsDoNotChangeTheIndexOrTheCache) {
  for (int d = 0; d < 300; ++d) {
    document("d" + std::to_string(d),
             "w" + std::to_string(d % 7) + " common w" + std::to_string(d % 11));
  }
  sources_.threads = 1;
  read();
  const TextIndex one = index_;
  const std::string cache = testutil::read_file(sources_.cache);
  sources_.threads = 4;
  sources_.cache += "2";
  read();
  EXPECT_EQ(testutil::read_file(sources_.cache), cache);
  EXPECT_EQ(index_.stems, one.stems);
  ASSERT_EQ(index_.postings.size(), one.postings.size());
  for (size_t t = 0; t < one.postings.size(); ++t) {
    EXPECT_EQ(index_.postings[t].documents, one.postings[t].documents) << one.stems[t];
  }
}

TEST_F(LabelsiteTextTest, RerunReadsOnlyWhatChanged) {
  document("a", "alpha betas", "alpha\talpha\t1\n");
  document("b", "beta gamma", "gamma\tgamma\t1\n");
  read();
  EXPECT_EQ(summary_.read, 2u);
  read();
  EXPECT_EQ(summary_.read, 0u);
  EXPECT_EQ(summary_.cached, 2u);
  EXPECT_EQ(postings("beta"), "0:1 1:1");
  EXPECT_EQ(phrases_.stemmed, (std::vector<std::string>{"alpha", "gamma"}));

  testutil::write_file(dir_.path() / "files" / "b", "delta delta");  // another size
  testutil::write_file(dir_.path() / "key" / "a.key", "beta\tbeta\t1\n");
  read();
  EXPECT_EQ(summary_.read, 1u);
  EXPECT_EQ(postings("beta"), "0:1");
  EXPECT_EQ(postings("gamma"), "none");
  EXPECT_EQ(postings("delta"), "1:2");
  EXPECT_EQ(phrases_.stemmed, (std::vector<std::string>{"beta", "gamma"}));
  // As a first run would have it: "beta" is no word of the documents any more.
  std::vector<std::string> forms;
  for (const auto& [form, term] : index_.forms) forms.push_back(form + ">" + index_.stems[term]);
  EXPECT_EQ(forms, (std::vector<std::string>{"alpha>alpha", "betas>beta", "delta>delta"}));
  const std::string rerun = testutil::read_file(sources_.cache);
  fs::remove(sources_.cache);
  read();
  EXPECT_EQ(testutil::read_file(sources_.cache), rerun);

  // A damaged cache is read as none: everything is read again.
  std::string cache = rerun;
  cache.resize(cache.size() - 10);
  testutil::write_file(sources_.cache, cache);
  read();
  EXPECT_EQ(summary_.read, 2u);
  EXPECT_EQ(postings("delta"), "1:2");
}

TEST_F(LabelsiteTextTest, CacheOfAnotherLanguageIsNotUsed) {
  document("a", "running");
  read();
  EXPECT_EQ(postings("run"), "0:1");
  sources_.language = text::Language::german;
  read();
  EXPECT_EQ(summary_.read, 1u);
  EXPECT_EQ(postings("running"), "0:1");
}

}  // namespace
}  // namespace somlabel::labelsite
