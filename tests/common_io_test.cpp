#include "common/io.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

#include "tests/test_util.h"

namespace somlabel {
namespace {

namespace fs = std::filesystem;

Result<Reason> write_new(const fs::path& path, const std::string& text) {
  File file;
  if (!file.create(path.string())) return Reason{"cannot create"};
  put(file.get(), text);
  return file.close();
}

TEST(FileCreate, ReplacesAnOlderFileWhole) {
  testutil::TempDir dir;
  const fs::path page = dir.path() / "page.html";
  testutil::write_file(page, "an older and much longer page\n");
  const Result<Reason> written = write_new(page, "new\n");
  ASSERT_TRUE(written) << written.message();
  EXPECT_EQ(testutil::read_file(page), "new\n");
}

TEST(FileCreate, OverwritesInPlaceAndEndsWhereTheWritingEnded) {
  testutil::TempDir dir;
  const fs::path page = dir.path() / "page.html";
  testutil::write_file(page, "old\n");
  fs::create_hard_link(page, dir.path() / "same.html");
  const Result<Reason> written = write_new(page, "a longer new page\n");
  ASSERT_TRUE(written) << written.message();
  EXPECT_EQ(testutil::read_file(dir.path() / "same.html"), "a longer new page\n");
  {
    // Abandoned without close(), as after a failed map: the older tail goes too.
    File file;
    ASSERT_TRUE(file.create(page.string()));
    put(file.get(), "cut");
  }
  EXPECT_EQ(testutil::read_file(page), "cut");
}

TEST(FileCreate, WritesThroughALink) {
  testutil::TempDir dir;
  const fs::path target = dir.path() / "target";
  testutil::write_file(target, "old\n");
  fs::create_symlink(target, dir.path() / "link");
  const Result<Reason> written = write_new(dir.path() / "link", "new\n");
  ASSERT_TRUE(written) << written.message();
  EXPECT_TRUE(fs::is_symlink(dir.path() / "link"));
  EXPECT_EQ(testutil::read_file(target), "new\n");
}

TEST(FileCreate, AFullDeviceFailsTheClose) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  testutil::TempDir dir;
  fs::create_symlink("/dev/full", dir.path() / "page.html");
  const fs::path page = dir.path() / "page.html";
  EXPECT_EQ(write_new(page, std::string(100000, 'x')).message(),
            "cannot write " + page.string() + ": No space left on device");
}

TEST(FileCreate, ANameWithANulByteTouchesNoFile) {
  testutil::TempDir dir;
  const fs::path kept = dir.path() / "page";
  testutil::write_file(kept, "kept\n");
  File file;
  EXPECT_FALSE(file.create(kept.string() + std::string("\0.html", 6)));
  EXPECT_EQ(testutil::read_file(kept), "kept\n");
}

TEST(FileCreate, ADirectoryIsNotAFile) {
  testutil::TempDir dir;
  File file;
  EXPECT_FALSE(file.open(dir.path().string(), "r"));
  EXPECT_FALSE(file.create(dir.path().string()));
}

TEST(LineReader, LinesOfAnyLengthWithNulBytes) {
  const std::string long_line(1 << 20, 'a');
  FILE* in = testutil::input(long_line + std::string("\nb\0c\nlast", 9));
  LineReader reader(in);
  std::string_view line;
  ASSERT_TRUE(reader.next(line));
  EXPECT_EQ(line.size(), long_line.size() + 1);
  ASSERT_TRUE(reader.next(line));
  EXPECT_EQ(line, std::string_view("b\0c\n", 4));
  ASSERT_TRUE(reader.next(line));
  EXPECT_EQ(line, "last");
  EXPECT_FALSE(reader.next(line));
  std::fclose(in);
}

TEST(LineReader, ALineBeyondTheBoundEndsTheReadingWithItsNumber) {
  // Lines of 16 bytes, newline included, fit a bound of 16; a longer one,
  // with or without a line end, stops the reader for good.
  const struct {
    std::string input;
    int whole_lines;
    const char* failure;
  } cases[] = {
      {"0123456789abcde\nshort\n", 2, ""},
      {"ok\n0123456789abcdef\nnever\n", 1, "line 2 is longer than 16 bytes"},
      {"0123456789abcdefghij", 0, "line 1 is longer than 16 bytes"},
  };
  for (const auto& c : cases) {
    FILE* in = testutil::input(c.input);
    LineReader reader(in, 4, 16);
    std::string_view line;
    int lines = 0;
    while (reader.next(line)) ++lines;
    EXPECT_EQ(lines, c.whole_lines) << c.input;
    EXPECT_EQ(reader.failure(), c.failure) << c.input;
    EXPECT_FALSE(reader.next(line));
    std::fclose(in);
  }
}

TEST(File, OnlyARegularFileIsRegular) {
  testutil::TempDir dir;
  testutil::write_file(dir.path() / "f", "x\n");
  File file;
  ASSERT_TRUE(file.open((dir.path() / "f").string(), "r"));
  EXPECT_TRUE(file.is_regular());
  ASSERT_TRUE(file.open("/dev/zero", "r"));
  EXPECT_FALSE(file.is_regular());
}

// Regression: read_file once took a device or a pipe for a file and read it
// as empty (or without end).
TEST(ReadFile, OnlyARegularFileIsRead) {
  testutil::TempDir dir;
  const std::string bytes("a\0b\n", 4);
  testutil::write_file(dir.path() / "f", bytes);
  ASSERT_EQ(::mkfifo((dir.path() / "pipe").c_str(), 0600), 0);
  const struct {
    std::string path;
    bool read;
  } kCases[] = {{(dir.path() / "f").string(), true},
                {"/dev/null", false},
                {(dir.path() / "pipe").string(), false},
                {dir.path().string(), false},
                {(dir.path() / "missing").string(), false}};
  for (const auto& c : kCases) {
    std::string contents = "old";
    EXPECT_EQ(read_file(c.path, contents).ok(), c.read) << c.path;
    if (c.read) {
      EXPECT_EQ(contents, bytes) << c.path;
    }
  }
}

}  // namespace
}  // namespace somlabel
