// labelweb: writes one HTML page per labelunit file named in the process file.
#include "common/frame.h"
#include "common/option_keys.h"
#include "labelweb/page_maker.h"

namespace {

constexpr somlabel::Tool kLabelweb = {
    .help =
        "Writes one HTML page per labelunit file named in the process file.\n"
        "Options come from config_file. Before it: labelcalc, which writes the labelunit\n"
        "files. After it: labelsite, with the same files, for the site pages. Or all of\n"
        "it in one command: somlabel DOCUMENTS WORKDIR.\n"
        "Exit status: 0 all maps done, 1 a map or an input failed, 2 usage.\n",
    .keys = somlabel::kLabelwebKeys,
    .format_texts = true,
    .work = somlabel::labelweb::make_page,
};

int run(int argc, char** argv) { return somlabel::run_frame(argc, argv, kLabelweb); }

}  // namespace

int main(int argc, char** argv) { return somlabel::run_main("labelweb", run, argc, argv); }
