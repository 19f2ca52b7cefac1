#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "labelcalc/mode0_step.h"

namespace somlabel::labelcalc {
namespace {

namespace fs = std::filesystem;

void write_file(const std::string& name, const std::string& bytes) {
  std::ofstream(name, std::ios::binary) << bytes;
}

std::string read_file(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

unit make_unit(std::vector<std::string> documents, std::string x = "0", std::string y = "0") {
  unit u;
  u.pos_x_str = std::move(x);
  u.pos_y_str = std::move(y);
  u.nr_mapped_vecs = static_cast<int>(documents.size());
  u.filelist = std::move(documents);
  return u;
}

std::string extractor(const char* name) { return std::string(TESTS_DIR) + "/extractors/" + name; }

// Each test runs in a fresh directory holding the default layout under output/.
class Mode0Test : public ::testing::Test {
 protected:
  void SetUp() override {
    char name[] = "/tmp/somlabel_mode0_XXXXXX";
    ASSERT_NE(mkdtemp(name), nullptr);
    dir_ = name;
    old_cwd_ = fs::current_path();
    fs::current_path(dir_);
    for (const char* sub : {"output/tmp_kea", "output/key", "output/files"}) {
      fs::create_directories(sub);
    }
    settings_.kea_program = extractor("write_keys.sh");
  }
  void TearDown() override {
    fs::current_path(old_cwd_);
    fs::remove_all(dir_);
  }

  // Runs the step; the labelunit lines land in labels_, standard error in errors_.
  bool run(const unit& u, const std::string& map = "output/m.unit") {
    char* bytes = nullptr;
    size_t size = 0;
    FILE* opf = open_memstream(&bytes, &size);
    testing::internal::CaptureStderr();
    const bool ok = do_the_catman(u, opf, map, settings_).ok();
    errors_ = testing::internal::GetCapturedStderr();
    std::fclose(opf);
    labels_.assign(bytes, size);
    std::free(bytes);
    return ok;
  }

  fs::path dir_, old_cwd_;
  Settings settings_;
  std::string labels_, errors_;
};

// The labels write_keys.sh gives the unit text file of unit 0/0 of map m.unit.
std::string labels_for_size(int size) {
  return "$MODE0_PHRASES 15\n$M0_LABEL m.unit.0_0\tm.unit.0_0\t1.0\n$M0_LABEL size " +
         std::to_string(size) + "\tsize " + std::to_string(size) + "\t0.5\n";
}

TEST_F(Mode0Test, JoinsDocumentsByteForByteInListOrder) {
  write_file("output/files/a", "alpha\n");
  write_file("output/files/b", "beta");
  write_file("output/files/c", std::string("x\0\xff y\n", 6));
  ASSERT_TRUE(run(make_unit({"b", "a", "c", "b"}))) << errors_;
  EXPECT_EQ(read_file("output/key/m.unit.0_0.txt"), std::string("betaalpha\nx\0\xff y\nbeta", 20));
  EXPECT_EQ(labels_, labels_for_size(20));
  EXPECT_EQ(errors_, "");
  EXPECT_FALSE(fs::exists("output/tmp_kea/m.unit.0_0.txt"));
  EXPECT_TRUE(fs::exists("output/tmp_kea/m.unit.0_0.key"));  // left where the extractor put it
}

TEST_F(Mode0Test, JoinsOnlyTheDocumentsTheUnitStores) {
  write_file("output/files/a", "12345");
  unit u = make_unit({"a", "a", "not-there"});
  u.nr_mapped_vecs = 2;  // the third name is never opened
  ASSERT_TRUE(run(u)) << errors_;
  EXPECT_EQ(labels_, labels_for_size(10));
  u.nr_mapped_vecs = 7;  // more declared than stored: the stored ones count
  u.filelist.pop_back();
  ASSERT_TRUE(run(u)) << errors_;
  EXPECT_EQ(labels_, labels_for_size(10));
}

TEST_F(Mode0Test, UnitWithoutDocumentsStillRunsTheExtractor) {
  for (int declared : {0, -3}) {
    unit u = make_unit({});
    u.nr_mapped_vecs = declared;
    ASSERT_TRUE(run(u, "m.unit")) << errors_;  // a map name without "/" is its own base name
    EXPECT_EQ(labels_, labels_for_size(0));
    EXPECT_EQ(read_file("output/key/m.unit.0_0.txt"), "");
  }
}

TEST_F(Mode0Test, LargeDocumentIsCopiedWhole) {
  std::string big(3 * 1024 * 1024 + 7, '\0');
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7919 % 251);
  write_file("output/files/big", big);
  ASSERT_TRUE(run(make_unit({"big"}))) << errors_;
  EXPECT_TRUE(read_file("output/key/m.unit.0_0.txt") == big);
  EXPECT_EQ(labels_, labels_for_size(3 * 1024 * 1024 + 7));
}

TEST_F(Mode0Test, DocumentThatCannotBeReadFailsTheUnitBeforeTheExtractorRuns) {
  settings_.kea_program = extractor("record_args.sh");
  write_file("output/files/a", "alpha");
  fs::create_directory("output/files/folder");
  ASSERT_FALSE(run(make_unit({"a", "gone", "a"})));
  EXPECT_EQ(errors_, "File not found output/files/gone (No such file or directory)\n");
  EXPECT_EQ(labels_, "");
  EXPECT_EQ(read_file("output/tmp_kea/m.unit.0_0.txt"), "alpha");  // what was copied so far
  EXPECT_FALSE(fs::exists("extractor.args"));

  ASSERT_FALSE(run(make_unit({"folder"})));
  EXPECT_EQ(errors_, "File not found output/files/folder (Is a directory)\n");
  EXPECT_EQ(labels_, "");
  EXPECT_FALSE(fs::exists("extractor.args"));
}

TEST_F(Mode0Test, UnitTextFileThatCannotBeWrittenFailsTheUnit) {
  write_file("output/files/a", "alpha");
  settings_.kea_tmp_path = "output/missing/";
  ASSERT_FALSE(run(make_unit({"a"})));
  EXPECT_EQ(errors_,
            "Couldn't write to disk output/missing/m.unit.0_0.txt\n"
            "labelcalc: output/missing/m.unit.0_0.txt: No such file or directory\n");
  EXPECT_EQ(labels_, "");

  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  settings_.kea_tmp_path = "output/tmp_kea/";
  fs::create_symlink("/dev/full", "output/tmp_kea/m.unit.0_0.txt");
  ASSERT_FALSE(run(make_unit({"a"})));
  EXPECT_EQ(errors_,
            "Couldn't write to disk output/tmp_kea/m.unit.0_0.txt\n"
            "labelcalc: output/tmp_kea/m.unit.0_0.txt: No space left on device\n");
  EXPECT_EQ(labels_, "");
}

TEST_F(Mode0Test, KeyFileOfAnEarlierRunIsNeverTakenForTheCurrentOne) {
  const std::string stale = "stale\tstale\t9.9\n";
  write_file("output/tmp_kea/m.unit.0_0.key", stale);
  ASSERT_TRUE(run(make_unit({}))) << errors_;  // write_keys.sh skips units that have a key file
  EXPECT_EQ(labels_, labels_for_size(0));

  for (const char* silent : {"write_nothing.sh", "fail_without_writing.sh"}) {
    write_file("output/tmp_kea/m.unit.0_0.key", stale);
    settings_.kea_program = extractor(silent);
    ASSERT_FALSE(run(make_unit({}))) << silent;
    EXPECT_EQ(labels_, "");
    EXPECT_NE(errors_.find("Uiiii, where is it ??  /output/tmp_kea/m.unit.0_0.key (No such file or "
                           "directory)\n"),
              std::string::npos)
        << errors_;
  }
}

TEST_F(Mode0Test, OldKeyFileThatCannotBeRemovedFailsTheUnitBeforeTheExtractorRuns) {
  settings_.kea_program = extractor("record_args.sh");
  fs::create_directory("output/tmp_kea/m.unit.0_0.key");
  ASSERT_FALSE(run(make_unit({})));
  EXPECT_EQ(errors_,
            "labelcalc: cannot remove the old key file output/tmp_kea/m.unit.0_0.key: "
            "Is a directory\n");
  EXPECT_EQ(labels_, "");
  EXPECT_FALSE(fs::exists("extractor.args"));
}

TEST_F(Mode0Test, ExtractorExitStatusIsNotExamined) {
  settings_.kea_program = extractor("fail_after_writing.sh");
  ASSERT_TRUE(run(make_unit({}))) << errors_;
  EXPECT_EQ(labels_, labels_for_size(0));
}

TEST_F(Mode0Test, EveryLabelLineEndsWithANewline) {
  settings_.kea_program = extractor("no_final_newline.sh");
  settings_.number_of_phrases = 7;
  ASSERT_TRUE(run(make_unit({}))) << errors_;
  EXPECT_EQ(labels_, "$MODE0_PHRASES 7\n$M0_LABEL alpha\talpha\t0.9\n$M0_LABEL beta\tbeta\t0.4\n");

  settings_.kea_program = extractor("write_empty_keys.sh");
  ASSERT_TRUE(run(make_unit({}))) << errors_;
  EXPECT_EQ(labels_, "$MODE0_PHRASES 7\n");
}

TEST_F(Mode0Test, ExtractorGetsOneArgumentPerWordWithoutAShell) {
  settings_.kea_program = extractor("record_args.sh");
  settings_.kea_tmp_path = "tmp kea;ls/";
  settings_.model = "my model";
  settings_.number_of_phrases = 1234;
  fs::create_directory("tmp kea;ls");
  ASSERT_TRUE(run(make_unit({}))) << errors_;
  EXPECT_EQ(read_file("extractor.args"), "-l\ntmp kea;ls/\n-m\nmy model\n-n\n1234\n-a\n");
  EXPECT_TRUE(fs::exists("output/key/m.unit.0_0.txt"));
}

TEST_F(Mode0Test, JavaAndBareProgramNamesAreFoundOnPath) {
  fs::create_directory("bin");
  const std::string wrapper = "#!/bin/sh\nexec " + extractor("record_args.sh") + " \"$@\"\n";
  for (const char* name : {"bin/java", "bin/my-extractor"}) {
    write_file(name, wrapper);
    fs::permissions(name, fs::perms::owner_all);
  }
  const std::string old_path = getenv("PATH");
  setenv("PATH", (fs::current_path() / "bin").string().append(":").append(old_path).c_str(), 1);
  settings_.kea_program = "";
  const bool java_ok = run(make_unit({}));
  const std::string java_args = read_file("extractor.args");
  settings_.kea_program = "my-extractor";
  const bool bare_ok = run(make_unit({}));
  setenv("PATH", old_path.c_str(), 1);
  EXPECT_TRUE(java_ok && bare_ok) << errors_;
  EXPECT_EQ(java_args, "KEAKeyphraseExtractor\n-l\noutput/tmp_kea/\n-m\nkea_model\n-n\n15\n-a\n");
  EXPECT_EQ(read_file("extractor.args"), "-l\noutput/tmp_kea/\n-m\nkea_model\n-n\n15\n-a\n");
}

TEST_F(Mode0Test, ShellMetacharactersInNamesAreNeverInterpreted) {
  write_file("output/files/a;touch pwned_doc", "alpha");
  const unit u =
      make_unit({"a;touch pwned_doc"}, "1;touch pwned_x;", "$(touch pwned_y)`touch pwned_z`");
  ASSERT_TRUE(run(u, "output/m|touch pwned_map&")) << errors_;
  const std::string stem = "m|touch pwned_map&.1;touch pwned_x;_$(touch pwned_y)`touch pwned_z`";
  EXPECT_EQ(read_file("output/key/" + stem + ".txt"), "alpha");
  EXPECT_EQ(labels_, "$MODE0_PHRASES 15\n$M0_LABEL " + stem + "\t" + stem +
                         "\t1.0\n$M0_LABEL size 5\tsize 5\t0.5\n");
  for (const char* marker : {"pwned", "pwned_x", "pwned_y", "pwned_z", "pwned_map", "pwned_doc"}) {
    EXPECT_FALSE(fs::exists(marker)) << marker;
  }
}

TEST_F(Mode0Test, ExtractorThatCannotBeStartedFailsTheUnitNamingIt) {
  write_file("output/not-executable", "#!/bin/sh\n");
  const std::pair<std::string, std::string> cases[] = {
      {"somlabel-no-such-extractor", "No such file or directory"},
      {"output/not-executable", "Permission denied"},
  };
  for (const auto& [program, reason] : cases) {
    settings_.kea_program = program;
    ASSERT_FALSE(run(make_unit({})));
    EXPECT_EQ(errors_, "labelcalc: cannot start the keyphrase extractor " + program + ": " +
                           reason +
                           "\nUiiii, where is it ??  /output/tmp_kea/m.unit.0_0.key (No such file "
                           "or directory)\n");
    EXPECT_EQ(labels_, "");
    EXPECT_TRUE(fs::exists("output/key/m.unit.0_0.txt"));  // moved all the same
  }
}

TEST_F(Mode0Test, UnitTextFileReplacesAnEarlierOneInTheKeyDirectory) {
  write_file("output/files/a", "new");
  write_file("output/key/m.unit.0_0.txt", "older and longer");
  ASSERT_TRUE(run(make_unit({"a"}))) << errors_;
  EXPECT_EQ(read_file("output/key/m.unit.0_0.txt"), "new");
}

TEST_F(Mode0Test, FailedMoveIsReportedAndTheLabelsStillCount) {
  settings_.keypath = "output/no-such-dir/";
  ASSERT_TRUE(run(make_unit({}))) << errors_;
  EXPECT_EQ(errors_,
            "labelcalc: cannot move output/tmp_kea/m.unit.0_0.txt to "
            "output/no-such-dir/m.unit.0_0.txt: No such file or directory\n");
  EXPECT_EQ(labels_, labels_for_size(0));
}

TEST_F(Mode0Test, UnitTextFileMovesAcrossFileSystems) {
  char name[] = "/dev/shm/somlabel_mode0_XXXXXX";
  struct stat shm_info, here_info;
  if (mkdtemp(name) == nullptr) GTEST_SKIP() << "no /dev/shm";
  const std::string tmp = name;
  if (stat(tmp.c_str(), &shm_info) != 0 || stat(".", &here_info) != 0 ||
      shm_info.st_dev == here_info.st_dev) {
    fs::remove_all(tmp);
    GTEST_SKIP() << "/dev/shm is on the same file system";
  }
  settings_.kea_tmp_path = tmp + "/";
  write_file("output/files/a", "across");
  write_file("output/key/m.unit.0_0.txt", "older and longer");
  const bool ok = run(make_unit({"a"}));
  const bool left_behind = fs::exists(tmp + "/m.unit.0_0.txt");
  fs::remove_all(tmp);
  ASSERT_TRUE(ok) << errors_;
  EXPECT_EQ(errors_, "");
  EXPECT_EQ(read_file("output/key/m.unit.0_0.txt"), "across");
  EXPECT_FALSE(left_behind);
  EXPECT_EQ(labels_, labels_for_size(6));
}

}  // namespace
}  // namespace somlabel::labelcalc
