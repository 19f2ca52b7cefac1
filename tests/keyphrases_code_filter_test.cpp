// Code inside prose: which words are flagged, and that a text of code keeps its words.
#include "keyphrases/code_filter.h"

#include <gtest/gtest.h>

#include <string>

namespace somlabel::keyphrases {
namespace {

// The flagged words of a text, joined by blanks.
std::string flagged(std::string_view prose) {
  auto tokens = text::tokenize(prose);
  auto code = code_tokens(prose, tokens);
  std::string out;
  for (std::size_t i = 0; i < tokens.size(); ++i)
    if (code[i]) out += (out.empty() ? "" : " ") + std::string(tokens[i].text);
  return out;
}

TEST(CodeFilter, FlagsCodeInProse) {
  const struct {
    const char* text;
    const char* code;
  } cases[] = {
      {"int pthread_create(pthread_t *restrict thread,\n    const pthread_attr_t *restrict attr,\n"
       "    void *restrict arg);\nThe new thread starts in the calling process and runs on.\n"
       "Every thread has its own stack and its own signal mask.",
       "int pthread create pthread t restrict thread const pthread attr t restrict attr void "
       "restrict arg"},
      {"#include <complex.h>\nThese functions compute the complex exponential of their argument.",
       "include complex.h"},
      {"Call pthread_exit(3) to end the thread; see also the manual of exit for its status.",
       "pthread exit 3"},
      // Regression: "3type" was a label, from "intN_t(3type)" in the list of related pages.
      {"Use intN_t(3type) and printf(3) for the 3D view.", "intN t 3type printf 3"},
      {"Link with -lm when the program uses the mathematical functions of the library.", "lm"},
      {"Set O_RDONLY in flags. The value of p->size and NULL are read by the program itself.",
       "O RDONLY size"},
      {"The program below prints the number of its arguments and exits.\n\nint\n"
       "main(int argc, char *argv[])\n{\n    printf(\"%d\\n\", argc);\n    exit(EXIT_SUCCESS);\n}\n"
       "It prints one line for each call and ends with a status of success.",
       "int main int argc char argv printf d n argc exit EXIT SUCCESS"},
      {"extern char *optarg;\nextern int optind, opterr;\n\nThe variables hold the state.",
       "extern char optarg extern int optind opterr"},
      // The dots of a comment are no sentence.
      {"typedef /* ... */ fenv_t;\n\nIt holds the environment.", "typedef fenv t"},
      // Prose: a line that ends in ";" with no code in it, a parenthesis over two lines.
      {"The call fails;\nthe error is set (as the manual\nexplains at length).", ""},
      // A text that is mostly code is code: nothing is flagged.
      {"x = f(y);\nz = g(w);\nreturn h(x, z);", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(flagged(c.text), c.code) << c.text;
}

TEST(CodeFilter, AnyBytes) {
  std::string bytes;
  for (int i = 0; i < 2048; ++i) bytes.push_back(static_cast<char>((i * 37 + 11) & 0xFF));
  EXPECT_EQ(code_tokens(bytes, text::tokenize(bytes)).size(), text::tokenize(bytes).size());
  EXPECT_TRUE(code_tokens("", {}).empty());
  EXPECT_EQ(flagged("(((((\n;"), "");
}

}  // namespace
}  // namespace somlabel::keyphrases
