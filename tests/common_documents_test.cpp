// The rule by which every tool takes a folder's files as documents.
#include "common/documents.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/test_util.h"

namespace somlabel {
namespace {

std::vector<std::string> names_of(const std::vector<PassedOver>& passed_over) {
  std::vector<std::string> names;
  for (const PassedOver& p : passed_over) names.push_back(p.name + " | " + p.reason);
  return names;
}

TEST(Documents, FoundInEveryFolderByPathInByteOrder) {
  namespace fs = std::filesystem;
  testutil::TempDir dir;
  for (const char* name : {"b", "B", "a.txt", ".hidden", "two words", "x.gz", "sub/c.html",
                           "sub/deep/d", ".git/e", "sub/.f", "my folder/g", "out/h"}) {
    testutil::write_file(dir.path() / name, "x");
  }
  fs::create_directory(dir.path() / "empty");
  fs::create_symlink(dir.path() / "b", dir.path() / "link");
  fs::create_symlink(dir.path() / "nowhere", dir.path() / "dangling");
  fs::create_directory_symlink(dir.path(), dir.path() / "sub" / "loop");
  fs::create_directory_symlink(dir.path() / "sub" / "deep", dir.path() / "deep2");
  std::vector<std::string> names;
  std::vector<PassedOver> passed_over;
  ASSERT_TRUE(list_documents(dir.path().string(), names, passed_over, dir.str() + "out").ok());
  // deep2 comes first, so sub/deep is the folder reached twice.
  EXPECT_EQ(names,
            std::vector<std::string>({"B", "a.txt", "b", "deep2/d", "link", "sub/c.html", "x.gz"}));
  EXPECT_EQ(names_of(passed_over),
            std::vector<std::string>({"dangling | not a regular file",
                                      "my folder | a blank in the name (unit files separate "
                                      "names by blanks)",
                                      "two words | a blank in the name (unit files separate "
                                      "names by blanks)"}));
  const std::string missing = (dir.path() / "missing").string();
  EXPECT_EQ(list_documents(missing, names, passed_over).message(),
            "cannot read directory " + missing + ": No such file or directory");
  EXPECT_EQ(list_documents(dir.str() + "b", names, passed_over).message(),
            "cannot read directory " + dir.str() + "b: Not a directory");
}

TEST(Documents, EachNameComesWithItsFilesStamp) {
  namespace fs = std::filesystem;
  testutil::TempDir dir;
  // Written in another order than the names': each stamp must follow its name.
  testutil::write_file(dir.path() / "c", "three");
  testutil::write_file(dir.path() / "sub" / "b", "");
  testutil::write_file(dir.path() / "a", "one two");
  fs::create_symlink(dir.path() / "c", dir.path() / "link");
  std::vector<std::string> names;
  std::vector<PassedOver> passed_over;
  std::vector<FileStamp> stamps;
  ASSERT_TRUE(list_documents(dir.str(), names, passed_over, "", stamps).ok());
  ASSERT_EQ(names, std::vector<std::string>({"a", "c", "link", "sub/b"}));
  ASSERT_EQ(stamps.size(), 4u);
  const std::uint64_t sizes[] = {7, 5, 5, 0};
  for (std::size_t i = 0; i < 4; ++i) EXPECT_EQ(stamps[i].size, sizes[i]) << names[i];
  EXPECT_EQ(stamps[2], stamps[1]);  // a link is its file
  EXPECT_NE(stamps[0].inode, stamps[1].inode);
  EXPECT_GT(stamps[0].modified, 0u);
}

TEST(Documents, CutAtABlankOrACharacterNeverInAWord) {
  const std::string ten = "abcdefghi ";  // ten bytes, a blank last
  const struct {
    std::string text;
    size_t max;
    std::string kept;
  } cases[] = {
      {"short", 10, "short"},
      {ten + "more", 10, "abcdefghi"},
      {"one two three", 9, "one two"},
      {std::string(300, 'a') + " " + std::string(300, 'b'), 500, std::string(300, 'a')},
      {std::string(300, 'a') + " " + std::string(300, 'b'), 600,
       std::string(300, 'a') + " " + std::string(299, 'b')},
      {std::string(600, 'a'), 300, std::string(300, 'a')},  // no blank near: cut the word
      {std::string(299, 'a') + "\xc3\xa9z", 300, std::string(299, 'a')},  // not inside é
  };
  for (const auto& c : cases) {
    std::string text = c.text;
    cut_document(text, c.max);
    EXPECT_EQ(text, c.kept) << c.text.substr(0, 20);
  }
}

TEST(Documents, ReadBoundedAndJudged) {
  testutil::TempDir dir;
  const std::string big = std::string(kMaxDocumentBytes - 3, 'a') + " word and more";
  const struct {
    std::string bytes;
    size_t size;
    bool cut;
    std::string_view passed_over;
  } cases[] = {
      {"A text.", 7, false, {}},
      {"", 0, false, kNoWords},
      {" \n\t-- ... !!\n", 13, false, kNoWords},
      {"\xe9", 1, false, {}},  // Latin-1 é alone is a word
      {std::string("a\0b", 3), 3, false, kBinary},
      {big, kMaxDocumentBytes - 3, true, {}},
  };
  for (const auto& c : cases) {
    testutil::write_file(dir.path() / "d", c.bytes);
    DocumentRead document;
    ASSERT_TRUE(read_document(dir.str() + "d", document).ok());
    EXPECT_EQ(document.text.size(), c.size) << c.bytes.substr(0, 20);
    EXPECT_EQ(document.cut, c.cut) << c.bytes.substr(0, 20);
    EXPECT_EQ(document.passed_over, c.passed_over) << c.bytes.substr(0, 20);
  }
  DocumentRead document;
  EXPECT_EQ(read_document(dir.str() + "none", document).message(),
            "cannot open " + dir.str() + "none: No such file or directory");
  EXPECT_EQ(cut_message("x/y"), "x/y: cut: only its first 4 MiB are read");
}

TEST(Documents, BinaryFilesAreToldFromText) {
  const std::string controls_in_ten(9, 'a');
  const struct {
    std::string bytes;
    bool binary;
  } cases[] = {
      {"", false},
      {"plain text\n\twith tabs\r\n\fand a page end\n", false},
      {"Gr\xc3\xbc\xc3\x9f"
       "e, UTF-8 and Latin-1 \xe9t\xe9\n",
       false},
      {"\x1b[1mbold\x1b[0m and back\bspace", false},
      {std::string("text with one NUL\0byte", 22), true},
      {"\x1f\x8b\x08\x08gzip", true},
      {"BZh91AY&SY", true},
      {std::string("\xfd"
                   "7zXZ\0\0",
                   7),
       true},
      {"\x28\xb5\x2f\xfdzstd", true},
      {"PK\x03\x04zip", true},
      {controls_in_ten + "\x01", false},     // one control byte in ten: text
      {controls_in_ten + "\x01\x02", true},  // two in eleven
      {std::string(kBinaryCheckBytes, 'a') + std::string(1, '\0'), false},  // beyond the check
  };
  for (const auto& c : cases) EXPECT_EQ(looks_binary(c.bytes), c.binary) << c.bytes;
}

}  // namespace
}  // namespace somlabel
