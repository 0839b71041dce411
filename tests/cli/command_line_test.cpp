// SPDX-License-Identifier: MIT
// The command line on a fake machine: exit statuses, the exact report text,
// the drive table and headless polling driven tick by tick.
#include "cli/command_line.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

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
#include "settings/qt_settings_store.h"
#include "tests/fakes/fake_machine.h"
#include "tests/platform/linux/temp_tree.h"

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
  int run(QStringList arguments, const std::string& input = {},
          modGeneral::SettingsStore* settings = nullptr) {
    std::fwrite(input.data(), 1, input.size(), in.file());
    std::rewind(in.file());
    arguments.prepend(QStringLiteral("kestrun"));
    kestrun::cli::Services services{world.machine, world.launcher,
                                    settings ? *settings : world.settings};
    services.unmounted_volumes = [this] { return unmounted; };
    return kestrun::cli::run_command_line(arguments, services, {in.file(), out.file(), err.file()});
  }

  std::string write_file(const std::string& name, const std::string& text) {
    const auto path = std::filesystem::path(::testing::TempDir()) / name;
    std::ofstream(path, std::ios::binary) << text;
    return path.string();
  }

  FakeWorld world;
  std::vector<modGeneral::UnmountedVolume> unmounted;
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
  EXPECT_NE(out.text().find("  label=A\\nexec:b\\n\n  execute=b\\n\n"), std::string::npos);
  EXPECT_TRUE(world.launcher.launched.empty());
}

// The editor shows the report's TABs as they are; the terminal can too.
TEST_F(CommandLine, TheReportKeepsATabAndEscapesOtherControls) {
  EXPECT_EQ(run({"--validate", "-"}, crlf_lines({"label:MY\tPEN\x1b[2J", "exec:b\tc"})), 0);
  EXPECT_NE(out.text().find("  label=MY\tPEN\\x1b[2J\n  execute=b\tc\n"), std::string::npos)
      << out.text();
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
  EXPECT_EQ(run({"--mount", "--explain"}), 2);
  EXPECT_NE(err.text().find("--mount goes with --headless"), std::string::npos);
  EXPECT_EQ(run({"--list-drives", "--validate"}), 2);
  EXPECT_EQ(run({"--list-drives", "extra"}), 2);
  EXPECT_EQ(out.text(), "");
}

TEST_F(CommandLine, StoresAScriptOnlyWhenItPassesAndSaysWhyItCouldNot) {
  const auto file = QString::fromStdString(write_file("store.txt", kSample));
  EXPECT_EQ(run({"--store-script", file}), 0);
  EXPECT_EQ(out.text(), kSampleReport) << "the same report as --validate";
  const auto stored = kestrun::testing::sample_script();
  EXPECT_EQ(world.settings.read(modGeneral::kAdvanced), stored)
      << "with CR LF, as the editor saves";

  EXPECT_EQ(run({"--store-script", "-"}, "label:A\nlabel:B\nexec:c\n"), 1);
  EXPECT_NE(out.text().find("'exec' doesn't exist for one of your entries"), std::string::npos);
  EXPECT_EQ(world.settings.read(modGeneral::kAdvanced), stored) << "a bad script stores nothing";

  world.settings.write_error = "No space left on device";
  EXPECT_EQ(run({"--store-script", file}), 2);
  EXPECT_EQ(err.text(), "kestrun: cannot save the setting 'Advanced': No space left on device\n");
  world.settings.write_error.reset();
  EXPECT_EQ(world.settings.read(modGeneral::kAdvanced), stored);
  EXPECT_EQ(run({"--store-script"}), 2);
}

