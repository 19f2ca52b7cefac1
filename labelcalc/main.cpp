// labelcalc: labels every map named in the process file.
#include <cstdio>
#include <string>

#include "common/frame.h"
#include "labelcalc/map_keyfile.h"
#include "labelcalc/unit_pass.h"

namespace {

using somlabel::Settings;

bool check_settings(const Settings& settings) {
  if (settings.number_of_phrases < 1) {
    std::fprintf(stderr, "labelcalc: option NUMBEROFPHRASES must be at least 1, not %d\n",
                 settings.number_of_phrases);
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  Settings settings;
  return somlabel::run_frame(
      argc, argv, somlabel::Program::labelcalc, settings, check_settings,
      [](const Settings& final_settings) -> somlabel::MapWork {
        return [&final_settings](std::string& map) {
          if (!somlabel::do_the_parsman(map, final_settings)) {
            std::fprintf(stderr, "Error parsing unit file for map %s\n", map.c_str());
            return false;
          }
          return somlabel::write_map_keyfile(map, final_settings);
        };
      });
}
