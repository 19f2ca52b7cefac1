#include "common/io.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace somlabel {

std::string errno_text() { return std::strerror(errno); }

LineReader::~LineReader() { std::free(buffer_); }

bool LineReader::next(std::string_view& line) {
  const ssize_t length = getline(&buffer_, &capacity_, in_);
  if (length < 0) return false;
  line = std::string_view(buffer_, static_cast<size_t>(length));
  return true;
}

File::File(File&& other) noexcept
    : file_(std::exchange(other.file_, nullptr)), name_(std::move(other.name_)) {}

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    if (file_ != nullptr) std::fclose(file_);
    file_ = std::exchange(other.file_, nullptr);
    name_ = std::move(other.name_);
  }
  return *this;
}

File::~File() {
  if (file_ != nullptr) std::fclose(file_);
}

bool File::open(const std::string& name, const char* mode) {
  if (file_ != nullptr) std::fclose(file_);
  name_ = name;
  // The system would take the name only up to a NUL byte: another file, and
  // for writing perhaps the very input being read.
  if (name.find('\0') != std::string::npos) {
    errno = EINVAL;
    return false;
  }
  file_ = std::fopen(name.c_str(), mode);
  if (file_ == nullptr) return false;
  // fopen happily opens a directory for reading; every caller wants a file.
  struct stat info;
  if (fstat(fileno(file_), &info) == 0 && S_ISDIR(info.st_mode)) {
    std::fclose(file_);
    file_ = nullptr;
    errno = EISDIR;
    return false;
  }
  return true;
}

bool File::create(const std::string& name) {
  struct stat info;
  const bool plain_name = name.find('\0') == std::string::npos;  // else open() refuses it
  if (plain_name && lstat(name.c_str(), &info) == 0 && S_ISREG(info.st_mode)) {
    unlink(name.c_str());
  }
  return open(name, "w");
}

bool File::close(std::string& error) {
  if (file_ == nullptr) return true;
  FILE* file = std::exchange(file_, nullptr);
  // A write that failed earlier left its reason in errno, most likely still
  // there: the stream itself keeps only the error flag.
  const int earlier = errno;
  int reason = 0;
  errno = 0;
  if (std::fflush(file) != 0) reason = errno;
  if (reason == 0 && std::ferror(file) != 0) reason = earlier != 0 ? earlier : EIO;
  errno = 0;
  if (std::fclose(file) != 0 && reason == 0) reason = errno != 0 ? errno : EIO;
  if (reason == 0) return true;
  error = std::strerror(reason);
  return false;
}

}  // namespace somlabel
