// The command line on a fake machine: exit statuses, the exact report text,
// the drive table and headless polling driven tick by tick.
#include "cli/command_line.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTimer>
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "cli/explain.h"
#include "cli/headless.h"
#include "tests/fakes/fake_machine.h"

namespace {

using kestrun::testing::crlf_lines;
using kestrun::testing::FakeWorld;

// Captures what the command line writes, through real FILE streams.
class Captured {
 public:
  Captured() : file_(std::tmpfile()) {}
  ~Captured() { std::fclose(file_); }
  std::FILE* file() { return file_; }
  std::string text() {
    std::fflush(file_);
    std::rewind(file_);
    std::string text;
    char buffer[4096];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file_)) > 0) text.append(buffer, got);
    return text;
  }

 private:
  std::FILE* file_;
};

class CommandLine : public ::testing::Test {
 protected:
  int run(QStringList arguments, const std::string& input = {}) {
    std::fwrite(input.data(), 1, input.size(), in.file());
    std::rewind(in.file());
    arguments.prepend(QStringLiteral("kestrun"));
    kestrun::cli::Services services{world.machine, world.launcher, world.settings};
    return kestrun::cli::run_command_line(arguments, services, {in.file(), out.file(), err.file()});
  }

  std::string write_file(const std::string& name, const std::string& text) {
    const auto path = std::filesystem::path(::testing::TempDir()) / name;
    std::ofstream(path, std::ios::binary) << text;
    return path.string();
  }

  FakeWorld world;
  Captured in, out, err;
};

const std::string kSample =
    "ignore:d:\\,e:\\,g:\\\n"
    "label:My USB Pen Drive\n"
    "exec:wscript \"c:\\something\\whatever.vbs\" \"%1\"\n"
    "label:Second Pen Drive\n"
    "exec:wscript \"c:\\someother\\script.vbs\" \"%1\"\n"
    "menurun:wscript \"c:\\OPTIONALscript.vbs\" \"%3\"\n";

const std::string kSampleReport =
    "Starting validation...\n\nIgnoring drives: d:\\,e:\\,g:\\\n\n"
    "Processing first entry...\n  label=My USB Pen Drive\n"
    "  execute=wscript \"c:\\something\\whatever.vbs\" \"%1\"\nEntry seems okay\n\n"
    "Processing first entry...\n  label=Second Pen Drive\n"
    "  execute=wscript \"c:\\someother\\script.vbs\" \"%1\"\n"
    "  menu run=wscript \"c:\\OPTIONALscript.vbs\" \"%3\"\nEntry seems okay\n\n"
    "Validation complete\n\n";

TEST_F(CommandLine, ValidatesAnLfFileLikeTheEditorsText) {
  EXPECT_EQ(run({"--validate", QString::fromStdString(write_file("sample.txt", kSample))}), 0);
  EXPECT_EQ(out.text(), kSampleReport);
  EXPECT_EQ(err.text(), "");
}

TEST_F(CommandLine, AFailedCheckEndsTheReportAndExitsOne) {
  std::string broken = kSample;
  broken.erase(broken.find("exec:wscript \"c:\\something"),
               std::string("exec:wscript \"c:\\something\\whatever.vbs\" \"%1\"\n").size());
  EXPECT_EQ(run({"--validate", "-"}, broken), 1);
  EXPECT_EQ(out.text(),
            "Starting validation...\n\nIgnoring drives: d:\\,e:\\,g:\\\n\n"
            "Processing first entry...\n  label=My USB Pen Drive\n"
            "  execute=wscript \"c:\\someother\\script.vbs\" \"%1\"\n"
            "'exec' doesn't exist for one of your entries\n");
}

TEST_F(CommandLine, ValidatesCrLfInputAndTheStoredScriptAsTheyAre) {
  EXPECT_EQ(run({"--validate", "-"}, crlf_lines({"label:A", "exec:b"})), 0);
  EXPECT_NE(out.text().find("  label=A\n  execute=b\nEntry seems okay"), std::string::npos);

  // The stored script is taken as stored: with LF only, a value runs on to the end.
  world.store_script("label:A\nexec:b\n");
  EXPECT_EQ(run({"--validate"}), 0);
  EXPECT_NE(out.text().find("  label=A\nexec:b\n\n  execute=b\n\n"), std::string::npos);
  EXPECT_TRUE(world.launcher.launched.empty());
}

