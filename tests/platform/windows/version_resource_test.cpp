// SPDX-License-Identifier: MIT
// The version resource and icon that kestrun.exe carries, read back as Windows
// Explorer reads them (this test program links the same resource).
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "engine/version.h"

namespace {

std::vector<BYTE> own_version_info() {
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  const DWORD size = GetFileVersionInfoSizeW(self, nullptr);
  std::vector<BYTE> info(size);
  if (size == 0 || !GetFileVersionInfoW(self, 0, size, info.data())) info.clear();
  return info;
}

std::wstring string_value(std::vector<BYTE>& info, const std::wstring& name) {
  wchar_t* value = nullptr;
  UINT length = 0;
  const std::wstring path = L"\\StringFileInfo\\040904B0\\" + name;
  if (!VerQueryValueW(info.data(), path.c_str(), reinterpret_cast<void**>(&value), &length)) {
    return L"<missing>";
  }
  return value;
}

TEST(VersionResource, CarriesVersionOnePointFive) {
  std::vector<BYTE> info = own_version_info();
  ASSERT_FALSE(info.empty());
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  const DWORD high = MAKELONG(modGeneral::kVersionMinor, modGeneral::kVersionMajor);
  const DWORD low = MAKELONG(0, modGeneral::kVersionRevision);
  EXPECT_EQ(fixed->dwFileVersionMS, high);
  EXPECT_EQ(fixed->dwFileVersionLS, low);
  EXPECT_EQ(fixed->dwProductVersionMS, high);
  EXPECT_EQ(fixed->dwProductVersionLS, low);
  EXPECT_EQ(high, MAKELONG(5, 1));

  EXPECT_EQ(string_value(info, L"FileVersion"), L"1.05");
  EXPECT_EQ(string_value(info, L"ProductVersion"), L"1.05");
  EXPECT_EQ(string_value(info, L"ProductName"), L"Kestrun");
}

TEST(VersionResource, CarriesTheProgramIcon) {
  EXPECT_NE(FindResourceW(nullptr, MAKEINTRESOURCEW(1), RT_GROUP_ICON), nullptr);
  HICON icon = static_cast<HICON>(
      LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1), IMAGE_ICON, 32, 32, 0));
  EXPECT_NE(icon, nullptr);
  if (icon != nullptr) DestroyIcon(icon);
}

}  // namespace
