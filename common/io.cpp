#include "common/io.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace somlabel {

std::string errno_text() { return std::strerror(errno); }

LineReader::LineReader(FILE* in, size_t initial_capacity)
    : in_(in),
      buffer_(std::make_unique_for_overwrite<char[]>(initial_capacity)),
      capacity_(initial_capacity) {}

bool LineReader::next(std::string_view& line) {
  size_t searched = 0;  // bytes of the pending line already known to hold no newline
  while (true) {
    const char* start = buffer_.get() + begin_;
    const size_t pending = end_ - begin_;
    const void* newline = std::memchr(start + searched, '\n', pending - searched);
    if (newline != nullptr) {
      return take(line, static_cast<size_t>(static_cast<const char*>(newline) - start) + 1);
    }
    searched = pending;
    if (!refill()) return pending != 0 && take(line, pending);
  }
}

bool LineReader::take(std::string_view& line, size_t length) {
  line = std::string_view(buffer_.get() + begin_, length);
  begin_ += length;
  return true;
}

// Moves the pending bytes to the front, grows the buffer when they fill it,
// and reads what fits behind them. False when nothing more came.
bool LineReader::refill() {
  if (at_end_) return false;
  const size_t pending = end_ - begin_;
  if (begin_ != 0) std::memmove(buffer_.get(), buffer_.get() + begin_, pending);
  begin_ = 0;
  end_ = pending;
  if (end_ == capacity_) grow();
  const size_t wanted = capacity_ - end_;
  const size_t got = std::fread(buffer_.get() + end_, 1, wanted, in_);
  end_ += got;
  // fread comes back short only at the end of the input or on an error.
  at_end_ = got < wanted;
  return got != 0;
}

void LineReader::grow() {
  auto larger = std::make_unique_for_overwrite<char[]>(capacity_ * 2);
  std::memcpy(larger.get(), buffer_.get(), end_);
  buffer_ = std::move(larger);
  capacity_ *= 2;
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