// The store keeps text: bytes it cannot keep as written are refused before
// anything is checked or stored, the same way by every option that reads a file.
TEST_F(CommandLine, AScriptThatIsNotUtf8TextIsRefusedNamingTheLineAndByte) {
  world.store_script(kestrun::testing::sample_script());
  const auto file = write_file("latin1.txt", "label:A\nexec:gr\xfcn\n");
  for (const char* mode : {"--validate", "--explain", "--store-script"}) {
    EXPECT_EQ(run({mode, QString::fromStdString(file)}), 2) << mode;
    EXPECT_EQ(err.text(), "kestrun: cannot use '" + file +
                              "': line 2, byte 8 (0xfc) is not UTF-8; a script is UTF-8 text "
                              "without NUL bytes\n");
    std::rewind(err.file());
  }
  EXPECT_EQ(run({"--store-script", "-"}, std::string("label:A\r\nexec:b\0c\r\n", 19)), 2);
  EXPECT_NE(err.text().find("cannot use standard input: line 2, byte 7 is a NUL"),
            std::string::npos);
  EXPECT_EQ(out.text(), "");
  EXPECT_EQ(world.settings.read(modGeneral::kAdvanced), kestrun::testing::sample_script());
}

TEST_F(CommandLine, PrintsTheStoredScriptSoThatItStoresBackByteForByte) {
  world.store_script(kestrun::testing::sample_script());
  EXPECT_EQ(run({"--print-script"}), 0);
  EXPECT_EQ(out.text(), kSample);
  EXPECT_EQ(run({"--store-script", "-"}, out.text()), 0);
  EXPECT_EQ(world.settings.read(modGeneral::kAdvanced), kestrun::testing::sample_script());
  EXPECT_EQ(err.text(), "");

  world.store_script("label:A\nexec:b\r\n");
  EXPECT_EQ(run({"--print-script"}), 0);
  EXPECT_NE(err.text().find("line ends other than CR LF"), std::string::npos)
      << "a hand-edited lone LF would not come back";
}

TEST_F(CommandLine, SetsTheIntervalOnlyToAPositiveNumberOfSeconds) {
  for (const auto* refused : {"0", "-5", "soon", "", "7,5", "1e3", "inf"}) {
    EXPECT_EQ(run({"--set-interval", refused}), 2) << refused;
  }
  EXPECT_NE(err.text().find("kestrun: the poll interval '-5' is not a positive number of seconds"),
            std::string::npos);
  EXPECT_EQ(world.settings.read(modGeneral::kInterval), "10") << "nothing stored";
  EXPECT_EQ(run({"--set-interval", "7.5"}), 0);
  EXPECT_EQ(world.settings.read(modGeneral::kInterval), "7.5");
  world.settings.write_error = "Read-only file system";
  EXPECT_EQ(run({"--set-interval", "3"}), 2);
  EXPECT_NE(err.text().find("kestrun: cannot save the setting 'Interval': Read-only file system"),
            std::string::npos);
}

TEST_F(CommandLine, HeadlessRefusesAnIntervalItCannotPollBy) {
  for (const auto* interval : {"0", "-5", "soon", ""}) {
    std::string ignored;
    world.settings.write(modGeneral::kInterval, interval, &ignored);
    EXPECT_EQ(run({"--headless"}), 2) << interval;
  }
  EXPECT_NE(err.text().find("'soon' is not a positive number"), std::string::npos);
}

