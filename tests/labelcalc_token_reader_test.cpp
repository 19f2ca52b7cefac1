// The unit file's tokens: words of up to a bound, and the rest of a line
// copied whole up to the same bound.
#include "labelcalc/token_reader.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/test_util.h"

namespace somlabel::labelcalc {
namespace {

TEST(TokenReader, AWordBeyondTheBoundStopsTheReader) {
  const struct {
    std::string input;
    int words;
    const char* failure;
  } cases[] = {
      {"  $POS_X\t0123456789abcdef\n\n$NEXT", 3, ""},
      {"$POS_X 0123456789abcdefg next", 1, "a word is longer than 16 bytes"},
      {"0123456789abcdefg", 0, "a word is longer than 16 bytes"},
  };
  for (const auto& c : cases) {
    FILE* in = testutil::input(c.input);
    TokenReader reader(in, 16);
    std::string token;
    int words = 0;
    while (reader.next_token(token)) ++words;
    EXPECT_EQ(words, c.words) << c.input;
    EXPECT_EQ(reader.failure(), c.failure) << c.input;
    EXPECT_FALSE(reader.next_token(token));
    std::fclose(in);
  }
}

TEST(TokenReader, TheRestOfALineIsCopiedUpToTheBound) {
  FILE* in = testutil::input("$KEY rest of\tline\n$KEY 0123456789abcdefg\n$AFTER\n");
  TokenReader reader(in, 16);
  testutil::Output out;
  std::string token;
  ASSERT_TRUE(reader.next_token(token));
  reader.copy_rest_of_line(out.get());
  EXPECT_EQ(out.text(), " rest of\tline\n");
  ASSERT_TRUE(reader.next_token(token));
  reader.copy_rest_of_line(out.get());
  EXPECT_EQ(out.text(), " rest of\tline\n") << "nothing of the long line is copied";
  EXPECT_EQ(reader.failure(), "a line is longer than 16 bytes");
  EXPECT_FALSE(reader.next_token(token));
  std::fclose(in);
}

}  // namespace
}  // namespace somlabel::labelcalc
