// somtrain: thin entry point; the work lives in somtrain_lib (cli.h).
#include "common/frame.h"
#include "somtrain/cli.h"

int main(int argc, char** argv) {
  return somlabel::run_main("somtrain", somlabel::somtrain::run_cli, argc, argv);
}
