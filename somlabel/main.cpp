// somlabel: thin entry point; the work lives in somlabel_lib (cli.h).
#include "common/frame.h"
#include "somlabel/cli.h"

int main(int argc, char** argv) {
  return somlabel::run_main("somlabel", somlabel::driver::run_cli, argc, argv);
}
