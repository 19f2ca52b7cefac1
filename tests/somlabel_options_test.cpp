// somlabel's lines in the option file: added below somtrain's part unless the
// user has named the key there.
#include <gtest/gtest.h>

#include "somlabel/cli.h"
#include "somtrain/unit_file.h"

namespace somlabel::driver {
namespace {

TEST(SomlabelOptionLines, AddedBelowSomtrainsPartUnlessTheUserNamedTheKey) {
  const std::string ours =
      "MODE 1\nKEAFILEEXTENSION .key\n" + std::string(somtrain::kOptionFileMarker);
  const std::string all =
      "MODE 2\nNUMBEROFPHRASES 5\nKEAFILEEXTENSION .txt\nKEA_PROGRAM keyphrases\nKEA_MODEL model\n";
  const struct {
    std::string file, completed;
  } cases[] = {
      {ours, ours + all},
      {ours + all, ours + all},
      {ours + "MODE 1\n  NUMBEROFPHRASES 9", ours + "MODE 1\n  NUMBEROFPHRASES 9\n" +
                                                 "KEAFILEEXTENSION .txt\nKEA_PROGRAM keyphrases\n"
                                                 "KEA_MODEL model\n"},
      // Without the marker every line counts as the user's.
      {"MODE 1\nKEAFILEEXTENSION .key\nKEA_PROGRAM x\nKEA_MODEL m\n",
       "MODE 1\nKEAFILEEXTENSION .key\nKEA_PROGRAM x\nKEA_MODEL m\nNUMBEROFPHRASES 5\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(with_option_lines(c.file), c.completed) << c.file;
}

}  // namespace
}  // namespace somlabel::driver
