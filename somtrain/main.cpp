// somtrain: thin entry point; the work lives in somtrain_lib (cli.h).
#include <cstdio>
#include <exception>

#include "common/exit_codes.h"
#include "somtrain/cli.h"

int main(int argc, char** argv) {
  try {
    return somlabel::somtrain::run_cli(argc, argv);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "somtrain: %s\n", e.what());
    return somlabel::kExitFailure;
  }
}
