// The rule by which every tool takes a folder's files as documents.
#include "common/documents.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/test_util.h"

namespace somlabel {
namespace {

TEST(Documents, RegularFilesWithPlainNamesInByteOrder) {
  testutil::TempDir dir;
  for (const char* name : {"b", "B", "a.txt", ".hidden", "two words", "x.gz"}) {
    testutil::write_file(dir.path() / name, "x");
  }
  std::filesystem::create_directory(dir.path() / "sub");
  std::filesystem::create_symlink(dir.path() / "b", dir.path() / "link");
  std::filesystem::create_symlink(dir.path() / "nowhere", dir.path() / "dangling");
  std::vector<std::string> names, passed_over;
  ASSERT_TRUE(list_documents(dir.path().string(), names, passed_over).ok());
  EXPECT_EQ(names, std::vector<std::string>({"B", "a.txt", "b", "link", "x.gz"}));
  EXPECT_EQ(passed_over, std::vector<std::string>({"dangling", "sub", "two words"}));
  const std::string missing = (dir.path() / "missing").string();
  EXPECT_EQ(list_documents(missing, names, passed_over).message(),
            "cannot read directory " + missing + ": No such file or directory");
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
