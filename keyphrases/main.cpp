// keyphrases: thin entry point; the work lives in keyphrases_lib (cli.h).
#include "common/frame.h"
#include "keyphrases/cli.h"

int main(int argc, char** argv) {
  return somlabel::run_main("keyphrases", somlabel::keyphrases::run_cli, argc, argv);
}
