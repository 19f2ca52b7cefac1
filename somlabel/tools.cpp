#include "somlabel/tools.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "common/messages.h"

namespace somlabel::driver {

std::string own_directory() {
  std::error_code ec;
  const auto self = std::filesystem::canonical("/proc/self/exe", ec);
  return ec ? std::string(".") : self.parent_path().string();
}

std::string find_tool(const std::string& directory, const std::string& name) {
  for (const std::string& candidate :
       {directory + "/" + name, directory + "/../" + name + "/" + name}) {
    std::error_code ec;
    if (std::filesystem::is_regular_file(candidate, ec) && access(candidate.c_str(), X_OK) == 0) {
      return std::filesystem::weakly_canonical(candidate, ec).string();
    }
  }
  return {};
}

bool find_tools(const std::string& directory, Tools& tools) {
  for (auto [name, path] :
       {std::pair{"keyphrases", &tools.keyphrases}, std::pair{"somtrain", &tools.somtrain},
        std::pair{"labelcalc", &tools.labelcalc}, std::pair{"labelweb", &tools.labelweb},
        std::pair{"labelsite", &tools.labelsite}}) {
    *path = find_tool(directory, name);
    if (path->empty()) {
      say("cannot find the tool %s beside %s; install the tools together (make install) or "
          "build them all",
          name, directory.c_str());
      return false;
    }
  }
  return true;
}

}  // namespace somlabel::driver
