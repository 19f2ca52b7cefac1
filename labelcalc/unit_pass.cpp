#include "labelcalc/unit_pass.h"

#include <cerrno>
#include <cstring>
#include <vector>

#include "common/format_texts.h"
#include "common/io.h"
#include "common/map_keys.h"
#include "common/map_names.h"
#include "common/messages.h"
#include "common/numbers.h"
#include "labelcalc/mode0_step.h"
#include "labelcalc/mode1_step.h"
#include "labelcalc/token_reader.h"

namespace somlabel::labelcalc {
namespace {

// Copies all of `in` to `out`; false on a read error.
bool copy_stream(FILE* in, FILE* out) {
  std::vector<char> buffer(1 << 16);
  size_t n;
  while ((n = std::fread(buffer.data(), 1, buffer.size(), in)) > 0) {
    std::fwrite(buffer.data(), 1, n, out);
  }
  return std::ferror(in) == 0;
}

class UnitPass {
 public:
  UnitPass(FILE* in, FILE* out, const std::string& map, const Settings& settings,
           const LabelSteps& steps)
      : reader_(in), out_(out), map_(map), settings_(settings), steps_(steps) {}

  Result<Told> run();

 private:
  bool read_value();
  Result<Told> mapped_vecs();
  void warn_about_names(int names_read);
  Result<Told> link_sub_map(const std::string& address);
  bool read_failed() const;
  // A write to the labelunit file has failed: the map fails, so the label
  // steps and links that would follow (extractor runs, appends to the
  // sub-maps' files) are not started. The caller reports the write error.
  bool output_failed() const { return std::ferror(out_) != 0; }

