#include "labelcalc/map_driver.h"

#include <cstdio>

#include "common/format_texts.h"
#include "common/messages.h"
#include "labelcalc/map_keyfile.h"
#include "labelcalc/unit_pass.h"

namespace somlabel::labelcalc {

Result<Told> check_labelcalc_settings(const Settings& settings) {
  if (settings.number_of_phrases >= 1) return {};
  return fail("option NUMBEROFPHRASES must be at least 1, not %d", settings.number_of_phrases);
}

Result<Told> label_map(std::string& map, const Settings& settings) {
  if (Result<Told> parsed = do_the_parsman(map, settings); !parsed) {
    quote(texts::kErrorParsingMap, map.c_str());
    return parsed;
  }
  return write_map_keyfile(map, settings);
}

}  // namespace somlabel::labelcalc
