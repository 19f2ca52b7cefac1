// Messages of the module under test start with the name of its tool
// (TOOL_NAME), as they do in the tool, whose main() sets it.
#include <gtest/gtest.h>

#include "common/messages.h"

namespace {

class ToolName : public testing::Environment {
 public:
  void SetUp() override { somlabel::set_tool_name(TOOL_NAME); }
};

[[maybe_unused]] testing::Environment* const kToolName =
    testing::AddGlobalTestEnvironment(new ToolName);

}  // namespace
