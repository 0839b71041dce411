// SPDX-License-Identifier: MIT
// Commands that cannot start, run through whole poll passes with the real
// launcher: the log says why in the system's words, the drive is then
// ignored as usual, and nothing is left behind in Kestrun's process.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cerrno>
#include <string>

#include "engine/action_log.h"
#include "engine/detection.h"
#include "engine/script.h"
#include "platform/linux/launcher.h"
#include "tests/fakes/fake_machine.h"
#include "tests/platform/linux/launch_record.h"
#include "tests/platform/linux/temp_tree.h"

namespace kestrun::platform {
namespace {

using kestrun::testing::crlf_lines;
using kestrun::testing::open_descriptors;

struct World {
  kestrun::testing::FakeMachine machine;
  LinuxLauncher launcher;
  kestrun::testing::MemorySettings settings;
  kestrun::testing::MemoryPane log;
  kestrun::testing::RecordingRunItem run_item;
  modGeneral::Context context{machine, launcher, settings, log, run_item, {}};
};

TEST(LaunchFaults, EachFailureIsLoggedWithTheSystemsWordsAndTheDriveIsIgnored) {
  testing::TempTree tree;
  tree.folder("a folder");
  tree.write("notes.txt", "not a program\n");
  tree.write("no-shebang.sh", "echo this would need a shell\n");
  ASSERT_EQ(chmod(tree.path("no-shebang.sh").c_str(), 0755), 0);
  tree.write("empty", "");
  ASSERT_EQ(chmod(tree.path("empty").c_str(), 0755), 0);
  const std::string huge_argument(200 * 1024, 'x');

  const struct {
    std::string exec;
    std::string words;
  } cases[] = {
      {"kestrun-no-such-program --now", "No such file or directory"},
      {"\"" + tree.path("missing/program") + "\"", "No such file or directory"},
      {"\"" + tree.path("a folder") + "\" %1", "Permission denied"},
      {"\"" + tree.path("notes.txt") + "\"", "Permission denied"},
      {"\"" + tree.path("no-shebang.sh") + "\" %1", "Exec format error"},
      {"\"" + tree.path("empty") + "\"", "Exec format error"},
      {"/bin/true " + huge_argument, "Argument list too long"},
  };
  const int descriptors = open_descriptors();
  for (const auto& [exec, words] : cases) {
    SCOPED_TRACE(exec.substr(0, 80));
    World world;
    world.machine.plug("E:\\", "PEN");
    std::string ignored;
    world.settings.write(modGeneral::kAdvanced, crlf_lines({"label:PEN", "exec:" + exec}),
                         &ignored);
    const auto report = modGeneral::run_detection(world.context, modGeneral::Mode::poll);
    const auto command = modGeneral::substitute_placeholders(exec, "E:\\", "PEN");
    EXPECT_EQ(world.log.text(), crlf_lines({"Detected USB device labeled 'PEN' on E:\\",
                                            "  executing script..." + command, "  error: " + words,
                                            std::string(modGeneral::kIgnoringLine)}));
    EXPECT_NE(report.find(words + "\r\n"), std::string::npos);

    // The same drives on the next pass: nothing is tried again.
    const auto logged = world.log.text();
    modGeneral::run_detection(world.context, modGeneral::Mode::poll);
    EXPECT_EQ(world.log.text(), logged);
  }
  EXPECT_EQ(open_descriptors(), descriptors) << "a failed start leaks a descriptor";
  errno = 0;
  EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1) << "a failed start leaves a child";
  EXPECT_EQ(errno, ECHILD);
}

TEST(LaunchFaults, APathSearchSkipsWhatCannotRunAndSaysWhyWhenNothingCan) {
  testing::TempTree tree;
  tree.folder("first/tool");                 // a folder named like the program
  tree.write("second/tool", "#!/bin/sh\n");  // not executable
  tree.link("third/tool", KESTRUN_ARGV_DUMP);
  const char* saved = getenv("PATH");
  const std::string old_path = saved ? saved : "";

  const auto launch = [&](const std::string& path, std::string* error) {
    setenv("PATH", path.c_str(), 1);
    modGeneral::LaunchRequest request;
    request.command = "tool \"" + tree.path("record") + "\" found";
    const bool started = LinuxLauncher().launch(request, error);
    setenv("PATH", old_path.c_str(), 1);
    return started;
  };
  std::string error;
  EXPECT_FALSE(launch(tree.path("first") + ":" + tree.path("second"), &error));
  EXPECT_EQ(error, "Permission denied");
  EXPECT_FALSE(launch(tree.path("nowhere"), &error));
  EXPECT_EQ(error, "No such file or directory");
  ASSERT_TRUE(
      launch(tree.path("first") + "::" + tree.path("second") + ":" + tree.path("third"), &error))
      << error;
  const auto record = kestrun::testing::wait_for_record(tree.path("record"));
  ASSERT_TRUE(record.has_value());
  EXPECT_EQ(record->arguments, std::vector<std::string>{"found"});
}

// The launcher's own split, which keeps stray bytes: the words QProcess would
// give for valid text, and the very bytes otherwise.
TEST(LaunchFaults, SplittingKeepsBytesThatAreNotUtf8) {
  using Words = std::vector<std::string>;
  EXPECT_EQ(split_command("wscript \"c:\\x.vbs\" \"E:\\\""),
            (Words{"wscript", "c:\\x.vbs", "E:\\"}));
  EXPECT_EQ(split_command("a \"\"\"q\"\"\" \"\" b"), (Words{"a", "\"q\"", "b"}));
  EXPECT_EQ(split_command("\xFF\xFE \"a\xC3 b\" \xED\xA0\x80\xF0\x9F\x92\xA3\xDC"),
            (Words{"\xFF\xFE", "a\xC3 b", "\xED\xA0\x80\xF0\x9F\x92\xA3\xDC"}));
  // A no-break space separates words, as it does for QProcess.
  EXPECT_EQ(split_command("a\xC2\xA0"
                          "b"),
            (Words{"a", "b"}));
}

TEST(LaunchFaults, StrayBytesReachTheProgramAsTheyAre) {
  testing::TempTree tree;
  modGeneral::LaunchRequest request;
  request.command = "\"" KESTRUN_ARGV_DUMP "\" \"" + tree.path("record") + "\" \xFF\xC3(";
  request.root = "E:\\";
  request.letter = "E";
  request.label = "L\xC3";
  request.mount_point = "/media/\xFF\xFE\n\\040";
  request.device = "/dev/sd\x80";
  std::string error;
  ASSERT_TRUE(LinuxLauncher().launch(request, &error)) << error;
  const auto record = kestrun::testing::wait_for_record(tree.path("record"));
  ASSERT_TRUE(record.has_value());
  EXPECT_EQ(record->arguments, std::vector<std::string>{"\xFF\xC3("});
  EXPECT_EQ(record->environment,
            (std::vector<std::string>{"KESTRUN_DRIVE=E:\\", "KESTRUN_LETTER=E",
                                      "KESTRUN_LABEL=L\xC3", "KESTRUN_MOUNT=/media/\xFF\xFE\n\\040",
                                      "KESTRUN_DEVICE=/dev/sd\x80"}));
}

}  // namespace
}  // namespace kestrun::platform
