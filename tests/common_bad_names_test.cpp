// Names and outputs that cannot work: a name with a NUL byte would reach the
// system cut short and name another file; a write that does not reach the
// disk must be reported when the file is closed.
#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "common/io.h"
#include "common/settings.h"
#include "tests/test_util.h"

namespace {

using somlabel::File;
using std::string_literals::operator""s;

TEST(FileOpen, RefusesANameWithANulByteAndLeavesThePrefixFileAlone) {
  testutil::TempDir dir;
  const std::string unit_file = dir.str() + "a.unit";
  testutil::write_file(unit_file, "$XDIM 1\n");
  for (const char* mode : {"r", "w", "a"}) {
    File file;
    errno = 0;
    EXPECT_FALSE(file.open(unit_file + "\0.labelunit"s, mode)) << mode;
    EXPECT_EQ(errno, EINVAL) << mode;
    EXPECT_FALSE(file.is_open()) << mode;
  }
  EXPECT_EQ(testutil::read_file(unit_file), "$XDIM 1\n");
}

TEST(FileOpen, RefusesADirectory) {
  testutil::TempDir dir;
  File file;
  errno = 0;
  EXPECT_FALSE(file.open(dir.str(), "r"));
  EXPECT_EQ(errno, EISDIR);
}

TEST(FileClose, ReportsAWriteToAFullDevice) {
  File file;
  ASSERT_TRUE(file.open("/dev/full", "w"));
  somlabel::put(file.get(), "one line\n");
  EXPECT_EQ(file.close().message(), "cannot write /dev/full: No space left on device");
}

TEST(FileClose, ReportsAWriteThatFailedLongBeforeTheClose) {
  File file;
  ASSERT_TRUE(file.open("/dev/full", "w"));
  std::setvbuf(file.get(), nullptr, _IONBF,
               0);  // the write fails at once, nothing is left to flush
  somlabel::put(file.get(), "one line\n");
  EXPECT_FALSE(file.close().ok());
}

TEST(TextOptionWithNul, NamesTheFirstTextSettingThatHoldsANulByte) {
  somlabel::Settings settings;
  EXPECT_EQ(somlabel::text_option_with_nul(settings, {}), "");
  settings.keypath = "out/\0key/"s;
  EXPECT_EQ(somlabel::text_option_with_nul(settings, {}), "KEYPATH");
  settings.path = "x\0"s;
  EXPECT_EQ(somlabel::text_option_with_nul(settings, {}), "OUTPUTPATH");
}

TEST(TextOptionWithNul, SeesAValueReadFromTheOptionFile) {
  somlabel::Settings settings;
  FILE* in = testutil::input("MODE 2\nSOURCEPATH docs/\0/\n"s);
  somlabel::LineReader lines(in);
  ASSERT_EQ(somlabel::read_option_file(lines, {}, settings), somlabel::OptionResult::ok);
  std::fclose(in);
  EXPECT_EQ(somlabel::text_option_with_nul(settings, {}), "SOURCEPATH");
}

}  // namespace