TEST_F(CommandLine, AnEmptyScriptIsValidAndPrintsNothing) {
  EXPECT_EQ(run({"--validate", QString::fromStdString(write_file("empty.txt", ""))}), 0);
  EXPECT_EQ(out.text(), "");
  EXPECT_EQ(run({"--validate"}), 0);
}

TEST_F(CommandLine, UsageErrorsAndUnreadableFilesExitTwoWithAReason) {
  EXPECT_EQ(run({"--frobnicate"}), 2);
  EXPECT_NE(err.text().find("frobnicate"), std::string::npos);
  EXPECT_EQ(run({"--validate", "/nonexistent/script.txt"}), 2);
  EXPECT_NE(err.text().find("/nonexistent/script.txt': No such file or directory"),
            std::string::npos);
  EXPECT_EQ(run({"--instant", "--list-drives"}), 2);
  EXPECT_EQ(run({"--list-drives", "--validate"}), 2);
  EXPECT_EQ(run({"--list-drives", "extra"}), 2);
  EXPECT_EQ(out.text(), "");
}

TEST_F(CommandLine, HeadlessRefusesAnIntervalItCannotPollBy) {
  for (const auto* interval : {"0", "-5", "soon", ""}) {
    std::string ignored;
    world.settings.write(modGeneral::kInterval, interval, &ignored);
    EXPECT_EQ(run({"--headless"}), 2) << interval;
  }
  EXPECT_NE(err.text().find("'soon' is not a positive number"), std::string::npos);
}

TEST_F(CommandLine, PrintsItsVersionAndHelp) {
  EXPECT_EQ(run({"--version"}), 0);
  EXPECT_EQ(out.text(), "Kestrun 1.5\n");
  EXPECT_EQ(run({"--help"}), 0);
  EXPECT_NE(out.text().find("--list-drives"), std::string::npos);
}

TEST_F(CommandLine, ListsEveryRootWithWhatKestrunMakesOfIt) {
  world.machine.plug("C:\\", "SYSTEM", modGeneral::kDriveFixed);
  world.machine.set_location("C:\\", "/", "/dev/sda2");
  world.machine.plug("D:\\", "share", modGeneral::kDriveRemote);
  world.machine.plug("E:\\", "MY\tPEN\n");
  world.machine.set_location("E:\\", "/media/me/MY\tPEN\n", "/dev/sdb1");
  world.machine.plug("F:\\", std::nullopt);
  EXPECT_EQ(run({"--list-drives"}), 0);
  EXPECT_EQ(out.text(),
            "root\ttype\tname\tlabel\tsnapshot\tmount point\tdevice\n"
            "C:\\\t3\tfixed\tSYSTEM\tyes\t/\t/dev/sda2\n"
            "D:\\\t4\tremote\tshare\tno\tD:\\\t\n"
            "E:\\\t2\tremovable\tMY\\tPEN\\n\tyes\t/media/me/MY\\tPEN\\n\t/dev/sdb1\n"
            "F:\\\t2\tremovable\t              \tno\tF:\\\t\n");
}

