#include "labelsite/site_file.h"

#include <cstdio>

#include "common/messages.h"

namespace somlabel::labelsite {

bool SiteFile::create(const std::string& name) {
  text_.clear();
  if (file_.create(name)) return true;
  say("cannot write %s: %s", name.c_str(), errno_text().c_str());
  return false;
}

void SiteFile::flush() {
  put(file_.get(), text_.view());
  text_.clear();
}

bool SiteFile::close() {
  flush();
  const Result<Reason> closed = file_.close();
  if (!closed.ok() && !closed.message().empty()) say("%s", closed.message().c_str());
  return closed.ok();
}

}  // namespace somlabel::labelsite
