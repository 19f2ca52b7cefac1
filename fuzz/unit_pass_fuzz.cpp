// The unit-file pass with the real mode-1 step over a small key directory,
// then the map key file step over the labelunit text that the pass wrote.
//
// The pass names files after what the unit file holds (document key files,
// a sub-map's map key file and labelunit file), so every "/" of the input is
// read as "_": every name then stays inside the fuzzer's own temporary
// directory.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "common/records.h"
#include "common/settings.h"
#include "fuzz/fuzz_util.h"
#include "labelcalc/map_keyfile.h"
#include "labelcalc/mode1_step.h"
#include "labelcalc/phrase_table.h"
#include "labelcalc/unit_pass.h"

namespace {

namespace fs = std::filesystem;

void write_file(const fs::path& name, std::string_view text) {
  std::ofstream(name, std::ios::binary) << text;
}

// A fresh working directory with a key directory: key files for the
// documents d1, d2, d3 (d3's has a line without a score), and the map key
// file of a sub-map "sub.unit" that an address "sub.xyz" links to.
const std::string& work_directory() {
  static const std::string dir = [] {
    char name[] = "/tmp/somlabel-fuzz-XXXXXX";
    if (mkdtemp(name) == nullptr) std::abort();
    const fs::path root(name);
    fs::create_directories(root / "key");
    write_file(root / "key/d1.key",
               "Data Mining\tdata mine\t0.5\nNeural Networks\tneural network\t0.3\n");
    write_file(root / "key/d2.key", "data mining\tdata mine\t0.25\nmining\tmine\t0.1\n");
    write_file(root / "key/d3.key", "broken\tline\n");
    write_file(root / "key/sub.unit.key",
               "$MODE1_PHRASES 2\nweb page\tweb page\t1.000000\n"
               "web\tweb\t0.500000\n");
    static std::string removed_at_exit;
    removed_at_exit = root.string();
    std::atexit([] {
      std::error_code ignored;
      fs::remove_all(removed_at_exit, ignored);
    });
    return root.string() + "/";
  }();
  return dir;
}

// Runs in the working directory, where the pass creates the sub-map's
// labelunit file by a relative name; libFuzzer's own paths stay relative to
// the directory it was started in.
class InWorkDirectory {
 public:
  explicit InWorkDirectory(const std::string& dir) : previous_(open(".", O_RDONLY | O_DIRECTORY)) {
    if (previous_ < 0 || chdir(dir.c_str()) != 0) std::abort();
  }
  ~InWorkDirectory() {
    if (fchdir(previous_) != 0) std::abort();
    close(previous_);
  }
  InWorkDirectory(const InWorkDirectory&) = delete;
  InWorkDirectory& operator=(const InWorkDirectory&) = delete;

 private:
  int previous_;
};

// Stands in for the mode-0 step, which starts the extractor: writes what
// the real step writes for an empty key file, after checking the record.
somlabel::Result<somlabel::Told> catman_stand_in(const somlabel::unit& curr_unit, FILE* opf,
                                                 const std::string&,
                                                 const somlabel::Settings& settings) {
  if (curr_unit.label_document_count() > curr_unit.filelist.size() ||
      curr_unit.filelist.size() > static_cast<size_t>(somlabel::kMaxMappedVecs)) {
    fuzzutil::fail("the unit record promises more documents than it keeps");
  }
  std::fprintf(opf, "$MODE0_PHRASES %d\n", settings.number_of_phrases);
  return {};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  std::replace(text.begin(), text.end(), '/', '_');
  data = reinterpret_cast<const uint8_t*>(text.data());
  const std::string& dir = work_directory();
  const InWorkDirectory in_work_directory(dir);
  // The sub-map's labelunit file receives one "$SOMABOVE" line per link.
  std::fclose(std::fopen("sub.unit.labelunit", "w"));

  for (int mode = 0; mode <= 2; ++mode) {
    somlabel::Settings settings;
    settings.mode = mode;
    settings.number_of_phrases = 2;
    settings.path = dir;
    settings.keypath = dir + "key/";
    const somlabel::labelcalc::LabelSteps steps{&catman_stand_in,
                                                &somlabel::labelcalc::do_the_calcman};

    FILE* in = fuzzutil::input(data, size);
    fuzzutil::Output labelunit;
    const somlabel::Result<somlabel::Told> passed =
        somlabel::labelcalc::pass_unit_file(in, labelunit.get(), dir + "top.unit", settings, steps);
    std::fclose(in);
    const std::string written = labelunit.text();
    if (!passed) continue;

    // A passed map goes on to its map key file.
    FILE* back = fuzzutil::input(reinterpret_cast<const uint8_t*>(written.data()), written.size());
    somlabel::labelcalc::PhraseTable table;
    somlabel::LineReader back_reader(back);
    const somlabel::Result<somlabel::Told> gathered =
        somlabel::labelcalc::gather_mode1_blocks(back_reader, "top.unit", table);
    std::fclose(back);
    if (gathered) {
      fuzzutil::Output keyfile;
      table.write_block(keyfile.get(), table.finish(settings.number_of_phrases));
    }
  }
  return 0;
}
