// The counts file a training keeps for the next one: what is written reads
// back; damage is refused; a file made once is still read; and a corpus
// counted partly from it is the corpus counted from the texts.
#include <gtest/gtest.h>

#include <cstring>

#include "common/io.h"
#include "somtrain/corpus.h"
#include "somtrain/counts_cache.h"

namespace somlabel::somtrain {
namespace {

// Forms "bind", "listen", "socket"; "a" holds bind twice and socket once,
// "b" nothing, "c" listen once and was cut.
std::string two_documents() {
  CountsCacheWriter writer("english", {"bind", "listen", "socket"});
  writer.add("a", FileStamp{10, 1700000000123456789u, 42}, false, {{0, 2}, {2, 1}});
  writer.add("b", FileStamp{0, 5, 7}, false, {});
  writer.add("c", FileStamp{300, 6, 8}, true, {{1, 1}});
  return writer.bytes();
}

TEST(SomtrainCountsFile, ReadsBackWhatWasWritten) {
  CountsCache cache;
  ASSERT_TRUE(cache.parse(two_documents()));
  EXPECT_EQ(cache.language(), "english");
  EXPECT_EQ(cache.forms(), (std::vector<std::string_view>{"bind", "listen", "socket"}));
  ASSERT_EQ(cache.documents().size(), 3u);
  const CountedDocument* a = cache.find("a");
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->stamp, (FileStamp{10, 1700000000123456789u, 42}));
  EXPECT_FALSE(a->cut);
  EXPECT_EQ(CountsCache::decode(a->pairs), (FormCounts{{0, 2}, {2, 1}}));
  EXPECT_EQ(CountsCache::decode(cache.find("b")->pairs), FormCounts{});
  EXPECT_TRUE(cache.find("c")->cut);
  EXPECT_EQ(cache.find("d"), nullptr);
  EXPECT_EQ(cache.find(""), nullptr);
}

TEST(SomtrainCountsFile, DamageIsRefusedAndLeavesItEmpty) {
  const std::string good = two_documents();
  const std::size_t header = sizeof(counts_format::Header);
  std::string version = good;
  version[8] = 2;
  std::string flipped = good;
  flipped[header + 3] ^= 0x20;
  // Rewritten with a valid checksum but a form index beyond the three forms.
  CountsCacheWriter beyond("english", {"bind"});
  beyond.add("a", FileStamp{}, false, {{0, 1}, {3, 1}});
  CountsCacheWriter unordered("english", {"bind"});
  unordered.add("b", FileStamp{}, false, {});
  unordered.add("a", FileStamp{}, false, {});
  const struct {
    std::string bytes;
    const char* why;
  } cases[] = {
      {good.substr(0, 20), "shorter than its header"},
      {"SOMCDBK\n" + good.substr(8), "not a file of counted documents"},
      {version, "counted documents of version 2, this somtrain reads version 1"},
      {flipped, "checksum mismatch"},
      {good.substr(0, good.size() - 1), "checksum mismatch"},
      {beyond.bytes(), "damaged"},
      {unordered.bytes(), "damaged"},
  };
  for (const auto& c : cases) {
    CountsCache cache;
    const Result<Reason> parsed = cache.parse(c.bytes);
    EXPECT_FALSE(parsed) << c.why;
    EXPECT_EQ(parsed.message(), c.why);
    EXPECT_TRUE(cache.documents().empty());
    EXPECT_TRUE(cache.forms().empty());
  }
}

TEST(SomtrainCountsFile, AFileMadeOnceIsStillRead) {
  // tests/fixtures/somtrain/pinned.counts: two_documents() as this version wrote it.
  std::string bytes;
  ASSERT_TRUE(read_file(TESTS_DIR "/fixtures/somtrain/pinned.counts", bytes));
  EXPECT_EQ(bytes, two_documents());
  CountsCache cache;
  ASSERT_TRUE(cache.parse(bytes));
  EXPECT_EQ(cache.documents().size(), 3u);
}

TEST(SomtrainCountsFile, ACorpusCountedPartlyFromTheFileIsTheCorpusOfTheTexts) {
  const std::vector<std::string> names = {"a", "b", "c", "d"};
  const std::vector<std::string> texts = {"Sockets bind a socket", "listen, listening: 42 LISTEN",
                                          "socket listen bind", "the fork forks"};
  auto from_texts = [&](std::size_t i, SourceText& text) { text.text = texts[i]; };
  const VocabularyLimits limits{1, 1.0, 5000};
  for (int jobs : {1, 3}) {
    Corpus first;
    std::string bytes;
    ASSERT_TRUE(build_corpus(names, from_texts, limits, text::Language::english, jobs, first,
                             nullptr, &bytes));
    CountsCache cache;
    ASSERT_TRUE(cache.parse(bytes));
    EXPECT_EQ(cache.forms(), (std::vector<std::string_view>{"bind", "fork", "forks", "listen",
                                                            "listening", "socket", "sockets"}));
    // Every other document from the file, the others read again.
    auto mixed = [&](std::size_t i, SourceText& text) {
      if (i % 2 == 0) {
        text.counted = cache.find(names[i]);
      } else {
        text.text = texts[i];
      }
    };
    Corpus second;
    std::string again;
    ASSERT_TRUE(
        build_corpus(names, mixed, limits, text::Language::english, jobs, second, &cache, &again));
    EXPECT_EQ(second.stems, first.stems);
    EXPECT_EQ(second.labels, first.labels);
    ASSERT_EQ(second.documents.size(), first.documents.size());
    for (std::size_t d = 0; d < first.documents.size(); ++d) {
      EXPECT_EQ(second.documents[d].name, first.documents[d].name);
      EXPECT_EQ(second.documents[d].terms, first.documents[d].terms) << names[d];
    }
    EXPECT_EQ(again, bytes) << jobs << " jobs";
  }
}

}  // namespace
}  // namespace somlabel::somtrain
