#include "keyphrases/model.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>

#include "common/checksum.h"
#include "common/io.h"
#include "keyphrases/model_format.h"

namespace somlabel::keyphrases {
namespace {

using somlabel::Result;

using model_format::Header;
using model_format::PhraseEntry;

static_assert(std::endian::native == std::endian::little, "the model file is little-endian");

}  // namespace

std::uint64_t model_checksum(std::string_view bytes) { return somlabel::checksum64(bytes); }

namespace {

std::uint64_t checksum(const unsigned char* p, std::size_t n) {
  return model_checksum({reinterpret_cast<const char*>(p), n});
}

std::uint64_t slots_for(std::size_t n) {
  std::uint64_t slots = 16;
  while (slots < n + n / 2 + 1) slots *= 2;  // load factor at most 2/3
  return slots;
}

void put_entry(std::vector<PhraseEntry>& table, std::uint64_t key, PhraseStats stats) {
  std::uint64_t mask = table.size() - 1;
  for (std::uint64_t i = key & mask;; i = (i + 1) & mask)
    if (table[i].key == 0 || table[i].key == key) {
      table[i] = {key, stats.df, stats.gold, stats.in_gold, stats.code_df};
      return;
    }
}

}  // namespace

std::string serialize_model(const ModelData& data) {
  std::vector<PhraseEntry> table(slots_for(data.phrases.size()), PhraseEntry{0, 0, 0, 0, 0});
  for (const auto& [key, stats] : data.phrases) put_entry(table, key, stats);
  Header h{};
  std::memcpy(h.magic, model_format::kMagic, sizeof h.magic);
  h.version = model_format::kVersion;
  h.language = static_cast<std::uint32_t>(data.language);
  h.n_documents = data.n_documents;
  h.n_weights = static_cast<std::uint32_t>(data.weights.size());
  h.flags = data.supervised ? model_format::kFlagSupervised : 0;
  h.table_slots = table.size();
  h.n_phrases = data.phrases.size();
  h.n_statistics = model_format::kNumStatistics;
  double statistics[model_format::kNumStatistics] = {};
  statistics[model_format::kStatPhraseRepeatShare] = data.stats.phrase_repeat_share;
  statistics[model_format::kStatWordRepeatShare] = data.stats.word_repeat_share;
  statistics[model_format::kStatMeanTokens] = data.stats.mean_tokens;
  std::string out(sizeof h, '\0');
  out.append(reinterpret_cast<const char*>(data.weights.data()),
             data.weights.size() * sizeof(double));
  out.append(reinterpret_cast<const char*>(statistics), sizeof statistics);
  out.append(reinterpret_cast<const char*>(table.data()), table.size() * sizeof(PhraseEntry));
  h.checksum = checksum(reinterpret_cast<const unsigned char*>(out.data()) + sizeof h,
                        out.size() - sizeof h);
  std::memcpy(out.data(), &h, sizeof h);
  return out;
}

Result<Reason> save_model(const ModelData& data, const std::string& path) {
  return somlabel::write_file_atomic(path, serialize_model(data), "model");
}

// Bounded by the table size: a table with no empty slot (possible only in a
// crafted file that still passes the checksum) must not loop forever.
PhraseStats Model::lookup(std::uint64_t key) const {
  std::uint64_t mask = slots_ - 1;
  std::uint64_t i = key & mask;
  for (std::uint64_t probes = 0; probes < slots_; ++probes, i = (i + 1) & mask) {
    PhraseEntry e;
    std::memcpy(&e, table_ + i * sizeof e, sizeof e);
    if (e.key == key) return {e.df, e.gold, e.in_gold, e.code_df};
    if (e.key == 0) break;
  }
  return {};
}

Result<Reason> Model::from_bytes(std::string_view bytes, std::string_view name, Model& model) {
  auto bad = [&](const char* why) {
    return Reason{std::string(name) + ": not a usable model file: " + why};
  };
  Header h;
  if (bytes.size() < sizeof h) return bad("too short for the header");
  std::memcpy(&h, bytes.data(), sizeof h);
  if (std::memcmp(h.magic, model_format::kMagic, sizeof h.magic) != 0)
    return bad("wrong magic number");
  if (h.version != model_format::kVersion)
    return Reason{std::string(name) + ": model format version " + std::to_string(h.version) +
                  ", this program reads version " + std::to_string(model_format::kVersion) +
                  "; retrain the model"};
  if (h.language > static_cast<std::uint32_t>(text::Language::spanish))
    return bad("unknown language");
  if (h.table_slots < 1 || (h.table_slots & (h.table_slots - 1)) != 0 ||
      h.table_slots > (1ULL << 40) || h.n_phrases >= h.table_slots || h.n_weights > 4096 ||
      h.n_statistics > 4096)
    return bad("inconsistent header");
  std::uint64_t numbers = std::uint64_t{h.n_weights} + h.n_statistics;
  std::uint64_t expected = sizeof h + numbers * 8 + h.table_slots * sizeof(PhraseEntry);
  if (bytes.size() != expected) return bad("wrong size (truncated or damaged)");
  auto body = reinterpret_cast<const unsigned char*>(bytes.data()) + sizeof h;
  if (checksum(body, bytes.size() - sizeof h) != h.checksum)
    return bad("checksum mismatch (damaged)");
  Model m;
  m.weights_.resize(h.n_weights);
  if (h.n_weights > 0) std::memcpy(m.weights_.data(), body, h.n_weights * sizeof(double));
  double statistics[model_format::kNumStatistics] = {};
  std::memcpy(statistics, body + h.n_weights * sizeof(double),
              std::min<std::size_t>(h.n_statistics, model_format::kNumStatistics) * sizeof(double));
  m.stats_ = {statistics[model_format::kStatPhraseRepeatShare],
              statistics[model_format::kStatWordRepeatShare],
              statistics[model_format::kStatMeanTokens]};
  m.table_ = body + numbers * sizeof(double);
  m.slots_ = h.table_slots;
  m.n_documents_ = h.n_documents;
  m.language_ = static_cast<text::Language>(h.language);
  m.supervised_ = (h.flags & model_format::kFlagSupervised) != 0;
  model = std::move(m);
  return {};
}

Result<Reason> Model::load(const std::string& path, Model& model) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return Reason{somlabel::errno_message("cannot open model", path)};
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    if (!S_ISREG(st.st_mode)) errno = EINVAL;
    Result<Reason> failed = Reason{somlabel::errno_message("cannot read model", path)};
    ::close(fd);
    return failed;
  }
  auto size = static_cast<std::size_t>(st.st_size);
  void* map =
      size == 0 ? nullptr : ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
  ::close(fd);
  if (map == MAP_FAILED) {
    return Reason{somlabel::errno_message("cannot map model", path)};
  }
  std::string_view bytes(static_cast<const char*>(map), size);
  Result<Reason> loaded = from_bytes(bytes, path, model);
  if (loaded.ok() && map != nullptr) {
    model.owner_ = std::shared_ptr<const void>(
        map, [size](const void* p) { ::munmap(const_cast<void*>(p), size); });
  } else if (map != nullptr) {
    ::munmap(map, size);
  }
  return loaded;
}

}  // namespace somlabel::keyphrases
