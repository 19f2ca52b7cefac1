// labelsite: thin entry point; the work lives in labelsite_lib (cli.h).
#include "common/frame.h"
#include "labelsite/cli.h"

int main(int argc, char** argv) {
  return somlabel::run_main("labelsite", somlabel::labelsite::run_cli, argc, argv);
}
