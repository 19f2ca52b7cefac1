#include "common/program.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string_view>

namespace somlabel {
namespace {

// 0 when `file` is a file this process may execute, else the reason.
int executable(const std::string& file) {
  struct stat info;
  if (stat(file.c_str(), &info) != 0) return errno;
  if (S_ISDIR(info.st_mode)) return EACCES;
  return access(file.c_str(), X_OK) == 0 ? 0 : errno;
}

}  // namespace

int start_error(const std::string& name) {
  if (name.empty()) return ENOENT;
  if (name.find('/') != std::string::npos) return executable(name);
  const char* path = std::getenv("PATH");
  std::string_view dirs = path != nullptr ? path : "/bin:/usr/bin";
  int error = ENOENT;
  for (;;) {
    const size_t colon = dirs.find(':');
    const std::string_view dir = dirs.substr(0, colon);
    const int found = executable((dir.empty() ? std::string(".") : std::string(dir)) + "/" + name);
    if (found == 0) return 0;
    if (found == EACCES) error = EACCES;
    if (colon == std::string_view::npos) return error;
    dirs.remove_prefix(colon + 1);
  }
}

}  // namespace somlabel
