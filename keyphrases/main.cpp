// keyphrases: thin entry point; the work lives in keyphrases_lib (cli.h).
#include <cstdio>
#include <exception>

#include "common/exit_codes.h"
#include "keyphrases/cli.h"

int main(int argc, char** argv) {
  try {
    return somlabel::keyphrases::run_cli(argc, argv);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "keyphrases: %s\n", e.what());
    return somlabel::kExitFailure;
  }
}
