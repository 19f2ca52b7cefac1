#include "labelcalc/token_reader.h"

#include <cstring>

namespace somlabel {
namespace {

bool is_space(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

}  // namespace

bool TokenReader::fill() {
  pos_ = 0;
  end_ = std::fread(buffer_.data(), 1, buffer_.size(), in_);
  return end_ > 0;
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
    token.append(buffer_.data() + start, pos_ - start);
    if (pos_ < end_ || !fill()) return true;
  }
}

void TokenReader::copy_rest_of_line(FILE* out) {
  for (;;) {
    if (pos_ == end_ && !fill()) return;
    const char* start = buffer_.data() + pos_;
    const void* newline = std::memchr(start, '\n', end_ - pos_);
    const size_t length = newline == nullptr
                              ? end_ - pos_
                              : static_cast<size_t>(static_cast<const char*>(newline) - start) + 1;
    std::fwrite(start, 1, length, out);
    pos_ += length;
    if (newline != nullptr) return;
  }
}

}  // namespace somlabel