// Settings that are there but cannot be read, or that another user could
// change, are no "no script": the reason goes to the terminal or the service
// manager. Missing settings still are.
TEST_F(CommandLine, SettingsThatCannotBeUsedExitTwoWithTheReason) {
  const kestrun::testing::TempTree tree;
  const std::filesystem::path folder = tree.path("Kestrun");
  const auto path = (folder / "Kestrun.conf").string();
  std::filesystem::create_directories(path);
  kestrun::QtSettingsStore store(QString::fromStdString(path));
  for (const char* mode : {"--validate", "--headless", "--print-script"}) {
    EXPECT_EQ(run({mode}, {}, &store), 2) << mode;
    EXPECT_EQ(err.text(), "kestrun: cannot read the settings '" + path + "': Is a directory\n");
    std::rewind(err.file());
  }

  std::filesystem::remove(path);
  ASSERT_TRUE(store.write(modGeneral::kInterval, "1", nullptr));
  ASSERT_EQ(chmod(folder.c_str(), 0777), 0);
  for (const char* mode : {"--validate", "--headless", "--print-script"}) {
    EXPECT_EQ(run({mode}, {}, &store), 2) << mode;
    EXPECT_EQ(err.text(), "kestrun: will not use the settings '" + path + "': its folder '" +
                              folder.string() + "' can be written by other users\n");
    std::rewind(err.file());
  }
  EXPECT_EQ(out.text(), "");

  std::filesystem::remove_all(folder);
  EXPECT_EQ(run({"--validate"}, {}, &store), 0);
  EXPECT_EQ(out.text(), "");
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
  world.machine.set_location("E:\\", "/media/me/MY\tPEN\n", "/dev/sdb1", "uuid:a\nb");
  world.machine.plug("F:\\", std::nullopt);
  world.machine.plug("G:\\",
                     "\xE2\x80\xAEgpj.exe\xC2\x9B"
                     "2J");
  world.machine.set_location("G:\\", "/media/\xFF", "/dev/sdc1");
  EXPECT_EQ(run({"--list-drives"}), 0);
  EXPECT_EQ(out.text(),
            "root\ttype\tname\tlabel\tsnapshot\tmount point\tdevice\tidentity\n"
            "C:\\\t3\tfixed\tSYSTEM\tyes\t/\t/dev/sda2\t\n"
            "D:\\\t4\tremote\tshare\tno\tD:\\\t\t\n"
            "E:\\\t2\tremovable\tMY\\tPEN\\n\tyes\t/media/me/MY\\tPEN\\n\t/dev/sdb1\tuuid:a\\nb\n"
            "F:\\\t2\tremovable\t              \tno\tF:\\\t\t\n"
            "G:\\\t2\tremovable\t\\u202egpj.exe\\u009b2J\tyes\t/media/\\xff\t/dev/sdc1\t\n");
}

// A TAB stays raw, so that an escape's backslash is never the label's own.
TEST(Headless, ShowsADrivesLabelInTheLogEscapedButForItsTabs) {
  FakeWorld world;
  const std::string label = "\xE2\x80\xAEgpj\t\\tab\x1B[2J";
  world.store_script(crlf_lines({"label:" + label, "exec:open %2"}));
  world.machine.plug("E:\\", label);
  kestrun::cli::Services services{world.machine, world.launcher, world.settings};
  Captured out;
  kestrun::cli::Headless(services, "1", out.file()).start();
  EXPECT_EQ(out.text(),
            "Started...\nDetected USB device labeled '\\u202egpj\t\\tab\\x1b[2J' on E:\\\n"
            "  executing script...open \\u202egpj\t\\tab\\x1b[2J\n"
            "  now ignoring the device until it's reinserted (or app is restarted)\n");
}

