// SPDX-License-Identifier: MIT
// The settings store in Wine's registry: where values land, what comes back.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "platform/windows/registry_store.h"
#include "platform/windows/text.h"

namespace kestrun::platform {
namespace {

constexpr std::string_view kTestApp = "Kestrun registry test";

class RegistryStoreTest : public ::testing::Test {
 protected:
  void SetUp() override { remove_test_keys(); }
  void TearDown() override { remove_test_keys(); }

  static void remove_test_keys() {
    RegDeleteTreeW(HKEY_CURRENT_USER,
                   L"Software\\VB and VBA Program Settings\\Kestrun registry test");
  }

  RegistryStore store;
};

TEST_F(RegistryStoreTest, KeepsValuesAsRegSzUnderTheUsersProgramSettings) {
  std::string error;
  ASSERT_TRUE(store.write(kTestApp, "Settings", "Interval", "15", &error)) << error;

  DWORD type = 0;
  wchar_t data[16] = {};
  DWORD bytes = sizeof(data);
  ASSERT_EQ(RegGetValueW(HKEY_CURRENT_USER,
                         L"Software\\VB and VBA Program Settings\\Kestrun registry test\\Settings",
                         L"Interval", RRF_RT_ANY, &type, data, &bytes),
            ERROR_SUCCESS);
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(std::wstring(data), L"15");
}

TEST_F(RegistryStoreTest, GivesBackScriptsWithLineEndsAndAnyScriptWhole) {
  const std::string script =
      "ignore:a:\\\r\nlabel:Überstick Ключ\r\nexec:\"C:\\Program Files\\x.exe\" \"%1\"\r\n";
  std::string error;
  ASSERT_TRUE(store.write(kTestApp, "Settings", "Advanced", script, &error)) << error;
  EXPECT_EQ(RegistryStore().read(kTestApp, "Settings", "Advanced", "default"), script);
}

TEST_F(RegistryStoreTest, GivesTheDefaultOnlyForValuesThatAreAbsent) {
  EXPECT_EQ(store.read(kTestApp, "Settings", "Interval", "10"), "10");

  std::string error;
  ASSERT_TRUE(store.write(kTestApp, "Settings", "Interval", "", &error)) << error;
  EXPECT_EQ(store.read(kTestApp, "Settings", "Interval", "10"), "");
  EXPECT_EQ(store.read(kTestApp, "Settings", "Auto", "0"), "0");
  EXPECT_EQ(store.read(kTestApp, "Other section", "Interval", "10"), "10");
}

TEST_F(RegistryStoreTest, ReplacesAValueAtOnce) {
  std::string error;
  ASSERT_TRUE(store.write(kTestApp, "Settings", "Auto", "1", &error)) << error;
  ASSERT_TRUE(store.write(kTestApp, "Settings", "Auto", "0", &error)) << error;
  EXPECT_EQ(store.read(kTestApp, "Settings", "Auto", "1"), "0");
}

TEST_F(RegistryStoreTest, AValueThatIsNotTextReadsAsAbsent) {
  std::string error;
  ASSERT_TRUE(store.write(kTestApp, "Settings", "Auto", "1", &error)) << error;
  const DWORD number = 1;
  ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, registry_settings_path(kTestApp, "Settings").c_str(),
                            L"Auto", REG_DWORD, &number, sizeof(number)),
            ERROR_SUCCESS);
  EXPECT_EQ(store.read(kTestApp, "Settings", "Auto", "0"), "0");
}

TEST_F(RegistryStoreTest, ReportsTheSystemsReasonWhenAValueCannotBeWritten) {
  // Key names longer than 255 characters are refused.
  const std::string section(300, 's');
  std::string error;
  EXPECT_FALSE(store.write(kTestApp, section, "Interval", "15", &error));
  EXPECT_EQ(error, system_error_text(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(store.read(kTestApp, section, "Interval", "10"), "10");
}

TEST_F(RegistryStoreTest, NamesTheProgramsOwnKey) {
  const std::wstring path =
      registry_settings_path(modGeneral::kAppName, modGeneral::kSettingsSection);
  EXPECT_EQ(path, L"Software\\VB and VBA Program Settings\\Kestrun\\Settings");
}

}  // namespace
}  // namespace kestrun::platform
