// Feeds arbitrary bytes to the model loader. Inputs whose first byte is odd get
// a correct checksum patched in, so the fuzzer also reaches past the checksum
// into header checks and table lookups.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "keyphrases/model.h"
#include "keyphrases/model_format.h"
#include "keyphrases/phrase_hash.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  bool patch = (data[0] & 1) != 0;
  std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
  using somlabel::keyphrases::model_format::Header;
  if (patch && bytes.size() >= sizeof(Header)) {
    std::memcpy(bytes.data(), somlabel::keyphrases::model_format::kMagic, sizeof Header::magic);
    std::uint64_t sum =
        somlabel::keyphrases::model_checksum(std::string_view(bytes).substr(sizeof(Header)));
    std::memcpy(bytes.data() + offsetof(Header, checksum), &sum, sizeof sum);
  }
  somlabel::keyphrases::Model model;
  if (!somlabel::keyphrases::Model::from_bytes(bytes, "fuzz", model)) return 0;
  for (const char* phrase : {"map", "neural network", "self-organ map unit"})
    (void)model.lookup(somlabel::keyphrases::phrase_key_of(phrase));
  for (std::size_t at = sizeof(Header); at + 8 <= bytes.size(); at += 24) {
    std::uint64_t key;
    std::memcpy(&key, bytes.data() + at, sizeof key);
    (void)model.lookup(key);
  }
  return 0;
}
