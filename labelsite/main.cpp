// labelsite: the site pages (tree of maps, document and phrase indexes,
// search) beside the map pages that labelweb writes.
#include "labelsite/site.h"

int main(int argc, char** argv) { return somlabel::labelsite::run(argc, argv); }
