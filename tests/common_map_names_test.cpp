// The naming rules of map files, as the three programs use them. Expected
// names are worked out from the rules: a sub-map's address is its name with
// the final "unit" replaced by three characters; pages lie in one directory.
#include <gtest/gtest.h>

#include <string>

#include "common/map_names.h"

namespace somlabel {
namespace {

TEST(MapNames, BaseNameIsThePartAfterTheLastSlash) {
  EXPECT_EQ(base_name("output/world.unit"), "world.unit");
  EXPECT_EQ(base_name("a/b/world.unit"), "world.unit");
  EXPECT_EQ(base_name("world.unit"), "world.unit");
  EXPECT_EQ(base_name("output/"), "");
}

TEST(MapNames, FilesOfAMapAreItsNameWithAFixedEnding) {
  Settings settings;
  EXPECT_EQ(labelunit_name("output/world.unit"), "output/world.unit.labelunit");
  EXPECT_EQ(key_file_name(settings, base_name("output/world.unit")), "output/key/world.unit.key");
  settings.keypath = "k/";
  settings.keyfileending = ".kea";
  EXPECT_EQ(key_file_name(settings, "d1"), "k/d1.kea");
}

TEST(MapNames, AddressAndSubMapNameLeadToEachOther) {
  const std::string address = sub_map_address("output/map_1_2.unit", "som");
  EXPECT_EQ(address, "output/map_1_2.som");
  EXPECT_EQ(sub_map_name(address), "output/map_1_2.unit");
  EXPECT_EQ(sub_map_name(base_name(address)), "map_1_2.unit");  // its map key file's stem
  EXPECT_EQ(sub_map_page_name(address + "\n"), "map_1_2.unit.labelunit.html");
  EXPECT_EQ(sub_map_name("ab"), "unit");  // too short: all three are dropped
}

TEST(MapNames, SubMapPageNeedsThreeCharactersAfterTheLastSlash) {
  const struct {
    const char* address;
    const char* page;
  } cases[] = {
      {"output/sub.abc\n", "sub.unit.labelunit.html"},
      {"a/b/deep.xyz", "deep.unit.labelunit.html"},  // no line end on a last line
      {"sub.abc\n", "sub.unit.labelunit.html"},      // no "/": the whole value
      {"abc\n", "unit.labelunit.html"},              // the sub-map was named "unit"
      {"output/ab\n", ""},
      {"output/\n", ""},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(sub_map_page_name(c.address), c.page) << c.address;
}

TEST(MapNames, ParentPageIsTheBaseNameOfTheMapAbove) {
  EXPECT_EQ(parent_page_name("output/top.unit\n"), "top.unit.labelunit.html");
  EXPECT_EQ(parent_page_name("top.unit\n"), "top.unit.labelunit.html");
  EXPECT_EQ(parent_page_name("a/top.unit"), "top.unit.labelunit.html");
  EXPECT_EQ(parent_page_name("a/\n"), "");
  EXPECT_EQ(parent_page_name(""), "");
}

}  // namespace
}  // namespace somlabel
