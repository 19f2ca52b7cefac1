// A map's trained model vectors, stored beside its unit file X.unit as
// X.unit.codebook, so that a later run can start from them. Little-endian:
//
//   Header (64 bytes, below)
//   stems     `dims` stems in ascending byte order, each ending in '\n'
//             (stem_bytes bytes): the terms the weights are over
//   weights   xdim * ydim rows of `dims` floats (IEEE single), one row per
//             unit in row order: the model vectors
//
// checksum covers every byte after the header (common/checksum.h). A term
// that no unit weighs is left out, so a sub-map stores only its own
// documents' terms. The weights are the ones the map's documents were put on
// its units with, so the stored map places them again exactly.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "common/result.h"
#include "somtrain/som.h"

namespace somlabel::somtrain {

namespace codebook_format {

inline constexpr char kMagic[8] = {'S', 'O', 'M', 'C', 'D', 'B', 'K', '\n'};
inline constexpr std::uint32_t kVersion = 1;

struct Header {
  char magic[8];
  std::uint32_t version;
  std::uint32_t xdim;
  std::uint32_t ydim;
  std::uint32_t dims;
  std::uint64_t documents;   // the map's documents when it was trained
  std::uint64_t options;     // fingerprint of the options of its training
  std::uint64_t members;     // fingerprint of its documents and their term counts
  std::uint64_t stem_bytes;  // length of the stems section
  std::uint64_t checksum;
};
static_assert(sizeof(Header) == 64);

}  // namespace codebook_format

inline constexpr std::string_view kCodebookEnding = ".codebook";  // behind the unit file's name

// Where an earlier training of a map put its documents: what its unit file
// says, read beside the codebook (read_earlier_map in unit_file.h); no part
// of the codebook file.
struct EarlierPlacement {
  bool known = false;                              // false: no unit file could be read
  std::unordered_map<std::uint64_t, int> unit_of;  // checksum64 of a document's name -> unit
  std::vector<bool> expanded;                      // per unit: whether it had a sub-map
  friend bool operator==(const EarlierPlacement&, const EarlierPlacement&) = default;
};

// The contents of a codebook file. Owns everything.
struct StoredCodebook {
  Grid grid;
  std::uint64_t documents = 0;
  std::uint64_t options = 0;
  std::uint64_t members = 0;
  std::vector<std::string> stems;   // ascending
  std::vector<float> weights;       // grid.units() rows of stems.size() values
  EarlierPlacement placement = {};  // not in the file: from the unit file beside it
  friend bool operator==(const StoredCodebook&, const StoredCodebook&) = default;
};

[[nodiscard]] std::string codebook_file_bytes(const StoredCodebook& codebook);

// Checks magic, version, sizes, the order of the stems and the checksum.
// Fails with a message (without the file's name) saying what is wrong.
[[nodiscard]] somlabel::Result<Reason> parse_codebook_file(std::string_view bytes,
                                                   StoredCodebook& codebook);

// The codebook file `name` as an earlier training left it, to start a map
// from; none when there is no such file, and none after a warning naming it
// when it cannot be read or used (the map is then trained anew).
[[nodiscard]] std::optional<StoredCodebook> read_stored_codebook(const std::string& name);

// The weights of `codebook` each rounded to a float, as they are stored: a
// map is used with these, so that the stored map places its documents again
// exactly.
void round_to_stored(Codebook& codebook);

// What is stored of `codebook`, whose dimension d is the term `stems[d]`:
// every term that a unit weighs, with the weights (already rounded).
[[nodiscard]] StoredCodebook stored_codebook(const Codebook& codebook,
                                             const std::vector<std::string>& stems);

// The codebook over `stems` (ascending; a term's index is its dimension)
// that `stored` holds: its terms that `stems` has keep their weights, the
// others are dropped, and terms it does not know weigh 0.
[[nodiscard]] Codebook restored_codebook(const StoredCodebook& stored,
                                         const std::vector<std::string>& stems);

}  // namespace somlabel::somtrain
