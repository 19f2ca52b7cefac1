// The checksum of the project's binary files (the extractor's model, the
// maps' codebooks): four multiply-xor lanes over 8-byte words, fast enough
// that checking a large file costs a few milliseconds. Lanes seeded
// 0x9E3779B97F4A7C15, 0xC2B2AE3D27D4EB4F, 0x165667B19E3779F9, 0x27D4EB2F165667C5
// take the four words of each whole 32-byte block, lane = rotl(lane ^ word, 29)
// * M with M = 0xFF51AFD7ED558CCD; then h = lane0 ^ rotl(lane1, 16) ^
// rotl(lane2, 32) ^ rotl(lane3, 48), each byte left over h = (h ^ byte) *
// 0x100000001B3, and the checksum is ((h ^ (h >> 31)) * M) ^ length.
#pragma once

#include <cstdint>
#include <string_view>

namespace somlabel {

[[nodiscard]] std::uint64_t checksum64(std::string_view bytes);

}  // namespace somlabel
