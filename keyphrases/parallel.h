// The keyphrase tools' work on all cores: common/parallel.h.
#pragma once

#include "common/parallel.h"

namespace somlabel::keyphrases {

using somlabel::default_threads;
using somlabel::parallel_for;

}  // namespace somlabel::keyphrases
