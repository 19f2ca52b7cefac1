// labelweb: writes one HTML page per labelunit file named in the process file.
#include <cstdio>
#include <string>

#include "common/frame.h"
#include "labelweb/page_maker.h"

int main(int argc, char** argv) {
  somlabel::Settings settings;
  return somlabel::run_frame(argc, argv, somlabel::Program::labelweb, settings, nullptr,
                             [](const somlabel::Settings& final_settings) -> somlabel::MapWork {
                               return [&final_settings](std::string& name) {
                                 if (somlabel::labelweb::generate_html(name, final_settings))
                                   return true;
                                 std::fprintf(stderr, "Error generating html code for %s\n",
                                              name.c_str());
                                 return false;
                               };
                             });
}
