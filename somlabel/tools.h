// Finding the tools somlabel runs: beside its own executable, as `make
// install` puts them, or in the build tree, each in its own folder.
#pragma once

#include <string>

#include "somlabel/steps.h"

namespace somlabel::driver {

// The directory of the running executable, symbolic links resolved.
[[nodiscard]] std::string own_directory();

// The path of the executable `name` beside `directory`, or in
// `directory`/../`name`/ (the build tree); empty when neither exists.
[[nodiscard]] std::string find_tool(const std::string& directory, const std::string& name);

// All tools of the steps; false after a message naming the first one missing.
[[nodiscard]] bool find_tools(const std::string& directory, Tools& tools);

}  // namespace somlabel::driver
