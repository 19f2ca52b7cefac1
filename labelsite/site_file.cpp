#include "labelsite/site_file.h"

#include <cstdio>

namespace somlabel::labelsite {

bool SiteFile::create(const std::string& name) {
  text_.clear();
  if (file_.create(name)) return true;
  std::fprintf(stderr, "labelsite: cannot write %s: %s\n", name.c_str(), errno_text().c_str());
  return false;
}

void SiteFile::flush() {
  put(file_.get(), text_.view());
  text_.clear();
}

bool SiteFile::close() {
  flush();
  const Result closed = file_.close();
  report("labelsite", closed);
  return closed.ok();
}

}  // namespace somlabel::labelsite
