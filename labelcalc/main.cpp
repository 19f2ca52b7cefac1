// labelcalc: labels every map named in the process file.
#include "common/frame.h"
#include "common/option_keys.h"
#include "labelcalc/map_driver.h"

namespace {

constexpr somlabel::Tool kLabelcalc = {
    .help =
        "Labels every map named in the process file: reads each unit file, writes its\n"
        "labelunit file and the map key file. Options come from config_file.\n"
        "Before it: somtrain (the maps) and keyphrases docs (a key file per document;\n"
        "MODE 0 runs the extractor itself). After it: labelweb, then labelsite, with\n"
        "the process file whose names end in .labelunit. Or all of it in one command:\n"
        "somlabel DOCUMENTS WORKDIR.\n"
        "Exit status: 0 all maps done, 1 a map or an input failed, 2 usage.\n",
    .keys = somlabel::kLabelcalcKeys,
    .format_texts = true,
    .check = somlabel::labelcalc::check_labelcalc_settings,
    .work = somlabel::labelcalc::label_map,
};

int run(int argc, char** argv) { return somlabel::run_frame(argc, argv, kLabelcalc); }

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3) somlabel::labelcalc::use_process_file(argv[1]);
  return somlabel::run_main("labelcalc", run, argc, argv);
}
