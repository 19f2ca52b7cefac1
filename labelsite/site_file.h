// One output file of the site, written through a text buffer that goes to
// the file whenever it has grown large, so a page of any length holds at most
// kFlushSize bytes in memory.
#pragma once

#include <string>

#include "common/io.h"
#include "labelweb/page_text.h"

namespace somlabel::labelsite {

class SiteFile {
 public:
  static constexpr size_t kFlushSize = size_t{1} << 20;

  // Creates (or overwrites) the file; on failure prints "labelsite: cannot
  // write NAME: reason" and returns false.
  [[nodiscard]] bool create(const std::string& name);

  // The text still to be written; append to it, then call written().
  labelweb::PageText& text() { return text_; }
  void written() {
    if (text_.size() >= kFlushSize) flush();
  }

  // Writes the rest and closes; on failure prints the message as create()
  // does and returns false.
  [[nodiscard]] bool close();

 private:
  void flush();

  File file_;
  labelweb::PageText text_;
};

}  // namespace somlabel::labelsite
