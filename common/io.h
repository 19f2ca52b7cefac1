// File input and output of every tool. Lines are read whole, up to a bound
// far beyond any sane line, embedded NUL bytes included; output files report
// write errors when they are closed. The operations that return a Result<Reason> leave the message
// to their caller (common/result.h): keyphrases reads and writes on several threads, and decides
// itself whether a missing file is an error.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/result.h"

namespace somlabel {

// The system's reason for the last failed call, as strerror words it.
[[nodiscard]] std::string errno_text();

// "what name: reason" for the last failed call.
[[nodiscard]] std::string errno_message(std::string_view what, std::string_view name);

// The longest line (or word) a reader takes, line end included, and the
// largest file read whole. Lines of any sane length stay whole (a 10 MB
// key-file line, the document list of a unit of millions); a file that is one
// endless line, such as a device reading zeros, ends with a message instead
// of filling the memory.
inline constexpr size_t kMaxLineBytes = size_t{256} << 20;

// The reason given for a file that is read back but is no regular file.
inline constexpr const char* kNotRegular = "not a regular file";

// The reason given for a line or word beyond the bound: "WHAT is longer than
// 256 MiB".
[[nodiscard]] std::string too_long_text(std::string_view what, size_t max_bytes);

// Reads a FILE* line by line, from large blocks read with fread and cut with
// memchr, handing out views instead of copies. The reader reads ahead: the
// stream stays owned by the caller, must outlive the reader, and must not be
// read by anything else meanwhile. It holds at most `max_line` bytes.
class LineReader {
 public:
  explicit LineReader(FILE* in, size_t initial_capacity = size_t{1} << 16,
                      size_t max_line = kMaxLineBytes);
  LineReader(const LineReader&) = delete;
  LineReader& operator=(const LineReader&) = delete;

  // The next line with its newline, if it had one (a last line without one
  // comes whole). False at the end of the input, on a read error and at a
  // line longer than `max_line`; failure() tells them apart. The view is
  // valid until the next call.
  [[nodiscard]] bool next(std::string_view& line);

  // Why reading stopped before the end of the input: the system's reason
  // for a read error, or which line was too long. Empty at the end.
  [[nodiscard]] const std::string& failure() const { return failure_; }

 private:
  bool take(std::string_view& line, size_t length);
  bool refill();
  bool grow();

  FILE* in_;
  std::unique_ptr<char[]> buffer_;
  size_t capacity_;
  size_t max_line_;
  size_t begin_ = 0;  // first byte not yet handed out
  size_t end_ = 0;    // end of the bytes read
  size_t lines_ = 0;  // lines handed out
  bool at_end_ = false;
  std::string failure_;
};

// Owns a FILE* opened by name. The destructor closes silently; call close()
// to learn whether everything reached the file.
class File {
 public:
  File() = default;
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  ~File();

  // fopen with `mode`; false (errno set) when the file cannot be opened, is
  // a directory, or its name holds a NUL byte (EINVAL).
  [[nodiscard]] bool open(const std::string& name, const char* mode);

  // Opens `name` for writing from its start; the file is created when it
  // does not exist. An older file is overwritten in place and cut to the new
  // length when it is closed, not truncated first: a file truncated to
  // nothing is flushed to disk when it is closed (ext4), and unlinking the
  // old file frees all its blocks, either of which made rewriting pages and
  // labelunit files many times slower than writing them. Links (also to a
  // device) are written through. A run that dies half-way leaves the start
  // of the new contents before the rest of the old.
  [[nodiscard]] bool create(const std::string& name);
  [[nodiscard]] FILE* get() const { return file_; }
  // Whether the open file is a regular file. A file read back after it was
  // written must be one: a device or a pipe may never end (the reason to
  // give is kNotRegular).
  [[nodiscard]] bool is_regular() const;
  [[nodiscard]] bool is_open() const { return file_ != nullptr; }
  [[nodiscard]] const std::string& name() const { return name_; }

  // Flushes and closes. Fails, with the message "cannot write NAME: reason",
  // when a write failed at any point or the close itself failed.
  [[nodiscard]] Result<Reason> close();

 private:
  void discard();  // closes without a word, as the destructor does
  int cut_at_end();

  FILE* file_ = nullptr;
  std::string name_;
  bool cut_at_close_ = false;  // opened by create() on a regular file
};

// Writes bytes to an output stream; errors are picked up by File::close.
inline void put(FILE* out, std::string_view text) { fwrite(text.data(), 1, text.size(), out); }

// The whole of a regular file of at most kMaxLineBytes (not waiting for a
// writer when it is a pipe). Messages: "cannot open NAME: reason", "cannot
// read NAME: reason", where the reason may be kNotRegular or "larger than
// 256 MiB".
[[nodiscard]] Result<Reason> read_file(const std::string& path, std::string& contents);

// The first `max_bytes` of a regular file; `more` tells whether the file goes
// on beyond them. Messages as read_file's.
[[nodiscard]] Result<Reason> read_file_head(const std::string& path, size_t max_bytes,
                                            std::string& contents, bool& more);

// Writes through a temporary file beside `path` and renames it into place, so
// readers never see half a file. Devices and pipes (e.g. /dev/full) are written
// directly instead, since a rename would replace them. `what` names the kind of
// file in messages ("cannot create model NAME: ...", "cannot write key file NAME: ...").
// With unlink_old the old file is removed just before the rename: ext4 flushes
// data to disk when a rename replaces a file, which made rewriting thousands of
// key files ten times slower; readers may then briefly find no file.
[[nodiscard]] Result<Reason> write_file_atomic(const std::string& path, std::string_view bytes,
                                               std::string_view what, bool unlink_old = false);

// Names of the regular files in `dir` (symbolic links followed) ending in
// `suffix`, sorted bytewise. Names that cannot be stat'ed are included, so
// that the caller's read reports why; directories and devices are not.
// Message: "cannot read directory DIR: reason".
[[nodiscard]] Result<Reason> list_files(const std::string& dir, std::string_view suffix,
                                        std::vector<std::string>& names);

[[nodiscard]] bool is_directory(const std::string& path);

// dir + "/" + name, without doubling a slash that dir already ends in
// ("output/tmp_kea/" as the labeller passes it).
[[nodiscard]] std::string join_path(const std::string& dir, std::string_view name);

// Modification time in nanoseconds, or -1 when the file cannot be stat'ed.
[[nodiscard]] long long modification_time(const std::string& path);

}  // namespace somlabel
