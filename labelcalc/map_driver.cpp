#include "labelcalc/map_driver.h"

#include <cstdio>

#include "labelcalc/map_keyfile.h"
#include "labelcalc/unit_pass.h"

namespace somlabel::labelcalc {

Result check_labelcalc_settings(const Settings& settings) {
  if (settings.number_of_phrases >= 1) return {};
  std::fprintf(stderr, "labelcalc: option NUMBEROFPHRASES must be at least 1, not %d\n",
               settings.number_of_phrases);
  return Result::failure();
}

Result label_map(std::string& map, const Settings& settings) {
  if (Result parsed = do_the_parsman(map, settings); !parsed) {
    std::fprintf(stderr, "Error parsing unit file for map %s\n", map.c_str());
    return parsed;
  }
  return write_map_keyfile(map, settings);
}

}  // namespace somlabel::labelcalc
