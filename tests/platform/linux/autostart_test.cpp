// SPDX-License-Identifier: MIT
// The XDG autostart entry in a temporary configuration folder: what the
// desktop reads as switched on or off, and the program the entry names.
#include "platform/autostart.h"

#include <gtest/gtest.h>
#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

#include "tests/platform/linux/temp_tree.h"

namespace kestrun::platform {
namespace {

const std::string kEntry = "autostart/org.example.Kestrun.desktop";

// Keeps the variable's value for the test's lifetime and brings it back after.
class ScopedVariable {
 public:
  ScopedVariable(const char* name, const std::string& value) : name_(name) {
    if (const char* old = getenv(name)) old_ = old;
    setenv(name, value.c_str(), 1);
  }
  ~ScopedVariable() {
    if (old_) {
      setenv(name_, old_->c_str(), 1);
    } else {
      unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

class AutostartTest : public ::testing::Test {
 protected:
  std::string read(const std::string& relative) const {
    std::ifstream file(tree.path(relative));
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
  }

  testing::TempTree tree;
  ScopedVariable config{"XDG_CONFIG_HOME", tree.path("config")};
  ScopedVariable system{"XDG_CONFIG_DIRS", tree.path("xdg")};
  ScopedVariable path{"PATH", tree.path("bin") + ":/usr/bin:/bin"};
};

std::string running_program() {
  char buffer[PATH_MAX] = {};
  return realpath("/proc/self/exe", buffer);
}

TEST_F(AutostartTest, NamesThisProgramByPathUnlessPathFindsIt) {
  std::string error;
  EXPECT_FALSE(autostart::is_enabled());
  ASSERT_TRUE(autostart::set_enabled(true, &error)) << error;
  EXPECT_TRUE(autostart::is_enabled());
  EXPECT_NE(read("config/" + kEntry).find("\nExec=\"" + running_program() + "\"\n"),
            std::string::npos)
      << read("config/" + kEntry);

  // The installed program: the entry follows it through upgrades and moves.
  tree.link("bin/kestrun", running_program());
  ASSERT_TRUE(autostart::set_enabled(true, &error)) << error;
  EXPECT_NE(read("config/" + kEntry).find("\nExec=kestrun\n"), std::string::npos);

  ASSERT_TRUE(autostart::set_enabled(false, &error)) << error;
  EXPECT_FALSE(autostart::is_enabled());
  EXPECT_FALSE(std::filesystem::exists(tree.path("config/" + kEntry)));
  EXPECT_TRUE(autostart::set_enabled(false, &error)) << "an entry that is gone is no failure";
}

// `kestrun` on PATH is the command-line program, which hands a start without
// arguments over to the window program beside it: that is this one.
TEST_F(AutostartTest, NamesKestrunWhenTheCommandOnPathOpensThisWindow) {
  tree.write("bin/kestrun", "#!/bin/sh\n");
  std::filesystem::permissions(tree.path("bin/kestrun"), std::filesystem::perms::owner_all);
  tree.link("bin/kestrun-window", running_program());
  std::string error;
  ASSERT_TRUE(autostart::set_enabled(true, &error)) << error;
  EXPECT_NE(read("config/" + kEntry).find("\nExec=kestrun\n"), std::string::npos)
      << read("config/" + kEntry);
}

TEST_F(AutostartTest, AnEntrySwitchedOffReadsOffUntilSwitchedOnAgain) {
  for (const char* off : {"Hidden=true", "X-GNOME-Autostart-enabled = false"}) {
    tree.write("config/" + kEntry,
               std::string("[Desktop Entry]\nType=Application\nName=Kestrun\nExec=kestrun\n") +
                   off + "\n");
    EXPECT_FALSE(autostart::is_enabled()) << off;
    std::string error;
    ASSERT_TRUE(autostart::set_enabled(true, &error)) << error;
    EXPECT_TRUE(autostart::is_enabled()) << off;
  }
  // The keys count in the main group only.
  tree.write("config/" + kEntry,
             "[Desktop Entry]\nExec=kestrun\n[Desktop Action x]\nHidden=true\n");
  EXPECT_TRUE(autostart::is_enabled());
}

// The user's own entry shadows the system's: off has to be said there.
TEST_F(AutostartTest, AnEntryOfTheSystemIsSwitchedOffByOneOfTheUsers) {
  tree.write("xdg/" + kEntry, "[Desktop Entry]\nType=Application\nName=Kestrun\nExec=kestrun\n");
  EXPECT_TRUE(autostart::is_enabled());
  std::string error;
  ASSERT_TRUE(autostart::set_enabled(false, &error)) << error;
  EXPECT_FALSE(autostart::is_enabled());
  EXPECT_NE(read("config/" + kEntry).find("\nHidden=true\n"), std::string::npos);
  ASSERT_TRUE(autostart::set_enabled(true, &error)) << error;
  EXPECT_TRUE(autostart::is_enabled());
}

}  // namespace
}  // namespace kestrun::platform
