#include "somtrain/codebook_file.h"

#include <sys/stat.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "common/checksum.h"
#include "common/io.h"

namespace somlabel::somtrain {
namespace {

using codebook_format::Header;
using somlabel::Result;

static_assert(std::endian::native == std::endian::little, "the codebook file is little-endian");

// A map side is at most 100 units, a vocabulary far below this.
constexpr std::uint64_t kMaxUnits = 100 * 100;
constexpr std::uint64_t kMaxDims = std::uint64_t{1} << 28;

}  // namespace

std::string codebook_file_bytes(const StoredCodebook& codebook) {
  std::string body;
  for (const std::string& stem : codebook.stems) body.append(stem) += '\n';
  const std::size_t stem_bytes = body.size();
  body.append(reinterpret_cast<const char*>(codebook.weights.data()),
              codebook.weights.size() * sizeof(float));
  Header h{};
  std::memcpy(h.magic, codebook_format::kMagic, sizeof h.magic);
  h.version = codebook_format::kVersion;
  h.xdim = static_cast<std::uint32_t>(codebook.grid.xdim);
  h.ydim = static_cast<std::uint32_t>(codebook.grid.ydim);
  h.dims = static_cast<std::uint32_t>(codebook.stems.size());
  h.documents = codebook.documents;
  h.options = codebook.options;
  h.members = codebook.members;
  h.stem_bytes = stem_bytes;
  h.checksum = somlabel::checksum64(body);
  std::string bytes(reinterpret_cast<const char*>(&h), sizeof h);
  return bytes + body;
}

Result<Reason> parse_codebook_file(std::string_view bytes, StoredCodebook& codebook) {
  Header h{};
  if (bytes.size() < sizeof h) return Reason{"shorter than its header"};
  std::memcpy(&h, bytes.data(), sizeof h);
  if (std::memcmp(h.magic, codebook_format::kMagic, sizeof h.magic) != 0)
    return Reason{"not a codebook file"};
  if (h.version != codebook_format::kVersion) {
    return Reason{"a codebook of version " + std::to_string(h.version) +
                           ", this somtrain reads version " +
                           std::to_string(codebook_format::kVersion)};
  }
  const std::uint64_t units = std::uint64_t{h.xdim} * h.ydim;
  if (h.xdim == 0 || h.ydim == 0 || units > kMaxUnits || h.dims > kMaxDims ||
      h.stem_bytes > bytes.size() ||
      bytes.size() - sizeof h != h.stem_bytes + units * h.dims * sizeof(float)) {
    return Reason{"sizes that do not fit its length"};
  }
  const std::string_view body = bytes.substr(sizeof h);
  if (somlabel::checksum64(body) != h.checksum)
    return Reason{"checksum mismatch (damaged)"};
  StoredCodebook read{Grid{static_cast<int>(h.xdim), static_cast<int>(h.ydim)},
                      h.documents,
                      h.options,
                      h.members,
                      {},
                      {}};
  std::string_view stems = body.substr(0, h.stem_bytes);
  while (!stems.empty()) {
    const std::size_t end = stems.find('\n');
    if (end == std::string_view::npos || end == 0) break;
    if (!read.stems.empty() && !(read.stems.back() < stems.substr(0, end))) break;
    read.stems.emplace_back(stems.substr(0, end));
    stems.remove_prefix(end + 1);
  }
  if (!stems.empty() || read.stems.size() != h.dims)
    return Reason{"stems that are not one a line in ascending order"};
  read.weights.resize(units * h.dims);
  std::memcpy(read.weights.data(), body.data() + h.stem_bytes, read.weights.size() * sizeof(float));
  codebook = std::move(read);
  return {};
}

std::optional<StoredCodebook> read_stored_codebook(const std::string& name) {
  struct stat st {};
  if (::stat(name.c_str(), &st) != 0 && errno == ENOENT) return std::nullopt;
  std::string bytes;
  StoredCodebook stored;
  Result read = somlabel::read_file(name, bytes);
  if (read) read = parse_codebook_file(bytes, stored);
  if (read) return stored;
  const std::string& why = read.message();
  std::fprintf(stderr, "somtrain: warning: %s%s%s; the map is trained anew\n",
               why.starts_with("cannot ") ? "" : name.c_str(),
               why.starts_with("cannot ") ? "" : ": ", why.c_str());
  return std::nullopt;
}

void round_to_stored(Codebook& codebook) {
  for (double& w : codebook.weights) w = static_cast<double>(static_cast<float>(w));
}

StoredCodebook stored_codebook(const Codebook& codebook, const std::vector<std::string>& stems) {
  StoredCodebook stored{codebook.grid, 0, 0, 0, {}, {}, {}};
  std::vector<std::size_t> used;
  for (std::size_t d = 0; d < codebook.dims; ++d) {
    for (int u = 0; u < codebook.grid.units(); ++u) {
      if (codebook.row(u)[d] != 0.0) {
        used.push_back(d);
        break;
      }
    }
  }
  for (std::size_t d : used) stored.stems.push_back(stems[d]);
  for (int u = 0; u < codebook.grid.units(); ++u) {
    for (std::size_t d : used) stored.weights.push_back(static_cast<float>(codebook.row(u)[d]));
  }
  return stored;
}

Codebook restored_codebook(const StoredCodebook& stored, const std::vector<std::string>& stems) {
  const std::size_t dims = stems.size();
  Codebook codebook{stored.grid, dims,
                    std::vector<double>(static_cast<std::size_t>(stored.grid.units()) * dims, 0.0)};
  const std::size_t stored_dims = stored.stems.size();
  for (std::size_t s = 0; s < stored_dims; ++s) {
    const auto found = std::lower_bound(stems.begin(), stems.end(), stored.stems[s]);
    if (found == stems.end() || *found != stored.stems[s]) continue;
    const auto d = static_cast<std::size_t>(found - stems.begin());
    for (int u = 0; u < stored.grid.units(); ++u) {
      codebook.row(u)[d] = stored.weights[static_cast<std::size_t>(u) * stored_dims + s];
    }
  }
  return codebook;
}

}  // namespace somlabel::somtrain
