#include "common/checksum.h"

#include <bit>
#include <cstring>

namespace somlabel {

std::uint64_t checksum64(std::string_view bytes) {
  auto p = reinterpret_cast<const unsigned char*>(bytes.data());
  const std::size_t n = bytes.size();
  std::uint64_t lane[4] = {0x9E3779B97F4A7C15ULL, 0xC2B2AE3D27D4EB4FULL, 0x165667B19E3779F9ULL,
                           0x27D4EB2F165667C5ULL};
  constexpr std::uint64_t kMul = 0xFF51AFD7ED558CCDULL;
  std::size_t i = 0;
  for (; i + 32 <= n; i += 32)
    for (int k = 0; k < 4; ++k) {
      std::uint64_t w;
      std::memcpy(&w, p + i + 8 * k, 8);
      lane[k] = std::rotl(lane[k] ^ w, 29) * kMul;
    }
  std::uint64_t h =
      lane[0] ^ std::rotl(lane[1], 16) ^ std::rotl(lane[2], 32) ^ std::rotl(lane[3], 48);
  for (; i < n; ++i) h = (h ^ p[i]) * 0x100000001B3ULL;
  return (h ^ (h >> 31)) * kMul ^ n;
}

}  // namespace somlabel
