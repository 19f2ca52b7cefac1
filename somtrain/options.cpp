#include "somtrain/options.h"

#include <cstdio>

namespace somlabel::somtrain {

std::string options_line(const Options& o) {
  const HierarchySettings& h = o.hierarchy;
  char numbers[160];
  std::snprintf(numbers, sizeof numbers, "max-df %a sigma-start %a sigma-end %a",
                o.vocabulary.max_df_share, h.schedule.sigma_start, h.schedule.sigma_end);
  return "options language " + std::string(text::language_name(o.language)) + " min-df " +
         std::to_string(o.vocabulary.min_df) + " max-terms " +
         std::to_string(o.vocabulary.max_terms) + ' ' + numbers + " top " +
         std::to_string(h.top.xdim) + 'x' + std::to_string(h.top.ydim) + " sub " +
         std::to_string(h.sub.xdim) + 'x' + std::to_string(h.sub.ydim) + " expand " +
         std::to_string(h.expand) + " depth " + std::to_string(h.depth) + " epochs " +
         std::to_string(h.schedule.epochs) + " sample " + std::to_string(h.sample) + " seed " +
         std::to_string(h.seed) + " labels " + std::to_string(h.labels) + " name " + h.name +
         " output-path " + o.output_path;
}

}  // namespace somlabel::somtrain