TEST_F(CommandLine, ExplainsEachEntryWithTheDrivesPresent) {
  world.machine.plug("C:\\", "", modGeneral::kDriveFixed);
  world.machine.set_location("C:\\", "/", "");
  world.machine.plug("D:\\", "MY PEN");
  world.machine.set_location("D:\\", "/media/me/MY PEN", "/dev/sdb1");
  world.machine.plug("E:\\", "camera");
  world.machine.set_location("E:\\", "/media/me/camera", "/dev/sdc1");
  const auto script = write_file("explain.txt",
                                 "label:MY PEN\n"
                                 "exec:/home/me/bin/backup \"%1\" \"%2\" %3\n"
                                 "label:CAMERA\nexec:import\n");
  EXPECT_EQ(run({"--explain", QString::fromStdString(script)}), 0);
  EXPECT_EQ(out.text(),
            "Drives\n"
            "  C:\\  fixed      (no label)   /\n"
            "  D:\\  removable  MY PEN       /media/me/MY PEN      /dev/sdb1\n"
            "  E:\\  removable  camera       /media/me/camera      /dev/sdc1\n"
            "Entry 1 'MY PEN': runs on D:\\\n"
            "  argv: '/home/me/bin/backup' 'D:\\' 'MY PEN' 'D'\n"
            "  env: KESTRUN_DRIVE='D:\\' KESTRUN_LETTER='D' KESTRUN_LABEL='MY PEN' "
            "KESTRUN_MOUNT='/media/me/MY PEN' KESTRUN_DEVICE='/dev/sdb1'\n"
            "Entry 2 'CAMERA': does not run: no drive is labelled 'CAMERA' (E:\\ is labelled "
            "'camera': only the case differs)\n");
  EXPECT_TRUE(world.launcher.launched.empty());
}

TEST_F(CommandLine, ExplainSaysWhyDrivesAreLeftOutAndWhereTheWalkStops) {
  world.machine.plug("D:\\", "PEN");
  world.machine.plug("F:\\", "DVD", modGeneral::kDriveCdrom);
  world.machine.plug("G:\\", "PEN");
  world.machine.plug("H:\\", std::nullopt);
  world.machine.plug("K:\\", "PEN");
  world.store_script(
      crlf_lines({"ignore:k:\\", "label:PEN", "exec:a", "label:X", "label:Y", "exec:b"}));
  EXPECT_EQ(run({"--explain"}), 1);
  EXPECT_EQ(out.text(),
            "Drives\n"
            "  D:\\  removable  PEN           D:\\\n"
            "  F:\\  optical    DVD           F:\\\n"
            "    left out: optical drives are never matched\n"
            "  G:\\  removable  PEN           G:\\\n"
            "  H:\\  removable  (unreadable)  H:\\\n"
            "    left out: its label cannot be read\n"
            "  K:\\  removable  PEN           K:\\\n"
            "    left out by the ignore line: 'k:\\'\n"
            "Entry 1 'PEN': runs on D:\\\n"
            "  note: 2 drives are labelled 'PEN' (D:\\, G:\\); this entry acts on D:\\ only\n"
            "  argv: 'a'\n"
            "  env: KESTRUN_DRIVE='D:\\' KESTRUN_LETTER='D' KESTRUN_LABEL='PEN' "
            "KESTRUN_MOUNT='D:\\' KESTRUN_DEVICE=''\n"
            "Entry 2 'X': stops the walk: 'exec' doesn't exist for one of your entries\n"
            "Entry 3 'Y': not reached\n");
}

TEST_F(CommandLine, ExplainQuotesADrivesBytesSoTheyCannotForgeALine) {
  const std::string hostile = "x\nEntry 9 'A': runs on C:\\\x1b[2J\xe2\x80\xae'\xff";
  world.machine.plug("E:\\", hostile);
  world.machine.set_location("E:\\", "/media/it's", "");
  world.store_script(crlf_lines({"label:(any)", "exec:show %1"}));
  EXPECT_EQ(run({"--explain"}), 0);
  const auto text = out.text();
  const std::string quoted =
      "$'x\\nEntry 9 \\'A\\': runs on C:\\\\\\033[2J\\342\\200\\256\\'\\377'";
  EXPECT_NE(text.find("  E:\\  removable  " + quoted + "  /media/it's\n"), std::string::npos)
      << text;
  EXPECT_NE(text.find("KESTRUN_MOUNT='/media/it'\\''s'"), std::string::npos);
  // One line per drive and per entry's part: nothing the label holds breaks one.
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 5);
  EXPECT_EQ(text.find('\x1b'), std::string::npos);
}

