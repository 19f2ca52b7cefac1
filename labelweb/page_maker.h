// One map's page: reading its labelunit file and writing the page, either in
// one go (generate_html) or in two steps, the first of which may run ahead
// of the map's turn while the pages of earlier maps are still being made
// (PagePool). Everything that shows (messages, the page) comes at the turn.
#pragma once

#include <sys/stat.h>

#include <cstddef>
#include <string>

#include "common/io.h"
#include "common/settings.h"
#include "labelweb/labelunit_reader.h"
#include "labelweb/page_text.h"

namespace somlabel::labelweb {

// A map's place in a run that makes several pages at once.
class Turn {
 public:
  virtual ~Turn() = default;
  // Whether the labelunit file `input` may be read ahead of the turn: not
  // when it is the page of a map not yet done, this map's own included.
  [[nodiscard]] virtual bool may_read_ahead(const struct stat& input) = 0;
  // Bytes of page text that may be held in memory ahead of the turn.
  [[nodiscard]] virtual size_t held_limit() const = 0;
  // Whether the map's turn has come, without waiting for it.
  [[nodiscard]] virtual bool has_come() const = 0;
  // Blocks until the map's turn has come; false when the run ended first.
  [[nodiscard]] virtual bool wait() = 0;
};

class PageMaker {
 public:
  // `labelfilename` gets ".html" appended once the labelunit file is open;
  // `text` is the buffer for the page text. Both must outlive the maker.
  // Without a turn, every step happens at once, as at the turn.
  PageMaker(std::string& labelfilename, const Settings& settings, Turn* turn, PageText& text);

  // Reads the labelunit file, as far as that shows to no one ahead of the
  // turn: only a regular file that is no page still to be written, and only
  // while its page text stays within the turn's limit. A map whose text
  // outgrows the limit waits for its turn here; a map whose turn comes
  // while it is read goes on at the turn from there.
  void read_ahead();

  // Whether read_ahead() has reached the turn (or the end of the run).
  [[nodiscard]] bool at_turn() const { return at_turn_; }

  // Everything else, at the turn: the progress line, the rest of the
  // reading, the page. False after the messages of a failure, or silently
  // when the run ended before the turn came.
  [[nodiscard]] bool finish();

 private:
  void open_ahead();
  void read();
  bool pass_on();
  bool reach_turn();
  bool fail();

  std::string& labelfilename_;
  const Settings& settings_;
  Turn* turn_;
  PageText& text_;
  File labelfile_;
  File page_;
  ReadResult result_;
  bool read_ = false;
  bool at_turn_ = false;
  bool failed_ = false;
};

// The per-map work of a run that makes one page at a time: reads the
// labelunit file named `labelfilename` and writes the map page named
// `labelfilename` followed by ".html". Appends ".html" to `labelfilename`
// once the labelunit file is open, so a caller that names the file in its
// own failure message names the page from then on. Prints the progress line
// on standard output and its own failure message on standard error; returns
// false when the page could not be written completely.
[[nodiscard]] bool generate_html(std::string& labelfilename, const Settings& settings);

}  // namespace somlabel::labelweb
