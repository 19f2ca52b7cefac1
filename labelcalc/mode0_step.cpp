#include "labelcalc/mode0_step.h"

namespace somlabel {

bool do_the_catman(const unit&, FILE*, const std::string&, const Settings&) {
  std::fputs("labelcalc: mode 0 is not built yet\n", stderr);
  return false;
}

}  // namespace somlabel
