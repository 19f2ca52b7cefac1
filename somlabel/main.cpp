// somlabel: thin entry point; the work lives in somlabel_lib (cli.h).
#include <cstdio>
#include <exception>

#include "common/exit_codes.h"
#include "somlabel/cli.h"

int main(int argc, char** argv) {
  try {
    return somlabel::driver::run_cli(argc, argv);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "somlabel: %s\n", e.what());
    return somlabel::kExitFailure;
  }
}
