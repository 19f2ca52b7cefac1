#include "keyphrases/io.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace keyphrases {
namespace {

std::string sys_error(std::string_view what, const std::string& path) {
  return "keyphrases: " + std::string(what) + " " + path + ": " + std::strerror(errno);
}

Status write_all(int fd, std::string_view bytes, std::string_view what, const std::string& shown) {
  while (!bytes.empty()) {
    ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = ENOSPC;
      return Status::failure(sys_error("cannot write " + std::string(what), shown));
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return {};
}

// Messages name `shown`, the user's file, even while writing its temporary twin.
Status write_to(const std::string& path, const std::string& shown, std::string_view bytes,
                std::string_view what, int flags) {
  int fd = ::open(path.c_str(), flags | O_CLOEXEC, 0644);
  if (fd < 0) return Status::failure(sys_error("cannot create " + std::string(what), shown));
  Status st = write_all(fd, bytes, what, shown);
  if (::close(fd) != 0 && st.ok()) st = Status::failure(sys_error("cannot write " + std::string(what), shown));
  return st;
}

}  // namespace

Status read_file(const std::string& path, std::string* contents) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return Status::failure(sys_error("cannot open", path));
  contents->clear();
  struct stat st {};
  if (::fstat(fd, &st) == 0 && st.st_size > 0) contents->reserve(static_cast<std::size_t>(st.st_size));
  char buf[1 << 16];
  for (;;) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      std::string message = sys_error("cannot read", path);
      ::close(fd);
      return Status::failure(message);
    }
    if (n == 0) break;
    contents->append(buf, static_cast<std::size_t>(n));
  }
  ::close(fd);
  return {};
}

Status write_file_atomic(const std::string& path, std::string_view bytes, std::string_view what,
                         bool unlink_old) {
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
    return write_to(path, path, bytes, what, O_WRONLY | O_TRUNC);
  std::string temp = path + ".tmp." + std::to_string(::getpid());
  Status written = write_to(temp, path, bytes, what, O_WRONLY | O_CREAT | O_TRUNC);
  if (written.ok() && unlink_old) ::unlink(path.c_str());
  if (written.ok() && ::rename(temp.c_str(), path.c_str()) != 0)
    written = Status::failure(sys_error("cannot write " + std::string(what), path));
  if (!written.ok()) ::unlink(temp.c_str());
  return written;
}

Status list_files(const std::string& dir, std::string_view suffix, std::vector<std::string>* names) {
  DIR* d = ::opendir(dir.c_str());
  if (d == nullptr) return Status::failure(sys_error("cannot read directory", dir));
  names->clear();
  while (const dirent* e = ::readdir(d)) {
    std::string_view name = e->d_name;
    if (name.size() < suffix.size() || name.substr(name.size() - suffix.size()) != suffix) continue;
    if (name == "." || name == "..") continue;
    // Entries that cannot be stat'ed (a dangling link) are listed so that
    // reading them reports the reason instead of passing over them.
    struct stat st {};
    std::string full = join_path(dir, name);
    if (::stat(full.c_str(), &st) != 0 || S_ISREG(st.st_mode)) names->emplace_back(name);
  }
  ::closedir(d);
  std::sort(names->begin(), names->end());
  return {};
}

std::string join_path(const std::string& dir, std::string_view name) {
  if (dir.empty() || dir.back() == '/') return dir + std::string(name);
  return dir + "/" + std::string(name);
}

bool is_directory(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

long long modification_time(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return -1;
  return static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
}

}  // namespace keyphrases
