// Helpers shared by the fuzz targets: the input bytes as a read stream, and
// a stream that collects what a writer produces.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/test_util.h"

extern "C" __attribute__((weak)) void __sanitizer_report_error_summary(const char* summary);

namespace fuzzutil {

// A read stream over the bytes (NUL bytes included). fmemopen refuses an
// empty buffer, so an empty input reads from an empty tmpfile.
inline FILE* input(const uint8_t* data, size_t size) {
  if (size == 0) return std::tmpfile();
  return fmemopen(const_cast<uint8_t*>(data), size, "rb");
}

// Collects what is written to a FILE*, as the unit tests do.
using testutil::Output;

// Stops the run with a message; libFuzzer records the input as a finding.
// The message also goes where the sanitizers report, which stays open when
// libFuzzer silences the tools' own standard error (-close_fd_mask).
[[noreturn]] inline void fail(const char* what) {
  std::fprintf(stderr, "fuzz check failed: %s\n", what);
  if (&__sanitizer_report_error_summary != nullptr) {
    const std::string summary = std::string("fuzz check failed: ") + what;
    __sanitizer_report_error_summary(summary.c_str());
  }
  std::abort();
}

}  // namespace fuzzutil
