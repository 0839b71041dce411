// SPDX-License-Identifier: MIT
// Starting real processes: argument splitting, environment, folder, failures.
#include "platform/linux/launcher.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <cerrno>
#include <filesystem>
#include <string>

#include "tests/platform/linux/event_loop.h"
#include "tests/platform/linux/launch_record.h"
#include "tests/platform/linux/temp_tree.h"

namespace kestrun::platform {
namespace {

class ScopedPath {
 public:
  explicit ScopedPath(const std::string& first) : saved_(getenv("PATH") ? getenv("PATH") : "") {
    setenv("PATH", (first + ":" + saved_).c_str(), 1);
  }
  ~ScopedPath() { setenv("PATH", saved_.c_str(), 1); }

 private:
  std::string saved_;
};

TEST(LinuxLauncher, RunsWithoutAShellAndHandsTheDriveOverInTheEnvironment) {
  testing::TempTree tree;
  const auto record_file = tree.path("record");
  modGeneral::LaunchRequest request;
  request.command = "\"" KESTRUN_ARGV_DUMP "\" " + record_file +
                    " wscript \"c:\\x.vbs\" \"E:\\\" $HOME ;rm 'a b' \"My Pen\" \"\"\"Saved\"\"\"";
  request.root = "E:\\";
  request.letter = "E";
  request.label = "My \"Pen\" $(reboot)";
  request.mount_point = "/media/me/My \"Pen\" $(reboot)";
  request.device = "/dev/sdb1";

  LinuxLauncher launcher;
  std::string error;
  ASSERT_TRUE(launcher.launch(request, &error)) << error;
  const auto record = testing::wait_for_record(record_file);
  ASSERT_TRUE(record.has_value()) << "the command never ran";

  // Three double quotes in a row stand for one literal double quote.
  const std::vector<std::string> arguments = {"wscript", "c:\\x.vbs", "E:\\",   "$HOME",    ";rm",
                                              "'a",      "b'",        "My Pen", "\"Saved\""};
  EXPECT_EQ(record->arguments, arguments);
  const std::vector<std::string> environment = {
      "KESTRUN_DRIVE=E:\\", "KESTRUN_LETTER=E", "KESTRUN_LABEL=My \"Pen\" $(reboot)",
      "KESTRUN_MOUNT=/media/me/My \"Pen\" $(reboot)", "KESTRUN_DEVICE=/dev/sdb1"};
  EXPECT_EQ(record->environment, environment);
  const char* home = getenv("HOME");
  ASSERT_NE(home, nullptr);
  // The home folder, or / for an account whose home folder does not exist.
  EXPECT_EQ(record->folder,
            std::filesystem::is_directory(home) ? std::filesystem::canonical(home).string() : "/");

  // The launcher keeps the child until it ends, then leaves none behind.
  bool ended = false;
  launcher.on_finished([&](const auto&, const auto&) { ended = true; });
  ASSERT_TRUE(testing::run_events_until([&] { return ended; }));
  errno = 0;
  EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);
  EXPECT_EQ(errno, ECHILD);
}

TEST(LinuxLauncher, FindsTheProgramOnPath) {
  testing::TempTree tree;
  tree.folder("bin");
  std::filesystem::create_symlink(KESTRUN_ARGV_DUMP, tree.path("bin/kestrun-argv-dump"));
  const ScopedPath path(tree.path("bin"));

  modGeneral::LaunchRequest request;
  request.command = "kestrun-argv-dump " + tree.path("record") + " one";
  std::string error;
  EXPECT_EQ(LinuxLauncher().start_problem(request.command), "");
  ASSERT_TRUE(LinuxLauncher().launch(request, &error)) << error;
  const auto record = testing::wait_for_record(tree.path("record"));
  ASSERT_TRUE(record.has_value());
  EXPECT_EQ(record->arguments, std::vector<std::string>{"one"});
  // Every variable is set, empty when the request has nothing for it.
  EXPECT_EQ(record->environment.size(), 5u);
}

// --explain tells the reason before any start: the same words, explained.
TEST(LinuxLauncher, ReportsTheSystemsReasonWhenTheProgramCannotStartAndCanTellItBefore) {
  testing::TempTree tree;
  tree.write("notes.txt", "not a program\n");
  const struct {
    std::string command;
    std::string words;
  } cases[] = {
      {"kestrun-no-such-program --help", "No such file or directory"},
      {"\"" + tree.path() + "\"", "Permission denied"},
      {tree.path("notes.txt"), "Permission denied"},
      {"\"\"", "No such file or directory"},
  };
  for (const auto& [command, words] : cases) {
    modGeneral::LaunchRequest request;
    request.command = command;
    std::string error;
    EXPECT_FALSE(LinuxLauncher().launch(request, &error)) << command;
    EXPECT_EQ(error, words) << command;
    const auto foretold = LinuxLauncher().start_problem(command);
    EXPECT_EQ(foretold.substr(0, words.size()), words) << command << ": " << foretold;
  }
}

}  // namespace
}  // namespace kestrun::platform
