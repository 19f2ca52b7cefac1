// What a rerun redoes, judged by time stamps.
#include "somlabel/plan.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "tests/test_util.h"

namespace somlabel::driver {
namespace {

namespace fs = std::filesystem;

// A file written `age` hours ago.
void file_of_age(const fs::path& path, int age) {
  testutil::write_file(path, "x\n");
  fs::last_write_time(path, fs::file_time_type::clock::now() - std::chrono::hours(age));
}

// A top map "map.unit" with one sub-map "map_0_0.unit", listed sub-map first
// as in a process file; each map's unit file written 5 hours ago and its
// labelunit and map key files at the ages given.
std::vector<bool> due_to_label(int sub_labels_age, int top_labels_age) {
  const testutil::TempDir dir;
  const Layout layout{dir.str() + "docs", dir.str() + "out"};
  const Settings settings;  // output/, output/key/, ".key", mode 1
  const std::vector<MapNode> maps = {{"map_0_0.unit", {}, {}, 1, 1, 1},
                                     {"map.unit", {}, {0}, 1, 1, 1}};
  for (const auto& [name, age] :
       {std::pair{"map_0_0.unit", sub_labels_age}, std::pair{"map.unit", top_labels_age}}) {
    const fs::path out = layout.out;
    file_of_age(out / "output" / name, 5);
    file_of_age(out / "output" / (std::string(name) + ".labelunit"), age);
    file_of_age(out / "output" / "key" / (std::string(name) + ".key"), age);
  }
  return maps_to_label(layout, Tools{}, settings, maps);
}

TEST(SomlabelPlan, MapsToLabel) {
  const struct {
    int sub_age, top_age;
    std::vector<bool> want;  // sub-map, top map
  } kCases[] = {
      {1, 1, {false, false}},  // labels newer than the unit files: kept
      {9, 1, {true, true}},    // regression: a relabelled sub-map redoes the map above it
      {1, 9, {false, true}},   // the map above alone
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(due_to_label(c.sub_age, c.top_age), c.want) << c.sub_age << " " << c.top_age;
  }
}

}  // namespace
}  // namespace somlabel::driver
