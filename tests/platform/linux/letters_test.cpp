// SPDX-License-Identifier: MIT
// Remembered drive letters: the rules that give them out, their file's text,
// and the file shared by several processes.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "platform/linux/letter_table.h"
#include "platform/linux/letters_file.h"
#include "tests/platform/linux/temp_tree.h"

namespace kestrun::platform {
namespace {

using Letters = std::vector<std::optional<char>>;

PresentVolume volume(const std::string& name) { return {"uuid:" + name, "/media/" + name, false}; }

std::vector<PresentVolume> volumes(std::initializer_list<std::string> names) {
  std::vector<PresentVolume> found;
  for (const auto& name : names) found.push_back(volume(name));
  return found;
}

std::string read(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

TEST(LetterRules, AVolumeGetsItsLetterBackWhateverCameBetween) {
  LetterTable table;
  auto root = volume("root");
  root.root = true;
  root.where = "/";
  EXPECT_EQ(assign_letters(table, {root, volume("A")}), (Letters{'C', 'D'}));
  EXPECT_EQ(assign_letters(table, {root, volume("A"), volume("B")}), (Letters{'C', 'D', 'E'}));
  EXPECT_EQ(assign_letters(table, {root}), (Letters{'C'}));
  // B first this time; a new volume skips the letters A and B are remembered by.
  EXPECT_EQ(assign_letters(table, volumes({"B", "N"})), (Letters{'E', 'F'}));
  EXPECT_EQ(assign_letters(table, volumes({"B", "N", "A"})), (Letters{'E', 'F', 'D'}));
}

TEST(LetterRules, WhenEveryFreeLetterIsRememberedTheVolumeSeenLongestAgoGivesItsUp) {
  LetterTable table;
  for (int i = 0; i < 23; ++i) {
    EXPECT_EQ(assign_letters(table, volumes({std::to_string(i)})), (Letters{char('D' + i)}));
    assign_letters(table, {});
  }
  // Volume 0 comes back, so volume 1 is now the one seen longest ago.
  EXPECT_EQ(assign_letters(table, volumes({"0"})), (Letters{'D'}));
  assign_letters(table, {});
  EXPECT_EQ(assign_letters(table, volumes({"new"})), (Letters{'E'}));
  assign_letters(table, {});
  EXPECT_EQ(assign_letters(table, volumes({"1"})), (Letters{'F'})) << "1 forgot E:";
  // With D: to Z: all in use, a further volume waits for a free letter.
  std::vector<PresentVolume> many;
  for (int i = 0; i < 24; ++i) many.push_back(volume("many" + std::to_string(i)));
  const auto letters = assign_letters(table, many);
  EXPECT_EQ(std::set<std::optional<char>>(letters.begin(), letters.begin() + 23).size(), 23u);
  EXPECT_EQ(letters[23], std::nullopt);
}

TEST(LetterRules, ClonedVolumesKeepTheirLettersByWhereTheyAreMounted) {
  LetterTable table;
  const PresentVolume first{"uuid:clone", "/media/STICK", false};
  const PresentVolume second{"uuid:clone", "/media/STICK1", false};
  EXPECT_EQ(assign_letters(table, {first, second}), (Letters{'D', 'E'}));
  EXPECT_EQ(assign_letters(table, {second, first}), (Letters{'E', 'D'}));
  EXPECT_EQ(assign_letters(table, {second}), (Letters{'E'}));
}

TEST(LettersText, AnyBytesFromADriveStayInTheirFieldAndForgeNoLine) {
  const std::string hostile =
      std::string("x\nE mounted uuid:forged /tmp \\x41\t\r") + '\0' + "\xff\xc3\xa9 end";
  LetterTable table = {{'D', std::nullopt, "label:ext4:" + hostile, "/media/" + hostile},
                       {'Z', 42, "share://nas/music", ""}};
  const auto text = format_letter_table(table);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 3) << text;
  std::string error;
  EXPECT_EQ(parse_letter_table(text, &error), table) << error;

  for (const std::string damaged :
       {"", "D mounted uuid:a /\n", "kestrun-letters 1\nD mounted uuid:a /",
        "kestrun-letters 1\nD mounted uuid:a /\nD 3 uuid:b /\n",
        "kestrun-letters 1\nC 1 uuid:a /\n", "kestrun-letters 1\nD mounted uuid:a\\x4 /\n",
        "kestrun-letters 1\nD soon uuid:a /\n", "kestrun-letters 1\nD mounted uuid:a / extra\n"}) {
    EXPECT_EQ(parse_letter_table(damaged, &error), std::nullopt) << damaged;
    EXPECT_FALSE(error.empty());
  }
}

TEST(LettersFile, ProcessesSharingTheFileAgree) {
  testing::TempTree tree;
  const auto path = tree.path("state/kestrun/letters");
  LettersFile running(path);
  LettersFile other(path);
  EXPECT_EQ(running.assign(volumes({"A", "B"})), (Letters{'D', 'E'}));
  EXPECT_EQ(running.assign(volumes({"B"})), (Letters{'E'}));
  // A newcomer knows A's letter from the file and gives C, new, another one.
  EXPECT_EQ(other.assign(volumes({"B", "C"})), (Letters{'E', 'F'}));
  EXPECT_EQ(running.assign(volumes({"B", "C", "A"})), (Letters{'E', 'F', 'D'}));
  EXPECT_TRUE(running.take_warnings().empty());
  EXPECT_TRUE(other.take_warnings().empty());

  struct stat folder {};
  ASSERT_EQ(stat(tree.path("state/kestrun").c_str(), &folder), 0);
  EXPECT_EQ(folder.st_mode & 0777, 0700u);
}

TEST(LettersFile, ADamagedFileIsSetAsideWithOneWarningAndLettersStartAfresh) {
  testing::TempTree tree;
  const auto path = tree.path("letters");
  tree.write("letters", "kestrun-letters 1\nD mounted uuid:A /media/A\nnonsense\n");
  LettersFile file(path);
  EXPECT_EQ(file.assign(volumes({"B"})), (Letters{'D'}));
  const auto warnings = file.take_warnings();
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_NE(warnings[0].find("line 3"), std::string::npos) << warnings[0];
  EXPECT_NE(warnings[0].find(path + ".bad"), std::string::npos) << warnings[0];
  EXPECT_EQ(read(path + ".bad"), "kestrun-letters 1\nD mounted uuid:A /media/A\nnonsense\n");
  std::string error;
  EXPECT_TRUE(parse_letter_table(read(path), &error)) << error;
  EXPECT_EQ(file.assign(volumes({"B", "C"})), (Letters{'D', 'E'}));
  EXPECT_TRUE(file.take_warnings().empty());
}

TEST(LettersFile, AFileThatCannotBeWrittenLeavesTheLettersToThisProcessWithOneWarning) {
  testing::TempTree tree;
  // A file where the folder should be stops even root from writing there.
  tree.write("state", "");
  LettersFile file(tree.path("state/kestrun/letters"));
  EXPECT_EQ(file.assign(volumes({"A", "B"})), (Letters{'D', 'E'}));
  const auto warnings = file.take_warnings();
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_NE(warnings[0].find("Not a directory"), std::string::npos) << warnings[0];
  EXPECT_EQ(file.assign(volumes({"B", "C"})), (Letters{'E', 'F'}));
  EXPECT_EQ(file.assign(volumes({"A"})), (Letters{'D'}));
  EXPECT_TRUE(file.take_warnings().empty());
}

}  // namespace
}  // namespace kestrun::platform
