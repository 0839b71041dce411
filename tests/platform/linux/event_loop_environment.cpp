// SPDX-License-Identifier: MIT
// Gives every test of the program a QCoreApplication before it starts, since
// the launcher follows the commands it starts on the Qt event loop.
#include <gtest/gtest.h>

#include "tests/platform/linux/event_loop.h"

namespace {

class EventLoopEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { kestrun::testing::event_loop(); }
};

[[maybe_unused]] const auto* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new EventLoopEnvironment);

}  // namespace
