// labelweb: writes one HTML page per labelunit file named in the process file.
#include <cstdio>
#include <string>

#include "common/frame.h"
#include "labelweb/labelunit_reader.h"

namespace {

somlabel::MapWork make_work(const somlabel::Settings& settings) {
  return [&settings](std::string& name) {
    if (somlabel::labelweb::generate_html(name, settings)) return true;
    std::fprintf(stderr, "Error generating html code for %s\n", name.c_str());
    return false;
  };
}

}  // namespace

int main(int argc, char** argv) {
  somlabel::Settings settings;
  return somlabel::run_frame(argc, argv, somlabel::Program::labelweb, settings, nullptr,
                             make_work);
}
