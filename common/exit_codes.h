// Exit statuses of every tool in this project, in one place.
#pragma once

namespace somlabel {

enum ExitCode : int {
  kExitSuccess = 0,  // every map (page, document) was processed
  kExitFailure = 1,  // a map failed, an input could not be opened, a setting was refused
  kExitUsage = 2,    // wrong command line; the usage line has been printed
};

}  // namespace somlabel
