// Reads a unit file as white-space separated tokens, and can hand over the
// rest of the current line untouched.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace somlabel {

// The FILE* stays owned by the caller. Tokens may hold any byte but white
// space (blank, tab, newline, CR, VT, FF), NUL included, and have no length
// limit.
class TokenReader {
 public:
  explicit TokenReader(FILE* in) : in_(in), buffer_(1 << 16) {}

  // Skips white space, blank lines included, and reads the next token into
  // `token`. False at the end of the input.
  [[nodiscard]] bool next_token(std::string& token);

  // Copies the rest of the current line, up to and including its newline
  // (nothing more at the end of the input), to `out`.
  void copy_rest_of_line(FILE* out);

  // True when reading stopped because of an error rather than the end.
  [[nodiscard]] bool failed() const { return std::ferror(in_) != 0; }

 private:
  bool fill();

  FILE* in_;
  std::vector<char> buffer_;
  size_t pos_ = 0;
  size_t end_ = 0;
};

}  // namespace somlabel
