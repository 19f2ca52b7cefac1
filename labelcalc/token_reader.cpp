#include "labelcalc/token_reader.h"

#include <cerrno>
#include <cstring>

namespace somlabel::labelcalc {
namespace {

bool is_space(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

}  // namespace

bool TokenReader::fill() {
  pos_ = 0;
  end_ = 0;
  if (!failure_.empty()) return false;
  errno = 0;
  end_ = std::fread(buffer_.data(), 1, buffer_.size(), in_);
  if (std::ferror(in_) != 0) failure_ = std::strerror(errno != 0 ? errno : EIO);
  return end_ > 0;
}

bool TokenReader::fail_too_long(std::string_view what) {
  failure_ = too_long_text(what, max_token_);
  pos_ = end_ = 0;
  return false;
}

bool TokenReader::next_token(std::string& token) {
  token.clear();
  for (;;) {  // skip white space
    if (pos_ == end_ && !fill()) return false;
    while (pos_ < end_ && is_space(buffer_[pos_])) ++pos_;
    if (pos_ < end_) break;
  }
  for (;;) {
    const size_t start = pos_;
    while (pos_ < end_ && !is_space(buffer_[pos_])) ++pos_;
    if (pos_ - start > max_token_ - token.size()) return fail_too_long("a word");
    token.append(buffer_.data() + start, pos_ - start);
    if (pos_ < end_ || !fill()) return failure_.empty();
  }
}

void TokenReader::copy_rest_of_line(FILE* out) {
  size_t copied = 0;
  for (;;) {
    if (pos_ == end_ && !fill()) return;
    const char* start = buffer_.data() + pos_;
    const void* newline = std::memchr(start, '\n', end_ - pos_);
    const size_t length = newline == nullptr
                              ? end_ - pos_
                              : static_cast<size_t>(static_cast<const char*>(newline) - start) + 1;
    if (length > max_token_ - copied) {
      fail_too_long("a line");
      return;
    }
    if (out != nullptr) std::fwrite(start, 1, length, out);
    copied += length;
    pos_ += length;
    if (newline != nullptr) return;
  }
}

}  // namespace somlabel::labelcalc
