// Mode-0 labels in batches: every file and message as when the extractor runs
// once per unit, with fewer starts.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "labelcalc/map_driver.h"
#include "labelcalc/mode0_batch.h"

namespace somlabel::labelcalc {
namespace {

namespace fs = std::filesystem;

void write_file(const fs::path& name, const std::string& bytes) {
  std::ofstream(name, std::ios::binary) << bytes;
}

std::string read_file(const fs::path& name) {
  std::stringstream bytes;
  bytes << std::ifstream(name, std::ios::binary).rdbuf();
  return bytes.str();
}

std::string unit_block(const char* x, const char* documents, int count, const char* sub) {
  std::string block = std::string("$POS_X ") + x + "\n$POS_Y 0\n$NR_VEC_MAPPED " +
                      std::to_string(count) + "\n$MAPPED_VECS " + documents + "\n";
  if (sub[0] == '\0') return block + "$NR_SOMS_MAPPED 0\n";
  return block + "$NR_SOMS_MAPPED 1\n$URL_MAPPED_SOMS output/" + sub + "\n";
}

struct Scenario {
  const char* what;
  const char* extractor;  // in tests/extractors, or a name that is nowhere
  const char* missing;    // a document left out, or ""
  bool unit_twice;        // map b names its unit 1/0 twice
  std::size_t batch_units;
  std::size_t runs;  // extractor starts for batches
};

// c.unit is the sub-map of b.unit's unit 0/0, b.unit that of a.unit's 0/0.
const Scenario kScenarios[] = {
    {"all maps in one batch", "write_keys.sh", "", false, 4096, 1},
    {"a batch a map: units counted between maps", "write_keys.sh", "", false, 1, 3},
    {"a document missing: the batch ends before it", "write_keys.sh", "d3", false, 4096, 1},
    {"the extractor writes nothing", "write_nothing.sh", "", false, 4096, 1},
    {"the extractor fails after writing", "fail_after_writing.sh", "", false, 4096, 1},
    {"the extractor cannot be started", "no-such-extractor", "", false, 4096, 1},
    {"a unit named twice is left to its step, a map later starts a batch", "write_keys.sh", "",
     true, 4096, 2},
};

struct Labelled {
  std::string out, err;
  std::map<std::string, std::string> files;  // under output/, by name
  std::size_t runs = 0;
};

Labelled run_labelcalc(const Scenario& scenario, bool batched) {
  char name[] = "/tmp/somlabel_batch_XXXXXX";
  EXPECT_NE(mkdtemp(name), nullptr);
  const fs::path dir = name, old_cwd = fs::current_path();
  fs::current_path(dir);
  for (const char* sub : {"output/tmp_kea", "output/key", "output/files"}) {
    fs::create_directories(sub);
  }
  for (const char* document : {"d1", "d2", "d3"}) {
    if (scenario.missing != std::string(document)) {
      write_file(fs::path("output/files") / document, std::string(document) + " text\n");
    }
  }
  write_file("output/c.unit", unit_block("0", "d1 d2", 2, ""));
  std::string b = unit_block("0", "d1 d2", 2, "c.xyz") + unit_block("1", "d3", 1, "");
  if (scenario.unit_twice) b += unit_block("1", "d2", 1, "");
  write_file("output/b.unit", b);
  write_file("output/a.unit", unit_block("0", "d1 d2 d3", 3, "b.abc"));
  write_file("process", "c.unit\nb.unit\na.unit\n");

  Settings settings;
  settings.mode = 0;
  settings.path = "output/";
  settings.kea_program = std::string(TESTS_DIR) + "/extractors/" + scenario.extractor;
  if (!fs::exists(settings.kea_program)) settings.kea_program = scenario.extractor;
  use_process_file(batched ? "process" : "", BatchLimits{scenario.batch_units, 1 << 30});

  Labelled run;
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  for (std::string map : {"output/c.unit", "output/b.unit", "output/a.unit"}) {
    if (!label_map(map, settings)) break;
  }
  run.err = testing::internal::GetCapturedStderr();
  run.out = testing::internal::GetCapturedStdout();
  run.runs = mode0_batches().extractor_runs();
  for (const auto& entry : fs::recursive_directory_iterator("output")) {
    if (entry.is_regular_file()) run.files[entry.path().string()] = read_file(entry.path());
  }
  fs::current_path(old_cwd);
  fs::remove_all(dir);
  return run;
}

TEST(Mode0Batches, SameFilesAndMessagesAsAStartPerUnit) {
  for (const Scenario& scenario : kScenarios) {
    SCOPED_TRACE(scenario.what);
    const Labelled alone = run_labelcalc(scenario, false);
    const Labelled batched = run_labelcalc(scenario, true);
    EXPECT_EQ(alone.runs, 0u);
    EXPECT_EQ(batched.runs, scenario.runs);
    EXPECT_EQ(batched.files, alone.files);
    EXPECT_EQ(batched.out, alone.out);
    EXPECT_EQ(batched.err, alone.err);
  }
}

// The units' texts and labels by hand for the first scenario: c's unit holds
// d1 and d2 ("d1 text\n" and "d2 text\n", 16 bytes), the fake extractor
// names the unit and the size of its text; no unit text stays in tmp_kea.
TEST(Mode0Batches, UnitTextsAndLabels) {
  const Labelled run = run_labelcalc(kScenarios[0], true);
  EXPECT_EQ(run.files.at("output/key/c.unit.0_0.txt"), "d1 text\nd2 text\n");
  EXPECT_EQ(run.files.at("output/key/a.unit.0_0.txt"), "d1 text\nd2 text\nd3 text\n");
  EXPECT_NE(run.files.at("output/c.unit.labelunit")
                .find("$MODE0_PHRASES 15\n$M0_LABEL c.unit.0_0\tc.unit.0_0\t1.0\n"
                      "$M0_LABEL size 16\tsize 16\t0.5\n"),
            std::string::npos);
  for (const auto& [name, bytes] : run.files) {
    EXPECT_FALSE(name.starts_with("output/tmp_kea/") && name.ends_with(".txt")) << name;
  }
}

}  // namespace
}  // namespace somlabel::labelcalc
