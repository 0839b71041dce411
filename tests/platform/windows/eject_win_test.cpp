// SPDX-License-Identifier: MIT
// Ejecting a volume, as far as Wine lets a test: Wine opens and locks any
// drive's volume, even one whose folder is gone or that has a file open, and
// supports no dismount, so the eject stops there and must say so once, in the
// system's words. Refusing a busy volume and a real eject are for Windows to
// show.
#include <gtest/gtest.h>
#include <windows.h>

#include "platform/storage_service.h"
#include "tests/platform/windows/fixture_drives.h"

namespace {

modGeneral::EjectResult eject(const std::string& root) {
  modGeneral::LaunchRequest request;
  request.root = root;
  request.mount_point = root;
  int answers = 0;
  modGeneral::EjectResult result;
  kestrun::platform::make_ejector()->eject(request, [&](const modGeneral::EjectResult& answer) {
    ++answers;
    result = answer;
  });
  EXPECT_EQ(answers, 1);
  return result;
}

// "it cannot be dismounted: <the system's words>", or an earlier step's.
void expect_refusal_in_system_words(const modGeneral::EjectResult& result) {
  EXPECT_FALSE(result.ejected);
  const auto colon = result.reason.find(": ");
  ASSERT_NE(colon, std::string::npos) << result.reason;
  EXPECT_GT(result.reason.size(), colon + 2) << result.reason;
}

TEST(VolumeEject, AVolumeThatCannotBeEjectedIsReportedOnceInTheSystemsWords) {
  expect_refusal_in_system_words(eject(kestrun::testing::kGoneRoot));
  const HANDLE file = CreateFileW(L"E:\\kestrun-eject-test.txt", GENERIC_WRITE, 0, nullptr,
                                  CREATE_ALWAYS, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  expect_refusal_in_system_words(eject("E:\\"));
  CloseHandle(file);
}

}  // namespace
