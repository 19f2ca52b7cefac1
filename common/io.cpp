#include "common/io.h"

#include <fcntl.h>
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

File::~File() { discard(); }

void File::discard() {
  if (file_ == nullptr) return;
  std::fflush(file_);
  (void)cut_at_end();
  std::fclose(std::exchange(file_, nullptr));
}

bool File::open(const std::string& name, const char* mode) {
  discard();
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
    std::fclose(std::exchange(file_, nullptr));
    errno = EISDIR;
    return false;
  }
  return true;
}

bool File::create(const std::string& name) {
  discard();
  name_ = name;
  if (name.find('\0') != std::string::npos) {  // as in open()
    errno = EINVAL;
    return false;
  }
  const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  struct stat info;
  if (fstat(fd, &info) != 0 || (file_ = fdopen(fd, "w")) == nullptr) {
    const int error = errno;
    ::close(fd);
    errno = error;
    return false;
  }
  cut_at_close_ = S_ISREG(info.st_mode);
  return true;
}

// Ends a file opened by create() where the writing ended. The kernel's offset
// counts only the bytes that reached the file, so after a failed write no
// tail of the older contents is left behind the new ones either. Returns 0,
// or the reason the file could not be cut.
int File::cut_at_end() {
  if (!cut_at_close_) return 0;
  cut_at_close_ = false;
  const int fd = fileno(file_);
  const off_t end = lseek(fd, 0, SEEK_CUR);
  if (end < 0 || ftruncate(fd, end) == 0) return 0;
  return errno;
}

bool File::close(std::string& error) {
  if (file_ == nullptr) return true;
  // A write that failed earlier left its reason in errno, most likely still
  // there: the stream itself keeps only the error flag.
  const int earlier = errno;
  int reason = 0;
  errno = 0;
  if (std::fflush(file_) != 0) reason = errno;
  if (reason == 0 && std::ferror(file_) != 0) reason = earlier != 0 ? earlier : EIO;
  const int cut_error = cut_at_end();
  if (reason == 0) reason = cut_error;
  errno = 0;
  if (std::fclose(std::exchange(file_, nullptr)) != 0 && reason == 0) {
    reason = errno != 0 ? errno : EIO;
  }
  if (reason == 0) return true;
  error = std::strerror(reason);
  return false;
}

}  // namespace somlabel
