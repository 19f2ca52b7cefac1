// labelsite: thin entry point; the work lives in labelsite_lib (cli.h).
#include <cstdio>
#include <exception>

#include "common/exit_codes.h"
#include "labelsite/cli.h"
#include "labelsite/status_line.h"

int main(int argc, char** argv) {
  try {
    return somlabel::labelsite::run_cli(argc, argv);
  } catch (const std::exception& e) {
    somlabel::labelsite::clear_status();
    somlabel::labelsite::say("%s", e.what());
    return somlabel::kExitFailure;
  }
}
