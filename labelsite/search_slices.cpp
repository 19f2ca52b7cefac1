#include "labelsite/search_slices.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>

#include "common/io.h"
#include "common/messages.h"

namespace somlabel::labelsite {
namespace {

std::string slice_name(char kind, size_t number) {
  return std::string("search/") + kind + std::to_string(number) + ".js";
}

}  // namespace

bool make_search_folder(const Site& site) {
  const std::string folder = site.path("search");
  if (mkdir(folder.c_str(), 0777) == 0 || errno == EEXIST) return true;
  say("cannot create the folder %s: %s", folder.c_str(), errno_text().c_str());
  return false;
}

PageText* SearchSlices::next(std::string_view key) {
  if (failed_) return nullptr;
  const bool full = entries_per_slice_ > 0 ? entries_ >= entries_per_slice_
                                           : file_.text().size() >= kSearchFileSize;
  if (open_ && full && !close()) return nullptr;
  PageText& out = file_.text();
  ++entries_;
  if (open_) {
    out.append(",\n");
    return &out;
  }
  entries_ = 1;
  if (!site_.create(file_, slice_name(kind_, firsts_.size()))) {
    failed_ = true;
    return nullptr;
  }
  open_ = true;
  out.append("somlabelShard(\"");
  out.push_back(kind_);
  out.append("\",");
  append_number(out, static_cast<long long>(firsts_.size()));
  out.append(",[\n");
  firsts_.emplace_back(key);
  return &out;
}

bool SearchSlices::close() {
  open_ = false;
  file_.text().append("]);\n");
  failed_ = !file_.close();
  return !failed_;
}

bool SearchSlices::finish() {
  if (failed_ || (open_ && !close())) return false;
  site_.remove_stale(firsts_.size(), [this](size_t n) { return slice_name(kind_, n); });
  return true;
}

void append_entry_key(PageText& out, std::string_view text, std::string_view item_key,
                      uint32_t start) {
  bool derivable = text.size() == item_key.size();
  for (size_t i = 0; derivable && i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    const char lower = static_cast<char>(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
    derivable = c < 0x80 && lower == item_key[i];
  }
  if (derivable) {
    append_number(out, start);
  } else {
    append_js_string(out, item_key.substr(start));
  }
}

}  // namespace somlabel::labelsite
