// Reads a unit file as white-space separated tokens, and can hand over the
// rest of the current line untouched.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "common/io.h"

namespace somlabel::labelcalc {

// The FILE* stays owned by the caller. Tokens may hold any byte but white
// space (blank, tab, newline, CR, VT, FF), NUL included, up to `max_token`
// bytes.
class TokenReader {
 public:
  explicit TokenReader(FILE* in, size_t max_token = kMaxLineBytes)
      : in_(in), buffer_(1 << 16), max_token_(max_token) {}

  // Skips white space, blank lines included, and reads the next token into
  // `token`. False at the end of the input, on a read error and at a token
  // longer than `max_token`; failure() tells them apart. Once it has
  // failed, it stays failed.
  [[nodiscard]] bool next_token(std::string& token);

  // Copies the rest of the current line, up to and including its newline
  // (nothing more at the end of the input), to `out`; at most `max_token`
  // bytes, else the reader fails. With `out` null the rest is skipped.
  void copy_rest_of_line(FILE* out);

  // Why reading stopped before the end of the input; empty at the end.
  [[nodiscard]] const std::string& failure() const { return failure_; }

 private:
  bool fill();
  bool fail_too_long(std::string_view what);

  FILE* in_;
  std::vector<char> buffer_;
  size_t max_token_;
  size_t pos_ = 0;
  size_t end_ = 0;
  std::string failure_;
};

}  // namespace somlabel::labelcalc
