#include "common/result.h"

#include <cstdio>

namespace somlabel {

void report(std::string_view tool, const Result& result) {
  if (result.ok() || result.message().empty()) return;
  std::fprintf(stderr, "%.*s: %s\n", static_cast<int>(tool.size()), tool.data(),
               result.message().c_str());
}

Result reported(std::string_view tool, const Result& result) {
  report(tool, result);
  return result.ok() ? Result() : Result::failure();
}

}  // namespace somlabel
