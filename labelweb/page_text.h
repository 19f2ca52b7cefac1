// The text of a page on its way to the file, and the two ways text from a
// labelunit file goes into it: escaped as page text, or encoded as a part of
// a link. A page is made of many short pieces (tags, names, scores);
// appending one here is an inline copy, with no call for the pieces whose
// length the compiler knows.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <memory>
#include <string_view>
#include <utility>

namespace somlabel::labelweb {

class PageText {
 public:
  void append(std::string_view text) {
    if (text.empty()) return;  // no copy at all: there may be no room yet
    if (text.size() > capacity_ - size_) grow(text.size());
    std::memcpy(data_.get() + size_, text.data(), text.size());
    size_ += text.size();
  }
  void append(const char* text, size_t size) { append(std::string_view(text, size)); }
  void push_back(char c) {
    if (size_ == capacity_) grow(1);
    data_[size_++] = c;
  }

  [[nodiscard]] size_t size() const { return size_; }
  [[nodiscard]] std::string_view view() const { return {data_.get(), size_}; }
  void clear() { size_ = 0; }  // keeps the room for the next page

 private:
  // Out of line, so that append() itself stays small enough to be inlined.
  [[gnu::noinline]] void grow(size_t more) {
    const size_t capacity = std::max({capacity_ * 2, size_ + more, size_t{1} << 12});
    auto larger = std::make_unique_for_overwrite<char[]>(capacity);
    if (size_ != 0) std::memcpy(larger.get(), data_.get(), size_);
    data_ = std::move(larger);
    capacity_ = capacity;
  }

  std::unique_ptr<char[]> data_;
  size_t size_ = 0;
  size_t capacity_ = 0;
};

// Appends `text` with & < > " ' replaced by their entities; everything else,
// newlines included, as it is.
void append_escaped_text(PageText& out, std::string_view text);

// Appends `text` as a part of a link: every byte other than A-Z a-z 0-9 - . _
// ~ / as %XX with upper-case hex digits.
void append_link_part(PageText& out, std::string_view text);

// Whether append_link_part appends `text` unchanged. Such a text needs no
// entity in page text either.
[[nodiscard]] bool is_link_safe(std::string_view text);

}  // namespace somlabel::labelweb
