#include "labelcalc/map_keyfile.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "tests/test_util.h"

namespace somlabel::labelcalc {
namespace {

// The block a labelunit stream gives, with the number of phrases asked for.
std::string map_block(const std::string& labelunit, int number_of_phrases = 15) {
  PhraseTable table;
  FILE* in = testutil::input(labelunit);
  LineReader reader(in);
  EXPECT_TRUE(gather_mode1_blocks(reader, "m.unit", table));
  std::fclose(in);
  testutil::Output out;
  table.write_block(out.get(), table.finish(number_of_phrases));
  return out.text();
}

TEST(MapKeyFile, MergesEveryBlockOfTheFile) {
  const std::string labelunit =
      "$POS_X 0\n$MODE1_PHRASES 2\nData Mining\tdata mine\t0.850000\n"
      "Neural Networks\tneural network\t0.300000\n$NR_LABELS 0\n"
      "$POS_X 1\n$MODE1_PHRASES 2\ndata mining\tdata mine\t0.250000\nText\ttext\t0.400000\n";
  EXPECT_EQ(map_block(labelunit),
            "$MODE1_PHRASES 3\nData Mining\tdata mine\t1.100000\nText\ttext\t0.400000\n"
            "Neural Networks\tneural network\t0.300000\n");
}

TEST(MapKeyFile, OnlyHeadersOutsideBlocksCount) {
  // A zero count opens no block; a phrase line that looks like a header is
  // still a phrase line; mode-0 lines are passed over.
  const std::string labelunit =
      "$MODE1_PHRASES 0\n$M0_LABEL x\tx\t9.0\n$MODE1_PHRASES 1\n$MODE1_PHRASES 5\tstem\t0.5\n"
      "$MODE1_PHRASES -3\nnot\ta\tblock\n  $MODE1_PHRASES 1\nA\ta\t0.25\n";
  EXPECT_EQ(map_block(labelunit),
            "$MODE1_PHRASES 2\n$MODE1_PHRASES 5\tstem\t0.500000\nA\ta\t0.250000\n");
}

TEST(MapKeyFile, BlockCutShortByTheEndOfTheFile) {
  EXPECT_EQ(map_block("$MODE1_PHRASES 9\nA\ta\t0.5\n"), "$MODE1_PHRASES 1\nA\ta\t0.500000\n");
  EXPECT_EQ(map_block("$POS_X 0\n"), "$MODE1_PHRASES 0\n") << "no mode-1 lines at all";
}

TEST(MapKeyFile, WrongFormatNamesTheMapBaseName) {
  PhraseTable table;
  FILE* in = testutil::input("$MODE1_PHRASES 2\nA\ta\t0.5\nB\tb\n");
  LineReader reader(in);
  testing::internal::CaptureStderr();
  EXPECT_FALSE(gather_mode1_blocks(reader, "world.unit", table));
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Wrong format of keyfile: world.unit\nDesired format:phrase stemmed_phrase score !\n"
            "Start KEAKeyphraseExtractor with option -a !");
  std::fclose(in);
}

TEST(MapKeyFile, AWriteThatFailsOnlyAtTheCloseFailsTheMap) {
  testutil::TempDir dir;
  testutil::write_file(dir.path() / "m.unit.labelunit", "$MODE1_PHRASES 1\nA\ta\t0.5\n");
  std::filesystem::create_directory(dir.path() / "key");
  std::filesystem::create_symlink("/dev/full", dir.path() / "key" / "m.unit.key");
  Settings settings;
  settings.keypath = dir.str() + "key/";
  testing::internal::CaptureStderr();
  EXPECT_FALSE(write_map_keyfile(dir.str() + "m.unit", settings));
  const std::string keyfile = settings.keypath + "m.unit.key";
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "labelcalc: cannot write " + keyfile + ": " + std::strerror(ENOSPC) + "\n");
}

TEST(MapKeyFile, FullTableDropsNewPhrasesWithANotice) {
  std::string labelunit = "$MODE1_PHRASES 1002\n";
  for (int i = 0; i < 1000; ++i) labelunit += "P\tp" + std::to_string(i) + "\t1.0\n";
  labelunit += "New\tnew\t5.0\np7\tp7\t2.0\n";
  PhraseTable table;
  FILE* in = testutil::input(labelunit);
  LineReader reader(in);
  testing::internal::CaptureStdout();
  EXPECT_TRUE(gather_mode1_blocks(reader, "m.unit", table));
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "phrase New is omitted, maximum phrases per unit (1000) reached!!\n");
  std::fclose(in);
  ASSERT_EQ(table.finish(1), 1);
  EXPECT_EQ(table.entry(table.count() - 1).stemmed_phrase, "p7") << "known phrases still gain";
}

}  // namespace
}  // namespace somlabel::labelcalc
