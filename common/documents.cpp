#include "common/documents.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <set>
#include <utility>

#include "common/io.h"

namespace somlabel {
namespace {

bool has_blank(std::string_view name) {
  return name.find_first_of(" \t\n\r\v\f") != std::string_view::npos;
}

bool compressed(std::string_view text) {
  constexpr std::string_view kSignatures[] = {{"\x1f\x8b", 2},
                                              {"BZh", 3},
                                              {"\xfd"
                                               "7zXZ\0",
                                               6},
                                              {"\x28\xb5\x2f\xfd", 4},
                                              {"PK\x03\x04", 4}};
  return std::any_of(std::begin(kSignatures), std::end(kSignatures),
                     [&](std::string_view signature) { return text.starts_with(signature); });
}

bool control(unsigned char c) {
  return (c < 0x20 && c != '\t' && c != '\n' && c != '\r' && c != '\f' && c != '\b' && c != 0x1b) ||
         c == 0x7f;
}

using FolderId = std::pair<dev_t, ino_t>;

// A walk over the folders below the document folder, depth first.
class Walk {
 public:
  Walk(std::vector<std::string>& names, std::vector<PassedOver>& passed_over,
       std::vector<FileStamp>& stamps)
      : names_(names), passed_over_(passed_over), stamps_(stamps) {}

  // Leaves out the folder `path` (not followed when it cannot be stat'ed).
  void leave_out(const std::string& path) {
    struct stat info {};
    if (!path.empty() && ::stat(path.c_str(), &info) == 0) seen_.insert({info.st_dev, info.st_ino});
  }

  // Walks `dir`, whose documents are named `prefix` + their path below it,
  // unless it was walked before or is left out (`top` is walked all the
  // same). False, with errno set, where `dir` cannot be read.
  bool walk(const std::string& dir, const std::string& prefix, bool top = false) {
    struct stat info {};
    if (::stat(dir.c_str(), &info) != 0) return false;
    if (!S_ISDIR(info.st_mode)) return errno = ENOTDIR, false;
    if (!seen_.insert({info.st_dev, info.st_ino}).second && !top) return true;
    const std::unique_ptr<DIR, int (*)(DIR*)> folder(::opendir(dir.c_str()), ::closedir);
    if (!folder) return false;
    std::vector<std::string> entries;
    errno = 0;
    while (const dirent* entry = ::readdir(folder.get())) {
      if (entry->d_name[0] != '.') entries.emplace_back(entry->d_name);
    }
    if (errno != 0) return false;
    // In byte order, so that of two ways to one folder the first by name wins.
    std::sort(entries.begin(), entries.end());
    for (const std::string& entry : entries) take(join_path(dir, entry), prefix + entry);
    return true;
  }

 private:
  void take(const std::string& path, std::string name) {
    struct stat info {};
    if (has_blank(name)) return pass_over(std::move(name), kBlankInName);
    if (::stat(path.c_str(), &info) != 0 || (!S_ISDIR(info.st_mode) && !S_ISREG(info.st_mode))) {
      return pass_over(std::move(name), kNotRegularFile);
    }
    if (S_ISREG(info.st_mode)) {
      stamps_.push_back({static_cast<std::uint64_t>(info.st_size),
                         static_cast<std::uint64_t>(info.st_mtim.tv_sec) * 1000000000u +
                             static_cast<std::uint64_t>(info.st_mtim.tv_nsec),
                         static_cast<std::uint64_t>(info.st_ino)});
      return names_.push_back(std::move(name));
    }
    if (!walk(path, name + '/')) pass_over(name + '/', "cannot read the folder: " + errno_text());
  }
  void pass_over(std::string name, std::string_view reason) {
    passed_over_.push_back({std::move(name), std::string(reason)});
  }

  std::vector<std::string>& names_;
  std::vector<PassedOver>& passed_over_;
  std::vector<FileStamp>& stamps_;
  std::set<FolderId> seen_;
};

}  // namespace

Result<Reason> list_documents(const std::string& dir, std::vector<std::string>& names,
                              std::vector<PassedOver>& passed_over, const std::string& leave_out) {
  std::vector<FileStamp> stamps;
  return list_documents(dir, names, passed_over, leave_out, stamps);
}

Result<Reason> list_documents(const std::string& dir, std::vector<std::string>& names,
                              std::vector<PassedOver>& passed_over, const std::string& leave_out,
                              std::vector<FileStamp>& stamps) {
  names.clear();
  passed_over.clear();
  stamps.clear();
  Walk walk(names, passed_over, stamps);
  walk.leave_out(leave_out);
  if (!walk.walk(dir, "", true)) {
    return Reason{"cannot read directory " + dir + ": " + errno_text()};
  }
  std::vector<std::size_t> order(names.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::sort(order.begin(), order.end(),
            [&](std::size_t a, std::size_t b) { return names[a] < names[b]; });
  std::vector<std::string> sorted;
  std::vector<FileStamp> sorted_stamps;
  sorted.reserve(order.size());
  sorted_stamps.reserve(order.size());
  for (std::size_t i : order) {
    sorted.push_back(std::move(names[i]));
    sorted_stamps.push_back(stamps[i]);
  }
  names = std::move(sorted);
  stamps = std::move(sorted_stamps);
  std::sort(passed_over.begin(), passed_over.end(),
            [](const PassedOver& a, const PassedOver& b) { return a.name < b.name; });
  return {};
}

std::string passed_over_message(std::string_view path, std::string_view reason) {
  return std::string(path) + ": passed over: " + std::string(reason);
}

std::string cut_message(std::string_view path) {
  return std::string(path) + ": cut: only its first " + std::to_string(kMaxDocumentBytes >> 20) +
         " MiB are read";
}

void cut_document(std::string& text, size_t max_bytes) {
  if (text.size() <= max_bytes) return;
  size_t end = max_bytes;
  // Not inside a UTF-8 character: continuation bytes are 10xxxxxx.
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xc0) == 0x80) --end;
  const size_t look_back = std::min<size_t>(max_bytes, 256);
  const size_t blank = text.find_last_of(" \t\n\r\f\v", max_bytes);
  if (blank != std::string::npos && blank + look_back >= max_bytes) end = blank;
  text.resize(end);
}

bool looks_binary(std::string_view text) {
  text = text.substr(0, kBinaryCheckBytes);
  if (text.find('\0') != std::string_view::npos || compressed(text)) return true;
  const auto controls = std::count_if(
      text.begin(), text.end(), [](char c) { return control(static_cast<unsigned char>(c)); });
  return static_cast<size_t>(controls) * 10 > text.size();
}

bool has_words(std::string_view text) {
  return std::any_of(text.begin(), text.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte >= 0x80 || (byte >= '0' && byte <= '9') ||
           ((byte | 0x20) >= 'a' && (byte | 0x20) <= 'z');
  });
}

Result<Reason> read_document(const std::string& path, DocumentRead& document) {
  document = {};
  // One byte more than is kept tells whether the document goes on.
  Result<Reason> read = read_file_head(path, kMaxDocumentBytes + 1, document.text, document.cut);
  if (!read) return read;
  document.cut = document.text.size() > kMaxDocumentBytes;
  cut_document(document.text);
  if (looks_binary(document.text)) {
    document.passed_over = kBinary;
  } else if (!has_words(document.text)) {
    document.passed_over = kNoWords;
  }
  return {};
}

}  // namespace somlabel
