#include "labelcalc/map_driver.h"

#include <cstdio>

#include "common/format_texts.h"
#include "common/frame.h"
#include "common/io.h"
#include "common/messages.h"
#include "labelcalc/map_keyfile.h"
#include "labelcalc/mode0_batch.h"
#include "labelcalc/unit_pass.h"

namespace somlabel::labelcalc {

Result<Told> check_labelcalc_settings(const Settings& settings) {
  if (settings.number_of_phrases >= 1) return {};
  return fail("option NUMBEROFPHRASES must be at least 1, not %d", settings.number_of_phrases);
}

namespace {

std::string process_file;
BatchLimits batch_limits;
bool planned = false;

// The maps the walk will come to, named as the walk names them. Whatever
// cannot be read here the walk meets and reports itself.
void plan_batches(const Settings& settings) {
  planned = true;
  std::vector<std::string> maps;
  File process;
  if ((settings.mode == 0 || settings.mode == 2) && !process_file.empty() &&
      process.open(process_file, "r")) {
    LineReader lines(process.get());
    (void)walk_process_file(lines, settings.path, [&maps](std::string& name) {
      maps.push_back(name);
      return Result<Told>();
    });
  }
  mode0_batches().plan(std::move(maps), batch_limits);
}

Result<Told> pass_and_keys(const std::string& map, const Settings& settings) {
  if (Result<Told> parsed = do_the_parsman(map, settings); !parsed) {
    quote(texts::kErrorParsingMap, map.c_str());
    return parsed;
  }
  return write_map_keyfile(map, settings);
}

}  // namespace

void use_process_file(std::string name, BatchLimits limits) {
  process_file = std::move(name);
  batch_limits = limits;
  planned = false;
}

Result<Told> label_map(std::string& map, const Settings& settings) {
  if (!planned) plan_batches(settings);
  mode0_batches().enter_map(map);
  Result<Told> labelled = pass_and_keys(map, settings);
  mode0_batches().leave_map(!labelled);
  return labelled;
}

}  // namespace somlabel::labelcalc
