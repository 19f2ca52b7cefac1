#include "common/settings.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <span>
#include <string>
#include <vector>

#include "common/frame.h"
#include "tests/test_util.h"

namespace somlabel {
namespace {

// Keys of a tool of its own, beyond those every tool knows.
constexpr OptionKey kOwnKeys[] = {
    text_key("KEYFILESLINKPATH", &Settings::keylinkpath),
    number_key("KEYLINKS_OUTPUT", &Settings::keylinks_output),
};

OptionResult read(const std::string& text, Settings& settings,
                  std::span<const OptionKey> own_keys = {}) {
  FILE* in = testutil::input(text);
  LineReader lines(in);
  const OptionResult result = read_option_file(lines, own_keys, settings);
  std::fclose(in);
  return result;
}

TEST(OptionFile, EmptyFileKeepsEveryDefault) {
  Settings settings;
  ASSERT_EQ(read("", settings), OptionResult::ok);
  EXPECT_EQ(settings.mode, 1);
  EXPECT_EQ(settings.model, "kea_model");
  EXPECT_EQ(settings.number_of_phrases, 15);
  EXPECT_EQ(settings.path, "output/");
  EXPECT_EQ(settings.keypath, "output/key/");
  EXPECT_EQ(settings.keyfileending, ".key");
  EXPECT_EQ(settings.sourcepath, "output/files/");
  EXPECT_EQ(settings.kea_tmp_path, "output/tmp_kea/");
  EXPECT_EQ(settings.keylinkpath, "key/");
  EXPECT_EQ(settings.sourcelinkpath, "files/");
  EXPECT_EQ(settings.keylinks_output, 1);
  EXPECT_EQ(settings.cadrelI_output, 1);
  EXPECT_EQ(settings.filelinks_output, 1);
}

TEST(OptionFile, TheLastValueAndTheLastLineWin) {
  Settings settings;
  ASSERT_EQ(read("KEYPATH a/ b/\nNUMBEROFPHRASES 3\nNUMBEROFPHRASES   7\n", settings),
            OptionResult::ok);
  EXPECT_EQ(settings.keypath, "b/");
  EXPECT_EQ(settings.number_of_phrases, 7);
}

TEST(OptionFile, ABlankBeforeTheLineEndEmptiesTheSetting) {
  Settings settings;
  ASSERT_EQ(read("OUTPUTPATH out/ \nNUMBEROFPHRASES 9 \n", settings), OptionResult::ok);
  EXPECT_EQ(settings.path, "");
  EXPECT_EQ(settings.number_of_phrases, 0);
}

TEST(OptionFile, OnlyExactKeysSeparatedBySpaces) {
  Settings settings;
  ASSERT_EQ(read("keypath x/\nKEYPATH\ty/\n# KEYPATH z/\nKEYPATH\n", settings), OptionResult::ok);
  EXPECT_EQ(settings.keypath, "output/key/");
}

TEST(OptionFile, LastLineWithoutLineEndIsTakenWhole) {
  Settings settings;
  ASSERT_EQ(read("SOURCEPATH docs/", settings), OptionResult::ok);
  EXPECT_EQ(settings.sourcepath, "docs/");
}

TEST(OptionFile, LongValuesAreKeptWhole) {
  Settings settings;
  const std::string long_path(5000, 'p');
  ASSERT_EQ(read("KEYPATH " + long_path + "/\n", settings), OptionResult::ok);
  EXPECT_EQ(settings.keypath, long_path + "/");
}

TEST(OptionFile, ModeIsValidatedValueByValue) {
  Settings settings;
  EXPECT_EQ(read("MODE 3\n", settings), OptionResult::invalid_mode);
  Settings two_then_seven;
  EXPECT_EQ(read("MODE 2 7\n", two_then_seven), OptionResult::invalid_mode);
  Settings word;
  EXPECT_EQ(read("MODE two\n", word), OptionResult::ok);
  EXPECT_EQ(word.mode, 0);
  Settings with_own_keys;
  EXPECT_EQ(read("MODE -1\n", with_own_keys, kOwnKeys), OptionResult::invalid_mode);
}

TEST(OptionFile, AToolReadsItsOwnKeysAndPassesOverAllOthers) {
  const std::string text = "KEYLINKS_OUTPUT 0\nKEYFILESLINKPATH k/\nKEA_PROGRAM keyphrases\n";
  Settings without;
  ASSERT_EQ(read(text, without), OptionResult::ok);
  EXPECT_EQ(without.keylinks_output, 1);
  EXPECT_EQ(without.keylinkpath, "key/");
  Settings with;
  ASSERT_EQ(read(text, with, kOwnKeys), OptionResult::ok);
  EXPECT_EQ(with.keylinks_output, 0);
  EXPECT_EQ(with.keylinkpath, "k/");
  EXPECT_EQ(with.kea_program, "") << "a key of no list";
}

TEST(ProcessFile, OneNamePerLineBehindThePath) {
  std::vector<std::string> names;
  FILE* in = testutil::input("a.unit\n\nsub dir/b.unit\nlast");
  LineReader lines(in);
  const Result<Told> ok = walk_process_file(lines, "out/", [&](std::string& name) {
    names.push_back(name);
    return Result<Told>();
  });
  std::fclose(in);
  EXPECT_TRUE(ok);
  EXPECT_EQ(names,
            (std::vector<std::string>{"out/a.unit", "out/", "out/sub dir/b.unit", "out/last"}));
}

TEST(ProcessFile, StopsAtTheFirstFailingMap) {
  std::vector<std::string> names;
  FILE* in = testutil::input("one\ntwo\nthree\n");
  LineReader lines(in);
  const Result<Told> ok = walk_process_file(lines, "", [&](std::string& name) {
    names.push_back(name);
    return name == "two" ? Told{} : Result<Told>();
  });
  std::fclose(in);
  EXPECT_FALSE(ok);
  EXPECT_EQ(names, (std::vector<std::string>{"one", "two"}));
}

}  // namespace
}  // namespace somlabel
