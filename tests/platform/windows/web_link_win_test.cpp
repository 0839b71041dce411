// SPDX-License-Identifier: MIT
// Opening an address through Wine's shell32, and the message when that fails.
#include "platform/web_link_win.h"

#include <gtest/gtest.h>
#include <windows.h>

#include "platform/text_win.h"
#include "test_support_win.h"

namespace kestrun::platform {
namespace {

TEST(WebLink, TheMessageNamesTheAddressTheReasonAndTheNumber) {
  EXPECT_EQ(web_link_error_message("https://example.org/x", {"No application is associated", 1155}),
            "Unable to load 'https://example.org/x' : No application is associated (Error 1155)");
}

TEST(WebLink, AnAddressThatCannotBeOpenedGivesTheSystemsReason) {
  const testing::ScratchFolder folder;
  const std::string address = folder.file("missing page.html");
  std::string message;
  EXPECT_FALSE(open_web_address(address, 0, &message));
  EXPECT_EQ(message, web_link_error_message(
                         address, {system_error_text(ERROR_FILE_NOT_FOUND), ERROR_FILE_NOT_FOUND}));
}

}  // namespace
}  // namespace kestrun::platform
