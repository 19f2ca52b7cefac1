// A run of labelsite: the command line, the option file and process file
// that labelweb takes, every map read into the site index, then the site
// pages written into the folder of the top map's page.
#pragma once

namespace somlabel::labelsite {

// The whole run; returns the exit status (common/exit_codes.h).
[[nodiscard]] int run_cli(int argc, char** argv);

}  // namespace somlabel::labelsite