TEST_F(CommandLine, TheSnapshotColumnIsThePollPassSnapshotAfterTheIgnoreLine) {
  world.machine.plug("D:\\", "FOO", modGeneral::kDriveCdrom);
  world.machine.plug("E:\\", "xD:\\ FOO");
  world.machine.plug("F:\\", "PEN");
  world.store_script(crlf_lines({"ignore:f:\\", "label:PEN", "exec:backup"}));
  world.machine.warnings = {"cannot save the drive letters in 'x': Read-only file system"};
  EXPECT_EQ(run({"--list-drives"}), 0);
  EXPECT_EQ(out.text(),
            "root\ttype\tname\tlabel\tsnapshot\tmount point\tdevice\tidentity\n"
            "D:\\\t5\toptical\tFOO\tno\tD:\\\t\t\n"
            "E:\\\t2\tremovable\txD:\\ FOO\tyes\tE:\\\t\t\n"
            "F:\\\t2\tremovable\tPEN\tno\tF:\\\t\t\n");
  EXPECT_EQ(err.text(), "kestrun: cannot save the drive letters in 'x': Read-only file system\n");
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

TEST_F(CommandLine, NamesFilesystemsThatArePresentButNotMounted) {
  unmounted = {{"/dev/sdb1", "BACKUP", "uuid:1111-2222"}, {"/dev/sdc1", "PHOTOS\x1b[2J", ""}};
  const auto script = write_file("unmounted.txt",
                                 "label:BACKUP\nexec:backup\n"
                                 "label:PHOTOS\x1b[2J\nvolume:uuid:2F1C-9A7B\nexec:import\n");
  EXPECT_EQ(run({"--explain", QString::fromStdString(script)}), 0);
  EXPECT_NE(out.text().find("Entry 1 'BACKUP': does not run: 'BACKUP' is on /dev/sdb1, which "
                            "is not mounted (start Kestrun with --mount, or mount it)\n"),
            std::string::npos)
      << out.text();
  // Pinned to another volume: that filesystem would not run it, mounted or not.
  EXPECT_NE(out.text().find("Entry 2 $'PHOTOS\\033[2J': does not run: no drive is labelled"),
            std::string::npos)
      << out.text();

  EXPECT_EQ(run({"--list-drives"}), 0);
  EXPECT_NE(out.text().find("-\t0\tnot mounted\tBACKUP\tno\t\t/dev/sdb1\tuuid:1111-2222\n"
                            "-\t0\tnot mounted\tPHOTOS\\x1b[2J\tno\t\t/dev/sdc1\t\n"),
            std::string::npos)
      << out.text();
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

// Where a pass would fail or a script does not mean what it seems, --explain
// says so instead of "runs" or a bare "does not run".
TEST_F(CommandLine, ExplainTellsWhatWillFailAndWhatTheScriptDoesNotMean) {
  world.machine.plug("C:\\", "", modGeneral::kDriveFixed);
  world.machine.plug("E:\\", "it's \"PEN\"");
  world.machine.plug("F:\\",
                     "\xC3\x9C"
                     "BER");  // "ÜBER"
  world.launcher.failures["backup E:\\"] = "No such file or directory (not found on PATH)";
  world.store_script(crlf_lines({"ignore:c:\\, e:\\", "label:it's \"PEN\"", "exec:backup %1",
                                 "label:(no label)", "exec:a", "label:(ANY)", "exec:b",
                                 "label:\xC3\xBC"
                                 "ber",
                                 "exec:c"}));
  EXPECT_EQ(run({"--explain"}), 0);
  EXPECT_EQ(out.text(),
            "Drives\n"
            "  C:\\  fixed      (no label)       C:\\\n"
            "    left out by the ignore line: 'c:\\'\n"
            "  E:\\  removable  'it'\\''s \"PEN\"'  E:\\\n"
            "  F:\\  removable  \xC3\x9C"
            "BER             F:\\\n"
            "  ignore line: ' e:\\' ignores nothing: it is not a drive root such as 'E:\\'\n"
            "Entry 1 'it'\\''s \"PEN\"': fails to start on E:\\: 'backup': No such file or "
            "directory (not found on PATH)\n"
            "  argv: 'backup' 'E:\\'\n"
            "  env: KESTRUN_DRIVE='E:\\' KESTRUN_LETTER='E' KESTRUN_LABEL='it'\\''s \"PEN\"' "
            "KESTRUN_MOUNT='E:\\' KESTRUN_DEVICE=''\n"
            "Entry 2 '(no label)': does not run: no drive is labelled '(no label)' (C:\\ has no "
            "label but is left out by the ignore line)\n"
            "Entry 3 '(ANY)': does not run: no drive is labelled '(ANY)' (an ordinary label: only "
            "the case differs from the special label '(any)')\n"
            "Entry 4 '\xC3\xBC"
            "ber': does not run: no drive is labelled '\xC3\xBC"
            "ber' (F:\\ is labelled '\xC3\x9C"
            "BER': only the case differs)\n");

  world.store_script(crlf_lines({"ignore:c:\\,e:\\,f:\\", "label:(any)", "exec:a"}));
  std::rewind(out.file());
  EXPECT_EQ(run({"--explain"}), 0);
  EXPECT_NE(out.text().find("Entry 1 '(any)': does not run: the ignore line leaves out every "
                            "labelled removable or fixed drive (C:\\, E:\\, F:\\)\n"),
            std::string::npos);
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
  EXPECT_NE(text.find("  E:\\  removable  " + quoted + "  '/media/it'\\''s'\n"), std::string::npos)
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
  const auto* clock = headless.findChild<QTimer*>();
  ASSERT_NE(clock, nullptr);
  EXPECT_TRUE(clock->isActive());
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
  headless.tick();
  headless.tick();
  EXPECT_EQ(world.launcher.launched.back().command, "restore E") << "the script is read afresh";

  headless.stop();
  EXPECT_FALSE(clock->isActive());
  EXPECT_EQ(out.text().substr(out.text().size() - 9), "Stopped.\n");
}

// The file may turn bad while Kestrun runs: the service log says so once.
TEST(Headless, SettingsThatTurnUnusableAreReportedOnce) {
  const kestrun::testing::TempTree tree;
  const std::filesystem::path folder = tree.path("Kestrun");
  std::filesystem::create_directories(folder);
  ASSERT_EQ(chmod(folder.c_str(), 0700), 0);
  kestrun::QtSettingsStore store(QString::fromStdString((folder / "Kestrun.conf").string()));
  ASSERT_TRUE(store.write(modGeneral::kAdvanced, "label:PEN\r\nexec:backup\r\n", nullptr));
  FakeWorld world;
  kestrun::cli::Services services{world.machine, world.launcher, store};
  Captured out, err;
  kestrun::cli::Headless headless(services, "1", out.file(), err.file());
  headless.start();
  EXPECT_EQ(err.text(), "");

  ASSERT_EQ(chmod(folder.c_str(), 0777), 0);
  headless.tick();
  headless.tick();
  EXPECT_EQ(err.text(), "kestrun: will not use the settings '" +
                            (folder / "Kestrun.conf").string() + "': its folder '" +
                            folder.string() + "' can be written by other users\n");
  headless.stop();
}

// kestrun --set-interval reaches a running service at its next tick; an
// interval it cannot poll by is told once, and drives that come or go still
// start passes.
TEST(Headless, FollowsTheStoredIntervalFromItsNextTick) {
  FakeWorld world;
  world.store_script(crlf_lines({"label:PEN", "exec:backup %1"}));
  kestrun::testing::FakeVolumeWatch* watch = nullptr;
  kestrun::cli::Services services{
      world.machine, world.launcher, world.settings, {}, [&watch](std::function<void()>) {
        auto made = std::make_unique<kestrun::testing::FakeVolumeWatch>();
        watch = made.get();
        return made;
      }};
  Captured out;
  kestrun::cli::Headless headless(services, "60", out.file());
  headless.start();
  world.settings.write(modGeneral::kInterval, "2", nullptr);
  world.machine.plug("E:\\", "PEN");
  headless.tick();
  headless.tick();
  EXPECT_EQ(world.launcher.launched.size(), 1u) << "polled by the interval stored meanwhile";

  world.settings.write(modGeneral::kInterval, "0", nullptr);
  world.machine.pull("E:\\");
  const int listings = world.machine.listings;
  for (int tick = 0; tick < 3; ++tick) headless.tick();
  EXPECT_EQ(world.machine.listings, listings);
  EXPECT_EQ(out.text().substr(out.text().find("\nInterval")),
            "\nInterval '0' is not a positive number: only drives that come or go start a pass "
            "until it is a positive number of seconds\n");
  ASSERT_NE(watch, nullptr);
  headless.session().volumes_changed();
  headless.session().settled();
  EXPECT_GT(world.machine.listings, listings) << "the removal made a pass";
  headless.stop();
}

TEST(Headless, SaysWhenItCannotHearDrivesComeAndGo) {
  FakeWorld world;
  kestrun::cli::Services services{
      world.machine, world.launcher, world.settings, {}, [](std::function<void()>) {
        return nullptr;
      }};
  Captured out, err;
  kestrun::cli::Headless headless(services, "10", out.file(), err.file());
  headless.start();
  EXPECT_EQ(err.text(),
            "kestrun: the system's word that drives come or go cannot be heard here; passes run "
            "at start and every poll interval only\n");
  headless.stop();
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
  EXPECT_EQ(kestrun::cli::run_headless(services, "60", out.file()), 0);
  EXPECT_EQ(out.text(), "Started...\nStopped.\n");
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
