// SPDX-License-Identifier: MIT
// Launching real processes under Wine: the command line, window and environment
// they get, and the system's error for programs that cannot start.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>

#include "platform/windows/launcher.h"
#include "platform/windows/text.h"
#include "test_support_win.h"

namespace kestrun::platform {
namespace {

using testing::ScratchFolder;

modGeneral::LaunchRequest request_for(std::string command) {
  modGeneral::LaunchRequest request;
  request.command = std::move(command);
  request.root = "D:\\";
  request.letter = "D";
  request.label = "Überstick Ключ";
  request.mount_point = "D:\\";
  return request;
}

class WindowsLauncherTest : public ::testing::Test {
 protected:
  ScratchFolder folder;
  std::string child = testing::stage_test_child(folder);
  std::string report = folder.file("report.txt");
  WindowsLauncher launcher;
};

TEST_F(WindowsLauncherTest, PassesTheCommandLineAsItStandsWithANormalWindow) {
  // Windows programs split their own command lines: the quotes and the
  // backslash before one are the child's to read, not the launcher's.
  const std::string command = child + " \"" + report + "\" plain \"two words\" Ключ \"E:\\\"";
  std::string error;
  EXPECT_EQ(launcher.start_problem(command), "");
  EXPECT_EQ(launcher.start_problem("notepad.exe " + report), "") << "found in the system folder";
  ASSERT_TRUE(launcher.launch(request_for(command), &error)) << error;

  const auto seen = testing::wait_for_report(report);
  ASSERT_TRUE(seen);
  EXPECT_EQ(seen->command_line, command);
  EXPECT_EQ(seen->args, (std::vector<std::string>{"plain", "two words", "Ключ", "E:\""}));
  EXPECT_EQ(seen->show, std::to_string(SW_SHOWNORMAL));
}

TEST_F(WindowsLauncherTest, GivesTheDriveAsEnvironmentVariablesOverAnyInherited) {
  // As when Kestrun was itself started by one of its commands.
  SetEnvironmentVariableW(L"KESTRUN_LABEL", L"stale");
  SetEnvironmentVariableW(L"kestrun_drive", L"Z:\\");
  SetEnvironmentVariableW(L"KESTRUN_TEST_INHERITED", L"kept");
  std::string error;
  const bool launched = launcher.launch(request_for(child + " \"" + report + "\""), &error);
  SetEnvironmentVariableW(L"KESTRUN_LABEL", nullptr);
  SetEnvironmentVariableW(L"kestrun_drive", nullptr);
  SetEnvironmentVariableW(L"KESTRUN_TEST_INHERITED", nullptr);
  ASSERT_TRUE(launched) << error;

  const auto seen = testing::wait_for_report(report);
  ASSERT_TRUE(seen);
  EXPECT_EQ(seen->variables, (std::map<std::string, std::string>{
                                 {"KESTRUN_DRIVE", "D:\\"},
                                 {"KESTRUN_LETTER", "D"},
                                 {"KESTRUN_LABEL", "Überstick Ключ"},
                                 {"KESTRUN_MOUNT", "D:\\"},
                                 {"KESTRUN_DEVICE", ""},
                                 {"KESTRUN_TEST_INHERITED", "kept"},
                             }));
}

TEST_F(WindowsLauncherTest, ReportsTheSystemsWordsForProgramsThatCannotStartAndTellsThemBefore) {
  {
    std::ofstream text(folder.path() / "notes.txt");
    text << "not a program\n";
  }
  std::filesystem::create_directory(folder.path() / "folder");
  const struct {
    std::string command;
    unsigned long code;
  } cases[] = {
      {"\"" + folder.file("missing.exe") + "\" arg", ERROR_FILE_NOT_FOUND},
      {"\"" + folder.file("folder") + "\"", ERROR_ACCESS_DENIED},
      {"\"" + folder.file("notes.txt") + "\"", ERROR_BAD_EXE_FORMAT},
  };
  for (const auto& each : cases) {
    SCOPED_TRACE(each.command);
    std::string error;
    EXPECT_FALSE(launcher.launch(request_for(each.command), &error));
    EXPECT_EQ(error, system_error_text(each.code));
    // --explain tells it before any start, but for a file that is no program.
    if (each.code != ERROR_BAD_EXE_FORMAT) {
      EXPECT_EQ(launcher.start_problem(each.command), error);
    }
  }
}

}  // namespace
}  // namespace kestrun::platform
