#include "labelweb/page_maker.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "common/map_keys.h"

namespace somlabel::labelweb {
namespace {

// Page text goes to the page in blocks of this size.
constexpr size_t kWriteSize = size_t{1} << 16;

}  // namespace

PageMaker::PageMaker(std::string& labelfilename, const Settings& settings, Turn* turn,
                     PageText& text)
    : labelfilename_(labelfilename), settings_(settings), turn_(turn), text_(text) {
  text_.clear();
}

void PageMaker::read_ahead() {
  if (turn_ == nullptr) return;
  open_ahead();
  if (labelfile_.is_open()) read();
}

bool PageMaker::finish() {
  if (!read_) {
    if (!reach_turn()) return false;
    read();
  }
  if (failed_) return false;
  if (!reach_turn()) return false;
  put(page_.get(), text_.view());
  if (result_.read_error != 0) {
    std::fprintf(stderr, "labelweb: cannot read %s: %s\n", labelfile_.name().c_str(),
                 std::strerror(result_.read_error));
    return false;
  }
  std::string reason;
  if (!page_.close(reason)) {
    std::fprintf(stderr, "labelweb: cannot write %s: %s\n", labelfilename_.c_str(),
                 reason.c_str());
    return false;
  }
  return true;
}

// Reading ahead reads what reading at the turn would: the file must be a
// regular one (a pipe would be drained) and no page a map before this one
// (or this one) is about to write. Failures are left for the turn, where
// they are met again, or not, as they would be then.
void PageMaker::open_ahead() {
  struct stat input;
  if (labelfilename_.find('\0') != std::string::npos ||
      stat(labelfilename_.c_str(), &input) != 0 || !S_ISREG(input.st_mode) ||
      !turn_->may_read_ahead(input)) {
    return;
  }
  (void)labelfile_.open(labelfilename_, "r");
}

void PageMaker::read() {
  read_ = true;
  result_ = read_page(labelfile_.get(), text_, settings_, [this] { return pass_on(); });
}

// After each unit: whether to read on. Ahead of the turn the text is held,
// up to the limit, where the turn is waited for; at the turn it is written
// out in large blocks.
bool PageMaker::pass_on() {
  if (!at_turn_) {
    if (text_.size() < turn_->held_limit() && !turn_->has_come()) return true;
    if (!reach_turn()) return false;
  }
  if (text_.size() >= kWriteSize) {
    put(page_.get(), text_.view());
    text_.clear();
  }
  return true;
}

// Waits for the map's turn, then does what shows: the progress line,
// opening the labelunit file (unless that was done ahead), creating the
// page. False, after the messages, when one of these failed, and silently
// when the run ended before the turn came.
bool PageMaker::reach_turn() {
  if (at_turn_) return !failed_;
  at_turn_ = true;
  if (turn_ != nullptr && !turn_->wait()) return fail();
  std::printf("Processing %s ....", labelfilename_.c_str());
  if (!labelfile_.is_open() && !labelfile_.open(labelfilename_, "r")) {
    const int error = errno;
    std::fprintf(stderr, "Couldn't open labelfile: %s\n", labelfilename_.c_str());
    if (error != ENOENT) {
      std::fprintf(stderr, "labelweb: %s: %s\n", labelfilename_.c_str(), std::strerror(error));
    }
    return fail();
  }
  labelfilename_.append(keys::kPageEnding);
  std::printf("and writing %s !\n", labelfilename_.c_str());
  if (!page_.create(labelfilename_)) {
    const std::string reason = errno_text();
    std::fprintf(stderr, "Couldn't open htmlfile: %s\n", labelfilename_.c_str());
    std::fprintf(stderr, "labelweb: cannot create %s: %s\n", labelfilename_.c_str(),
                 reason.c_str());
    return fail();
  }
  // Only large blocks are written: no stream buffer needs to hold them.
  std::setvbuf(page_.get(), nullptr, _IONBF, 0);
  return true;
}

bool PageMaker::fail() {
  failed_ = true;
  return false;
}

bool generate_html(std::string& labelfilename, const Settings& settings) {
  // One buffer per thread, kept from page to page: growing a new one for
  // every page cost more than the copying.
  thread_local PageText text;
  PageMaker maker(labelfilename, settings, nullptr, text);
  return maker.finish();
}

}  // namespace somlabel::labelweb
