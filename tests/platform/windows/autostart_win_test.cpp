// SPDX-License-Identifier: MIT
// The Run value in Wine's registry, and the flag with which Task Manager and
// the Startup apps settings switch it off without removing it.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "platform/autostart.h"

namespace kestrun::platform {
namespace {

constexpr const wchar_t* kApprovedKey =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\Run";

void set_flag(BYTE first) {
  const BYTE flag[12] = {first};
  ASSERT_EQ(
      RegSetKeyValueW(HKEY_CURRENT_USER, kApprovedKey, L"Kestrun", REG_BINARY, flag, sizeof flag),
      ERROR_SUCCESS);
}

TEST(AutostartWinTest, AnEntrySwitchedOffBySettingsReadsOffUntilSwitchedOnAgain) {
  std::string error;
  ASSERT_TRUE(autostart::set_enabled(true, &error)) << error;
  set_flag(3);
  EXPECT_FALSE(autostart::is_enabled());
  set_flag(2);
  EXPECT_TRUE(autostart::is_enabled());

  set_flag(3);
  ASSERT_TRUE(autostart::set_enabled(true, &error)) << error;
  EXPECT_TRUE(autostart::is_enabled());

  ASSERT_TRUE(autostart::set_enabled(false, &error)) << error;
  EXPECT_FALSE(autostart::is_enabled());
  EXPECT_EQ(RegGetValueW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run",
                         L"Kestrun", RRF_RT_ANY, nullptr, nullptr, nullptr),
            ERROR_FILE_NOT_FOUND);
}

}  // namespace
}  // namespace kestrun::platform