TEST(ShellQuote, AShellReadsEveryWordBackByteForByte) {
  if (std::system("command -v bash >/dev/null 2>&1") != 0) GTEST_SKIP() << "no bash here";
  const auto script = std::filesystem::path(::testing::TempDir()) / "read-back.sh";
  for (const std::string word : {"MY PEN", "it's", "", "a\nb\tc\r", "\x1b]0;title\x07",
                                 "\xc2\x9b"
                                 "31m",
                                 "\xe2\x80\xae"
                                 "evil",
                                 "\xff\xfe'\\1", "caf\xc3\xa9 \xe2\x80\xa8"}) {
    const auto quoted = kestrun::cli::shell_quote(word);
    EXPECT_EQ(quoted.find_first_of("\n\r\x1b\x07"), std::string::npos) << quoted;
    std::ofstream(script, std::ios::binary) << "printf %s " << quoted << "\n";
    FILE* shell = popen(("bash " + script.string()).c_str(), "r");
    ASSERT_NE(shell, nullptr);
    std::string got;
    char buffer[256];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, shell)) > 0;)
      got.append(buffer, n);
    pclose(shell);
    EXPECT_EQ(got, word) << quoted;
  }
}

TEST(Headless, PollsAtStartAndEveryIntervalAndLogsToTheStream) {
  FakeWorld world;
  world.store_script(crlf_lines({"label:PEN", "exec:backup %1"}));
  world.machine.plug("E:\\", "PEN");
  kestrun::cli::Services services{world.machine, world.launcher, world.settings};
  Captured out;
  kestrun::cli::Headless headless(services, "2", out.file());

  headless.start();
  EXPECT_TRUE(headless.timer().isActive());
  EXPECT_EQ(out.text(),
            "Started...\nDetected USB device labeled 'PEN' on E:\\\n"
            "  executing script...backup E:\\\n"
            "  now ignoring the device until it's reinserted (or app is restarted)\n");

  world.machine.pull("E:\\");
  const auto listings = world.machine.listings;
  headless.tick();
  EXPECT_EQ(world.machine.listings, listings) << "no pass at the first tick of two";
  headless.tick();
  EXPECT_GT(world.machine.listings, listings);
  world.machine.plug("E:\\", "PEN");
  world.store_script(crlf_lines({"label:PEN", "exec:restore %3"}));
  headless.poll();
  EXPECT_EQ(world.launcher.launched.back().command, "restore E") << "the script is read afresh";

  headless.stop();
  EXPECT_FALSE(headless.timer().isActive());
  EXPECT_EQ(out.text().substr(out.text().size() - 9), "Stopped.\n");
}

TEST(Headless, WritesEachCommandsEndUntilItStops) {
  FakeWorld world;
  world.store_script(crlf_lines({"label:PEN", "exec:backup %1"}));
  world.machine.plug("E:\\", "PEN");
  kestrun::cli::Services services{world.machine, world.launcher, world.settings};
  Captured out;
  kestrun::cli::Headless headless(services, "2", out.file());
  headless.start();
  world.launcher.finish(0, {false, 3, "", 1.25});
  EXPECT_NE(out.text().find("\n  finished: 'PEN' on E:\\ with exit code 3 after 1.2 s\n"),
            std::string::npos)
      << out.text();
  headless.stop();
  world.launcher.finish(0, {false, 0, "", 2});
  EXPECT_EQ(out.text().substr(out.text().size() - 9), "Stopped.\n")
      << "a command still running at the end is left to run, unreported";
}

TEST(Headless, AHangupEndsItLikeATerminationRequest) {
  FakeWorld world;
  world.settings.write(modGeneral::kInterval, "60", nullptr);
  kestrun::cli::Services services{world.machine, world.launcher, world.settings};
  Captured out;
  QTimer::singleShot(50, [] { raise(SIGHUP); });
  QTimer::singleShot(5000, [] { QCoreApplication::exit(99); });
  EXPECT_EQ(kestrun::cli::run_headless(services, "60", false, out.file()), 0);
  EXPECT_EQ(out.text(), "Started...\nStopped.\n");
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
