// Small helpers for tests that feed readers bytes in memory.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

namespace testutil {

// A read stream over `bytes` (NUL bytes included); close with fclose.
inline FILE* input(const std::string& bytes) {
  // fmemopen cannot open an empty buffer on every libc; a tmpfile always works.
  FILE* in = std::tmpfile();
  std::fwrite(bytes.data(), 1, bytes.size(), in);
  std::rewind(in);
  return in;
}

// Collects what is written to a FILE*.
class Output {
 public:
  Output() : stream_(open_memstream(&data_, &size_)) {}
  ~Output() {
    if (stream_ != nullptr) std::fclose(stream_);
    std::free(data_);
  }
  Output(const Output&) = delete;
  Output& operator=(const Output&) = delete;
  FILE* get() const { return stream_; }
  std::string text() {
    std::fflush(stream_);
    return std::string(data_, size_);
  }

 private:
  char* data_ = nullptr;
  size_t size_ = 0;
  FILE* stream_;
};

// A fresh directory under the system's temporary directory, removed with
// everything in it at the end of the test.
class TempDir {
 public:
  TempDir() {
    std::random_device seed;
    path_ = std::filesystem::temp_directory_path() /
            ("somlabel-test-" + std::to_string(seed()) + std::to_string(seed()));
    std::filesystem::create_directories(path_);
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::string str() const { return path_.string() + "/"; }

 private:
  std::filesystem::path path_;
};

inline void write_file(const std::filesystem::path& path, const std::string& bytes) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary);
  out << bytes;
}

inline std::string read_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace testutil
