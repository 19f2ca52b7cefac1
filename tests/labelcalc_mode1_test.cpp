#include "labelcalc/mode1_step.h"

#include <gtest/gtest.h>

#include "tests/test_util.h"

namespace somlabel::labelcalc {
namespace {

class Mode1Test : public testing::Test {
 protected:
  Mode1Test() { settings_.keypath = dir_.str(); }

  void key_file(const std::string& name, const std::string& text) {
    testutil::write_file(dir_.path() / (name + ".key"), text);
  }

  bool run(const std::vector<std::string>& documents) {
    unit u;
    u.filelist = documents;
    u.nr_mapped_vecs = static_cast<int>(documents.size());
    testutil::Output out;
    const bool ok = do_the_calcman(u, out.get(), settings_).ok();
    labels_ = out.text();
    return ok;
  }

  testutil::TempDir dir_;
  Settings settings_;
  std::string labels_;
};

TEST_F(Mode1Test, MergesTheDocumentsOfTheUnit) {
  key_file("d1", "Data Mining\tdata mine\t0.5\nNeural Networks\tneural network\t0.3\n");
  key_file("d2", "data mining\tdata mine\t0.25\nmining\tmine\t0.1\n");
  ASSERT_TRUE(run({"d1", "d2"}));
  EXPECT_EQ(labels_,
            "$MODE1_PHRASES 2\nData Mining\tdata mine\t0.850000\n"
            "Neural Networks\tneural network\t0.300000\n");
}

TEST_F(Mode1Test, RunsOfTabsSeparateTheFieldsOnce) {
  key_file("d1", "\t\tData Mining\t\t\tdata mine\t\t0.5\n");
  ASSERT_TRUE(run({"d1"}));
  EXPECT_EQ(labels_, "$MODE1_PHRASES 1\nData Mining\tdata mine\t0.500000\n");
}

TEST_F(Mode1Test, NoDocumentsOrEmptyKeyFilesGiveAnEmptyBlock) {
  ASSERT_TRUE(run({}));
  EXPECT_EQ(labels_, "$MODE1_PHRASES 0\n");
  key_file("empty", "");
  ASSERT_TRUE(run({"empty"}));
  EXPECT_EQ(labels_, "$MODE1_PHRASES 0\n");
}

TEST_F(Mode1Test, OneMissingKeyFileFailsTheUnitAndWritesNothing) {
  key_file("d1", "A\ta\t0.5\n");
  testing::internal::CaptureStderr();
  EXPECT_FALSE(run({"d1", "gone"}));
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Couldn't open file " + dir_.str() + "gone.key (No such file or directory)\n");
  EXPECT_EQ(labels_, "");
}

TEST_F(Mode1Test, AFullTableDropsNewPhrasesWithANotice) {
  std::string lines;
  for (int i = 0; i < 1000; ++i) lines += "P\tp" + std::to_string(i) + "\t1.0\n";
  key_file("full", lines + "Extra Phrase\textra phrase\t9.0\n");
  testing::internal::CaptureStdout();
  ASSERT_TRUE(run({"full"}));
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Extra Phrase omitted, maximum phrases per unit (1000) reached!!\n");
  EXPECT_EQ(labels_.substr(0, 19), "$MODE1_PHRASES 1000") << "all tie at 1.0";
}

}  // namespace
}  // namespace somlabel::labelcalc
