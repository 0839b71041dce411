// Reading rules of the detection script: key search, values, ignore line, placeholders.
#include <gtest/gtest.h>

#include "engine/modGeneral.h"

namespace {

using modGeneral::find_key;
using modGeneral::get_ignore_list;
using modGeneral::read_line_value;
using modGeneral::substitute_placeholders;

TEST(KeySearch, PositionsAreOneBasedAndZeroWhenAbsent) {
  const std::string script = "xx label:A\r\nlabel:B";
  EXPECT_EQ(find_key(script, "label:", 1), 4u);
  EXPECT_EQ(find_key(script, "label:", 4), 4u);
  EXPECT_EQ(find_key(script, "label:", 5), 13u);
  EXPECT_EQ(find_key(script, "label:", 14), 0u);
  EXPECT_EQ(find_key(script, "Label:", 1), 0u) << "keys are case-sensitive";
  EXPECT_EQ(find_key("", "label:", 1), 0u);
}

}  // namespace
