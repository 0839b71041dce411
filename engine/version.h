// The program's version, shown as "1.5" (the revision is shown nowhere).
#pragma once

#include <string>

namespace modGeneral {

inline constexpr int kVersionMajor = 1;
inline constexpr int kVersionMinor = 5;
inline constexpr int kVersionRevision = 0;

/// "1.5": major and minor as plain decimal text.
inline std::string version_text() {
  return std::to_string(kVersionMajor) + "." + std::to_string(kVersionMinor);
}

}  // namespace modGeneral
