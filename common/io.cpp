#include "common/io.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace somlabel {

std::string errno_text() { return std::strerror(errno); }

std::string errno_message(std::string_view what, std::string_view name) {
  std::string message(what);
  message.append(" ").append(name).append(": ").append(std::strerror(errno));
  return message;
}

std::string too_long_text(std::string_view what, size_t max_bytes) {
  const bool mebibytes = max_bytes % (size_t{1} << 20) == 0;
  return std::string(what) + " is longer than " +
         std::to_string(mebibytes ? max_bytes >> 20 : max_bytes) + (mebibytes ? " MiB" : " bytes");
}

LineReader::LineReader(FILE* in, size_t initial_capacity, size_t max_line)
    : in_(in),
      buffer_(std::make_unique_for_overwrite<char[]>(std::min(initial_capacity, max_line))),
      capacity_(std::min(initial_capacity, max_line)),
      max_line_(max_line) {}

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
    if (!refill()) return failure_.empty() && pending != 0 && take(line, pending);
  }
}

bool LineReader::take(std::string_view& line, size_t length) {
  line = std::string_view(buffer_.get() + begin_, length);
  begin_ += length;
  ++lines_;
  return true;
}

// Moves the pending bytes to the front, grows the buffer when they fill it,
// and reads what fits behind them. False when nothing more came, or nothing
// more may come.
bool LineReader::refill() {
  if (at_end_ || !failure_.empty()) return false;
  const size_t pending = end_ - begin_;
  if (begin_ != 0) std::memmove(buffer_.get(), buffer_.get() + begin_, pending);
  begin_ = 0;
  end_ = pending;
  if (end_ == capacity_ && !grow()) {
    failure_ = too_long_text("line " + std::to_string(lines_ + 1), max_line_);
    return false;
  }
  const size_t wanted = capacity_ - end_;
  errno = 0;
  const size_t got = std::fread(buffer_.get() + end_, 1, wanted, in_);
  end_ += got;
  // fread comes back short only at the end of the input or on an error.
  at_end_ = got < wanted;
  if (std::ferror(in_) != 0) failure_ = std::strerror(errno != 0 ? errno : EIO);
  return got != 0;
}

// False when the buffer holds `max_line_` bytes already.
bool LineReader::grow() {
  if (capacity_ >= max_line_) return false;
  const size_t capacity = std::min(capacity_ * 2, max_line_);
  auto larger = std::make_unique_for_overwrite<char[]>(capacity);
  std::memcpy(larger.get(), buffer_.get(), end_);
  buffer_ = std::move(larger);
  capacity_ = capacity;
  return true;
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

bool File::is_regular() const {
  struct stat info;
  return file_ != nullptr && fstat(fileno(file_), &info) == 0 && S_ISREG(info.st_mode);
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

Result<Reason> File::close() {
  if (file_ == nullptr) return {};
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
  if (reason == 0) return {};
  errno = reason;
  return Reason{errno_message("cannot write", name_)};
}

namespace {

Result<Reason> write_all(int fd, std::string_view bytes, const std::string& what,
                         const std::string& shown) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = ENOSPC;
      return Reason{errno_message("cannot write " + what, shown)};
    }
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return {};
}

// Messages name `shown`, the user's file, even while writing its temporary twin.
Result<Reason> write_to(const std::string& path, const std::string& shown, std::string_view bytes,
                        const std::string& what, int flags) {
  const int fd = ::open(path.c_str(), flags | O_CLOEXEC, 0644);
  if (fd < 0) return Reason{errno_message("cannot create " + what, shown)};
  Result<Reason> written = write_all(fd, bytes, what, shown);
  if (::close(fd) != 0 && written.ok()) {
    written = Reason{errno_message("cannot write " + what, shown)};
  }
  return written;
}

}  // namespace

Result<Reason> read_file_head(const std::string& path, size_t max_bytes, std::string& contents,
                              bool& more) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return Reason{errno_message("cannot open", path)};
  contents.clear();
  more = false;
  const auto refuse = [&](std::string_view reason) {
    ::close(fd);
    return Reason{"cannot read " + path + ": " + std::string(reason)};
  };
  struct stat info {};
  if (::fstat(fd, &info) != 0) return refuse(std::strerror(errno));
  if (!S_ISREG(info.st_mode)) return refuse(kNotRegular);
  contents.reserve(std::min(static_cast<size_t>(info.st_size), max_bytes));
  char buffer[1 << 16];
  while (true) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return refuse(std::strerror(errno));
    if (n == 0) break;
    // The file may have grown since it was measured.
    const size_t room = max_bytes - contents.size();
    contents.append(buffer, std::min(static_cast<size_t>(n), room));
    if (static_cast<size_t>(n) > room) {
      more = true;
      break;
    }
  }
  ::close(fd);
  return {};
}

Result<Reason> read_file(const std::string& path, std::string& contents) {
  bool more = false;
  struct stat info {};
  // A file known to be too large is refused before it is read.
  if (::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
      static_cast<size_t>(info.st_size) > kMaxLineBytes) {
    more = true;
  }
  Result<Reason> read =
      more ? Result<Reason>() : read_file_head(path, kMaxLineBytes, contents, more);
  if (read.ok() && more) {
    contents.clear();
    return Reason{"cannot read " + path + ": larger than " + std::to_string(kMaxLineBytes >> 20) +
                  " MiB"};
  }
  return read;
}

Result<Reason> write_file_atomic(const std::string& path, std::string_view bytes,
                                 std::string_view what, bool unlink_old) {
  const std::string kind(what);
  struct stat info {};
  if (::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
    return write_to(path, path, bytes, kind, O_WRONLY | O_TRUNC);
  }
  const std::string temp = path + ".tmp." + std::to_string(::getpid());
  Result<Reason> written = write_to(temp, path, bytes, kind, O_WRONLY | O_CREAT | O_TRUNC);
  if (written.ok() && unlink_old) ::unlink(path.c_str());
  if (written.ok() && ::rename(temp.c_str(), path.c_str()) != 0) {
    written = Reason{errno_message("cannot write " + kind, path)};
  }
  if (!written.ok()) ::unlink(temp.c_str());
  return written;
}

Result<Reason> list_files(const std::string& dir, std::string_view suffix,
                          std::vector<std::string>& names) {
  DIR* directory = ::opendir(dir.c_str());
  if (directory == nullptr) return Reason{errno_message("cannot read directory", dir)};
  names.clear();
  while (const dirent* entry = ::readdir(directory)) {
    const std::string_view name = entry->d_name;
    if (!name.ends_with(suffix) || name == "." || name == "..") continue;
    // Entries that cannot be stat'ed (a dangling link) are listed so that
    // reading them reports the reason instead of passing over them.
    struct stat info {};
    if (::stat(join_path(dir, name).c_str(), &info) != 0 || S_ISREG(info.st_mode)) {
      names.emplace_back(name);
    }
  }
  ::closedir(directory);
  std::sort(names.begin(), names.end());
  return {};
}

bool is_directory(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string join_path(const std::string& dir, std::string_view name) {
  if (dir.empty() || dir.back() == '/') return dir + std::string(name);
  return dir + "/" + std::string(name);
}

long long modification_time(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return -1;
  return static_cast<long long>(info.st_mtim.tv_sec) * 1000000000LL + info.st_mtim.tv_nsec;
}

}  // namespace somlabel
