#include "labelcalc/mode0_batch.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <string_view>

#include "common/checksum.h"
#include "common/io.h"
#include "common/map_keys.h"
#include "common/map_names.h"
#include "common/numbers.h"
#include "labelcalc/extractor_run.h"
#include "labelcalc/token_reader.h"

namespace somlabel::labelcalc {
namespace {

constexpr size_t kCopyBlock = size_t{1} << 20;

bool write_all(int to, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t written = write(to, data, size);
    if (written < 0 && errno == EINTR) continue;
    if (written < 0) return false;
    data += written;
    size -= static_cast<size_t>(written);
  }
  return true;
}

// Appends all of `document` to `out`; false on any error, without a word:
// the unit's own step will meet the same error and name it.
bool append_quietly(const std::string& document, int out, char* block, std::uint64_t& bytes) {
  if (document.find('\0') != std::string::npos) return false;
  const int in = open(document.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return false;
  bool ok = true;
  for (;;) {
    const ssize_t got = read(in, block, kCopyBlock);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      ok = got == 0;
      break;
    }
    if (!write_all(out, block, static_cast<size_t>(got))) {
      ok = false;
      break;
    }
    bytes += static_cast<std::uint64_t>(got);
  }
  close(in);
  return ok;
}

// Joins the unit's documents into `text` as the unit's step would, and
// removes a key file of an earlier run. False where the step would have
// failed or said something; the step then writes `text` anew. A part written
// is removed, lest the extractor take it for a unit; what stood there as
// other than a file (a link, a device) stays for the step to meet.
bool join_quietly(const unit& u, const Settings& settings, const std::string& text,
                  const std::string& key, char* block, std::uint64_t& bytes) {
  if (text.find('\0') != std::string::npos) return false;
  const int out = open(text.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (out < 0) return false;
  bool ok = true;
  for (size_t i = 0; ok && i < u.label_document_count(); ++i) {
    ok = append_quietly(settings.sourcepath + u.filelist[i], out, block, bytes);
  }
  if (close(out) != 0) ok = false;
  if (ok) return unlink(key.c_str()) == 0 || errno == ENOENT;
  struct stat status {};
  if (lstat(text.c_str(), &status) == 0 && S_ISREG(status.st_mode)) unlink(text.c_str());
  return false;
}

// Reads a unit file as the pass does and hands over each unit at its
// "$MAPPED_VECS" list. Stops when `at_unit` returns false; false when the
// file cannot be read to its end.
template <typename AtUnit>
bool scan_unit_file(const std::string& map, AtUnit at_unit) {
  File unit_file;
  if (!unit_file.open(map, "r")) return false;
  TokenReader reader(unit_file.get());
  unit u;
  std::string token, value;
  while (reader.next_token(token)) {
    const std::string_view key = token;
    if (key == keys::kMappedVecs) {
      u.filelist.clear();
      int names_read = 0;
      while (names_read < u.nr_mapped_vecs && reader.next_token(value)) {
        if (names_read < kMaxMappedVecs) u.filelist.push_back(value);
        ++names_read;
      }
      if (!reader.failure().empty() || !at_unit(u)) return false;
    } else if (key == keys::kPosX || key == keys::kPosY || key == keys::kNrVecMapped ||
               key == keys::kNodeId || key == keys::kQuanterrorNode || key == keys::kNrSomsMapped ||
               key == keys::kUrlMappedSoms) {
      if (!reader.next_token(value)) break;
      if (key == keys::kPosX) u.pos_x_str = value;
      if (key == keys::kPosY) u.pos_y_str = value;
      if (key == keys::kNrVecMapped) u.nr_mapped_vecs = to_int(value);
    } else {
      reader.copy_rest_of_line(nullptr);
    }
  }
  return reader.failure().empty();
}

void remove_unit_files(const std::string& stem) {
  unlink((stem + std::string(kTextEnding)).c_str());
  unlink((stem + std::string(kKeyEnding)).c_str());
}

}  // namespace

std::string unit_stem(const Settings& settings, const std::string& map, const unit& u) {
  return settings.kea_tmp_path + std::string(base_name(map)) + '.' + u.pos_x_str + '_' +
         u.pos_y_str;
}

std::uint64_t document_fingerprint(const unit& curr_unit) {
  // The names are tokens of the unit file, so none holds a line end.
  std::string names;
  for (size_t i = 0; i < curr_unit.label_document_count(); ++i) {
    names.append(curr_unit.filelist[i]).push_back('\n');
  }
  return checksum64(names);
}

void Mode0Batches::plan(std::vector<std::string> maps, BatchLimits limits) {
  remove_leftovers();
  maps_ = std::move(maps);
  limits_ = limits;
  active_ = !maps_.empty();
  current_ = next_ = prepared_ = runs_ = 0;
}

void Mode0Batches::enter_map(const std::string& map) {
  if (!active_) return;
  if (next_ < maps_.size() && maps_[next_] == map) {
    current_ = next_++;
    return;
  }
  remove_leftovers();
  active_ = false;
}

std::optional<bool> Mode0Batches::take(const unit& curr_unit, const std::string& stem,
                                       const Settings& settings) {
  if (!active_ || next_ == 0) return std::nullopt;
  if (current_ >= prepared_) prepare(current_, settings);
  const auto found = units_.find(stem);
  if (found == units_.end() || found->second.taken || found->second.map != current_) {
    return std::nullopt;
  }
  found->second.taken = true;
  if (!found->second.joined || found->second.documents != document_fingerprint(curr_unit)) {
    return std::nullopt;
  }
  return started_;
}

void Mode0Batches::leave_map(bool failed) {
  if (!active_) return;
  if (failed) {
    remove_leftovers();
    return;
  }
  for (auto it = units_.begin(); it != units_.end();) {
    if (it->second.map != current_) {
      ++it;
      continue;
    }
    if (!it->second.taken) remove_unit_files(it->first);
    it = units_.erase(it);
  }
}

void Mode0Batches::remove_leftovers() {
  for (const auto& [stem, prepared] : units_) {
    if (!prepared.taken) remove_unit_files(stem);
  }
  units_.clear();
}

void Mode0Batches::prepare(std::size_t first, const Settings& settings) {
  remove_leftovers();
  const auto block = std::make_unique_for_overwrite<char[]>(kCopyBlock);
  std::uint64_t bytes = 0;
  std::size_t map = first;
  bool stop = false;
  for (; map < maps_.size() && !stop; ++map) {
    if (map > first && (units_.size() >= limits_.units || bytes >= limits_.bytes)) break;
    // A unit the batch cannot prepare ends it: the step of that unit will
    // most likely fail and end the walk, so nothing beyond is prepared.
    const bool read = scan_unit_file(maps_[map], [&](const unit& u) {
      const std::string stem = unit_stem(settings, maps_[map], u);
      if (units_.count(stem) != 0) {
        stop = true;
        return false;
      }
      const bool joined = join_quietly(u, settings, stem + std::string(kTextEnding),
                                       stem + std::string(kKeyEnding), block.get(), bytes);
      units_.emplace(stem, Prepared{document_fingerprint(u), map, joined, false});
      stop = !joined;
      return joined;
    });
    if (!read) stop = true;
  }
  prepared_ = map;
  started_ = false;
  const bool any = std::any_of(units_.begin(), units_.end(),
                               [](const auto& entry) { return entry.second.joined; });
  if (!any) return;
  started_ = run_program(extractor_arguments(settings)).started;
  ++runs_;
}

Mode0Batches& mode0_batches() {
  static Mode0Batches batches;
  return batches;
}

}  // namespace somlabel::labelcalc
