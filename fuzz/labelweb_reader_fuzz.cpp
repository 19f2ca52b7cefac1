// Feeds arbitrary bytes as a labelunit file through the reader and the page
// writer; the page goes to /dev/null.
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "common/settings.h"
#include "labelweb/labelunit_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static FILE* const page = std::fopen("/dev/null", "w");
  static char empty = '\0';
  // fmemopen wants a non-empty buffer: an empty input is a one-byte buffer
  // read from its end.
  FILE* in = size == 0 ? fmemopen(&empty, 1, "r")
                       : fmemopen(const_cast<uint8_t*>(data), size, "r");
  if (in == nullptr || page == nullptr) return 0;
  if (size == 0) std::fgetc(in);
  const somlabel::Settings settings;
  (void)somlabel::labelweb::write_page(in, page, settings);
  std::fclose(in);
  return 0;
}
