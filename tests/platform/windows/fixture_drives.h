// SPDX-License-Identifier: MIT
// The drives that wine-drives.sh makes in the tests' Wine prefix.
#pragma once

#include <string>

namespace kestrun::testing {

struct FixtureDrive {
  std::string root;
  std::string label;  // as Wine reads it from the folder's .windows-label file
  unsigned type;
};

// C: is the prefix's own drive; M: is a link to a folder that is gone.
inline const FixtureDrive kFixtureDrives[] = {
    {"C:\\", "", 3},
    {"D:\\", "Überstick Ключ", 2},
    {"E:\\", "THIRTEEN CHRS", 2},
    {"F:\\", "FOURTEEN CHARS", 3},
    {"G:\\", "TWENTY CHARACTERS XY", 2},
    {"H:\\", "DISC", 5},
    {"I:\\", "SHARE", 4},
    {"J:\\", "RAM DISK", 6},
    {"K:\\", "", 3},
    {"L:\\", "  LEADING SPACES", 3},
};
inline const std::string kGoneRoot = "M:\\";
// E:'s volume serial, set by a .windows-serial file, as its identity.
inline const std::string kSerialIdentity = "uuid:1A2B-3C4D";

}  // namespace kestrun::testing