  TokenReader reader_;
  FILE* out_;
  const std::string& map_;
  const Settings& settings_;
  const LabelSteps& steps_;
  unit curr_unit_;
  std::string token_;
  std::string value_;
  bool at_end_ = false;
};

Result<Told> UnitPass::run() {
  while (!at_end_ && reader_.next_token(token_)) {
    put(out_, token_);
    const std::string_view key = token_;
    if (key == keys::kPosX) {
      if (read_value()) {
        curr_unit_.pos_x_str = value_;
        curr_unit_.pos_x = to_int(value_);
      }
    } else if (key == keys::kPosY) {
      if (read_value()) {
        curr_unit_.pos_y_str = value_;
        curr_unit_.pos_y = to_int(value_);
      }
    } else if (key == keys::kNodeId) {
      if (read_value()) curr_unit_.node_id = value_;
    } else if (key == keys::kQuanterrorNode) {
      if (read_value()) curr_unit_.quanterror_node = value_;
    } else if (key == keys::kNrVecMapped) {
      if (read_value()) curr_unit_.nr_mapped_vecs = to_int(value_);
    } else if (key == keys::kMappedVecs) {
      if (!mapped_vecs()) return Told{};
    } else if (key == keys::kNrSomsMapped) {
      if (!read_value()) continue;
      curr_unit_.nr_soms_mapped = to_int(value_);
      if (curr_unit_.nr_soms_mapped != 0 || settings_.mode == 0) continue;
      if (output_failed()) return Told{};
      if (!steps_.calcman(curr_unit_, out_, settings_)) {
        quote(texts::kErrorCalculatingKeyphrases, curr_unit_.pos_x, curr_unit_.pos_y, map_.c_str());
        return Told{};
      }
    } else if (key == keys::kUrlMappedSoms) {
      if (!read_value()) continue;
      curr_unit_.url_mapped_soms = value_;
      if (output_failed() || !link_sub_map(value_)) return Told{};
    } else {
      reader_.copy_rest_of_line(out_);
    }
  }
  return read_failed() ? Told{} : Result<Told>();
}

// Whether reading the unit file failed; prints why.
bool UnitPass::read_failed() const {
  if (reader_.failure().empty()) return false;
  say("cannot read %s: %s", map_.c_str(), reader_.failure().c_str());
  return true;
}

// Reads the one value token of a known key and writes " value\n". At the end
// of the input the line is only closed and the pass ends.
bool UnitPass::read_value() {
  if (!reader_.next_token(value_)) {
    put(out_, "\n");
    at_end_ = true;
    return false;
  }
  put(out_, " ");
  put(out_, value_);
  put(out_, "\n");
  return true;
}

Result<Told> UnitPass::mapped_vecs() {
  // Names not read (the file ends inside the list) are neither copied nor
  // kept: the label steps see only this unit's names.
  curr_unit_.filelist.clear();
  int names_read = 0;
  while (names_read < curr_unit_.nr_mapped_vecs && reader_.next_token(value_)) {
    put(out_, " ");
    put(out_, value_);
    if (names_read < kMaxMappedVecs) curr_unit_.filelist.push_back(value_);
    ++names_read;
  }
  put(out_, "\n");
  if (names_read > kMaxMappedVecs) {
    quote(texts::kMappedVecsExceeded[0], kMaxMappedVecs, curr_unit_.pos_x, curr_unit_.pos_y);
    quote(texts::kMappedVecsExceeded[1], kMaxMappedVecs);
    quote(texts::kMappedVecsExceeded[2], map_.c_str());
  }
  for (const std::string& name : curr_unit_.filelist) {
    put(out_, keys::kVec);
    put(out_, " ");
    put(out_, name);
    put(out_, "\n");
  }
  if (read_failed()) return Told{};
  if (names_read != curr_unit_.nr_mapped_vecs) warn_about_names(names_read);
  if (settings_.mode != 0 && settings_.mode != 2) return {};
  if (output_failed()) return Told{};
  if (!steps_.catman(curr_unit_, out_, map_, settings_)) {
    quote("%s", texts::kErrorCatting);
    return Told{};
  }
  return {};
}

void UnitPass::warn_about_names(int names_read) {
  quote(texts::kCorruptUnitFile[0], names_read, curr_unit_.nr_mapped_vecs);
  quote(texts::kCorruptUnitFile[1], map_.c_str());
  quote("%s", texts::kCorruptUnitFile[2]);
}

// Copies the sub-map's map key file in as this unit's mode-1 block and tells
// the sub-map's labelunit file which map lies above it.
Result<Told> UnitPass::link_sub_map(const std::string& address) {
  const std::string keyfile = key_file_name(settings_, sub_map_name(base_name(address)));
  File sub_keys;
  if (!sub_keys.open(keyfile, "r")) {
    quote(texts::kErrorOpeningKeyfile, keyfile.c_str(), errno_text().c_str());
    return Told{};
  }
  if (!sub_keys.is_regular()) {
    return fail("cannot read %s: %s", keyfile.c_str(), kNotRegular);
  }
  if (!copy_stream(sub_keys.get(), out_)) {
    return fail("cannot read %s: %s", keyfile.c_str(), errno_text().c_str());
  }

  const std::string sub_labelunit = labelunit_name(sub_map_name(address));
  File above;
  if (!above.open(sub_labelunit, "a")) {
    quote(texts::kErrorOpeningSubLabelunit, sub_labelunit.c_str(), errno_text().c_str());
    return Told{};
  }
  put(above.get(), keys::kSomAbove);
  put(above.get(), " ");
  put(above.get(), map_);
  put(above.get(), "\n");
  return told(above.close());
}

}  // namespace

LabelSteps default_label_steps() { return {&do_the_catman, &do_the_calcman}; }

Result<Told> pass_unit_file(FILE* in, FILE* out, const std::string& map, const Settings& settings,
                            const LabelSteps& steps) {
  UnitPass pass(in, out, map, settings, steps);
  return pass.run();
}

Result<Told> do_the_parsman(const std::string& map, const Settings& settings) {
  File unit_file;
  if (!unit_file.open(map, "r")) {
    quote(texts::kUnitFileNotFound, map.c_str(), errno_text().c_str());
    return Told{};
  }
  const std::string labelunit_file = labelunit_name(map);
  std::printf(texts::kProcessingMap, map.c_str(), labelunit_file.c_str());
  File labelunit;
  if (!labelunit.create(labelunit_file)) {
    const std::string reason = errno_text();
    quote("%s", texts::kErrorWritingFile);
    return fail("cannot create %s: %s", labelunit_file.c_str(), reason.c_str());
  }
  Result<Told> passed =
      pass_unit_file(unit_file.get(), labelunit.get(), map, settings, default_label_steps());
  if (!passed && std::ferror(labelunit.get()) == 0) return passed;  // the pass said why
  if (Result<Told> closed = told(labelunit.close()); !closed) return closed;
  return passed;
}

}  // namespace somlabel::labelcalc
