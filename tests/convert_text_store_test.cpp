// The store of the documents' text: what it holds, and what a rerun redoes.
#include "convert/text_store.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "common/io.h"
#include "convert/convert.h"
#include "tests/test_util.h"

namespace somlabel::convert {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> reasons(const StoreReport& report) {
  std::vector<std::string> lines;
  for (const PassedOver& file : report.passed_over) lines.push_back(file.name + ": " + file.reason);
  return lines;
}

TEST(TextStore, LinksPlainTextConvertsTheRestAndRedoesOnlyWhatChanged) {
  testutil::TempDir dir;
  const std::string docs = dir.str() + "docs", store = dir.str() + "out/text";
  testutil::write_file(docs + "/a.txt", "plain words\n");
  testutil::write_file(docs + "/sub/b.html", "<title>T</title><p>page <b>text</b>");
  testutil::write_file(docs + "/latin", "Le caf\xe9 est une biblioth\xe8que o\xf9 l'on lit.\n");
  testutil::write_file(docs + "/bin", std::string("\0\1\2", 3));
  testutil::write_file(docs + "/empty", "");
  testutil::write_file(docs + "/two words", "x");
  testutil::write_file(docs + "/out/text/ignored", "the output inside the documents");
  StoreReport report;
  ASSERT_TRUE(update_text_store(docs, store, dir.str() + "docs/out", 2, report).ok());
  EXPECT_EQ(report.names, std::vector<std::string>({"a.txt", "latin", "sub/b.html"}));
  EXPECT_EQ(reasons(report),
            std::vector<std::string>({"bin: not text (binary or compressed)", "empty: no words",
                                      "two words: a blank in the name (unit files separate names "
                                      "by blanks)"}));
  EXPECT_EQ(store_summary(report),
            "passed over 3 of 6 files (1 binary, 1 without words, 1 with a blank in the name)");
  EXPECT_TRUE(fs::is_symlink(store + "/a.txt"));
  EXPECT_EQ(testutil::read_file(store + "/a.txt"), "plain words\n");
  EXPECT_EQ(testutil::read_file(store + "/sub/b.html"), "T\n\npage text\n");
  EXPECT_EQ(testutil::read_file(store + "/latin"),
            "Le caf\xc3\xa9 est une biblioth\xc3\xa8que o\xc3\xb9 l'on lit.\n");
  ASSERT_EQ(report.made.size(), 3u);  // latin: read as the encoding the detector names
  EXPECT_EQ(report.made[0], "a.txt");
  EXPECT_EQ(report.made[2], "sub/b.html: read as HTML");

  const long long listed = modification_time(store + "/" + kStoreList);
  ASSERT_TRUE(update_text_store(docs, store, dir.str() + "docs/out", 2, report).ok());
  EXPECT_TRUE(report.made.empty());
  EXPECT_FALSE(report.changed);
  EXPECT_EQ(modification_time(store + "/" + kStoreList), listed);
  EXPECT_EQ(report.names.size(), 3u);

  // A document gone, one that became HTML, one that became empty.
  fs::remove(docs + "/sub/b.html");
  testutil::write_file(docs + "/a.txt", "<!DOCTYPE html><p>now a page");
  fs::last_write_time(docs + "/a.txt", fs::file_time_type::clock::now() + std::chrono::seconds(5));
  testutil::write_file(docs + "/latin", " ");
  fs::last_write_time(docs + "/latin", fs::file_time_type::clock::now() + std::chrono::seconds(5));
  ASSERT_TRUE(update_text_store(docs, store, dir.str() + "docs/out", 1, report).ok());
  EXPECT_EQ(report.names, std::vector<std::string>({"a.txt"}));
  EXPECT_EQ(report.made, std::vector<std::string>({"a.txt: read as HTML"}));
  EXPECT_EQ(report.removed, 2u);
  EXPECT_FALSE(fs::is_symlink(store + "/a.txt"));
  EXPECT_EQ(testutil::read_file(store + "/a.txt"), "now a page\n");
  EXPECT_FALSE(fs::exists(store + "/sub"));
  EXPECT_FALSE(fs::exists(store + "/latin"));

  // A document that became a folder of documents.
  fs::remove(docs + "/a.txt");
  testutil::write_file(docs + "/a.txt/inner", "inner words");
  ASSERT_TRUE(update_text_store(docs, store, dir.str() + "docs/out", 1, report).ok());
  EXPECT_EQ(report.names, std::vector<std::string>({"a.txt/inner"}));
  EXPECT_EQ(testutil::read_file(store + "/a.txt/inner"), "inner words");
}

TEST(TextStore, SummaryCountsEachKindAndTheCut) {
  StoreReport report;
  report.names = {"a", "b"};
  report.cut = {"b"};
  EXPECT_EQ(store_summary(report), "cut 1");
  report.passed_over = {{"c.pdf", std::string(kEncrypted)},
                        {"d.pdf", std::string(kPdfWithoutText)},
                        {"e", "unreadable (Permission denied)"}};
  EXPECT_EQ(store_summary(report),
            "passed over 3 of 5 files (1 without words, 2 unreadable); cut 1");
  EXPECT_EQ(store_summary(StoreReport{}), "");
}

}  // namespace
}  // namespace somlabel::convert
