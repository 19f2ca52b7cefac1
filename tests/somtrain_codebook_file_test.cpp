// The codebook file: what is written reads back the same; damage of every
// kind is refused with its reason; a stored map keeps only the terms it
// weighs and is restored over another vocabulary by stem; and a file made
// once by somtrain is still read.
#include <gtest/gtest.h>

#include <cstring>

#include "common/io.h"
#include "somtrain/codebook_file.h"

namespace somlabel::somtrain {
namespace {

const StoredCodebook kTwoUnits{Grid{2, 1}, 3, 7, 9, {"bind", "listen"}, {0.5f, 0.25f, 1.0f, 0.0f}};

TEST(SomtrainCodebookFile, ReadsBackWhatWasWritten) {
  const std::string bytes = codebook_file_bytes(kTwoUnits);
  EXPECT_EQ(bytes.size(), 64u + std::strlen("bind\nlisten\n") + 4 * sizeof(float));
  StoredCodebook read;
  ASSERT_TRUE(parse_codebook_file(bytes, read).ok());
  EXPECT_EQ(read, kTwoUnits);
}

TEST(SomtrainCodebookFile, DamageIsRefusedWithItsReason) {
  const std::string good = codebook_file_bytes(kTwoUnits);
  auto with = [&](std::size_t at, char byte) {
    std::string bytes = good;
    bytes[at] = byte;
    return bytes;
  };
  StoredCodebook out_of_order = kTwoUnits;
  out_of_order.stems = {"listen", "bind"};
  const struct {
    std::string bytes;
    const char* reason;
  } cases[] = {
      {good.substr(0, 63), "shorter than its header"},
      {with(0, 'X'), "not a codebook file"},
      {with(8, 2), "a codebook of version 2, this somtrain reads version 1"},
      {with(16, 5), "sizes that do not fit its length"},  // 5 x 1 units, 2 x 1 stored
      {good.substr(0, good.size() - 1), "sizes that do not fit its length"},
      {with(good.size() - 1, 0x40), "checksum mismatch (damaged)"},
      {codebook_file_bytes(out_of_order), "stems that are not one a line in ascending order"},
  };
  for (const auto& c : cases) {
    StoredCodebook read;
    const Result<Reason> parsed = parse_codebook_file(c.bytes, read);
    EXPECT_FALSE(parsed.ok()) << c.reason;
    EXPECT_EQ(parsed.message(), c.reason);
  }
}

TEST(SomtrainCodebookFile, KeepsTheTermsItWeighsAndRestoresThemByStem) {
  // Over a, b, c; no unit weighs b. 0.1 is no float: it is stored rounded.
  Codebook codebook{Grid{1, 2}, 3, {0.1, 0.0, 1.0, 0.5, 0.0, 0.0}};
  round_to_stored(codebook);
  EXPECT_EQ(codebook.weights[0], static_cast<double>(0.1f));
  const StoredCodebook stored = stored_codebook(codebook, {"a", "b", "c"});
  EXPECT_EQ(stored.stems, (std::vector<std::string>{"a", "c"}));
  EXPECT_EQ(stored.weights, (std::vector<float>{0.1f, 1.0f, 0.5f, 0.0f}));
  // Over a vocabulary without c and with d: a keeps its weights, d weighs 0.
  const Codebook restored = restored_codebook(stored, {"0", "a", "d"});
  EXPECT_EQ(restored.dims, 3u);
  EXPECT_EQ(restored.weights, (std::vector<double>{0.0, 0.1f, 0.0, 0.0, 0.5, 0.0}));
}

// Made once by `somtrain --xdim 1 --ydim 1 --depth 1 --min-df 1 --max-df 1 DOCS OUT` on d1
// "Socket bind" and d2 "socket listen.": "socket" is in both and weighs nothing, d1 is the
// vector (bind 1), d2 (listen 1), and the one unit their mean.
TEST(SomtrainCodebookFile, PinnedFileOfTheFirstVersionIsStillRead) {
  std::string bytes;
  ASSERT_TRUE(read_file(TESTS_DIR "/fixtures/somtrain/pinned.codebook", bytes).ok());
  StoredCodebook read;
  ASSERT_TRUE(parse_codebook_file(bytes, read).ok());
  EXPECT_EQ(read.grid.xdim, 1);
  EXPECT_EQ(read.grid.ydim, 1);
  EXPECT_EQ(read.documents, 2u);
  EXPECT_EQ(read.stems, (std::vector<std::string>{"bind", "listen"}));
  EXPECT_EQ(read.weights, (std::vector<float>{0.5f, 0.5f}));
}

}  // namespace
}  // namespace somlabel::somtrain
