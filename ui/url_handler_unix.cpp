// Qt hands web addresses to xdg-open (or to a browser named in the
// environment) and reports failure with no reason, so the reason is found here.
#include <QStandardPaths>
#include <cerrno>
#include <cstring>

#include "ui/desktop.h"

namespace kestrun::ui {

SystemError url_handler_failure() {
  const int left_by_start = errno;
  const auto words = [](int number) {
    return SystemError{QString::fromLocal8Bit(std::strerror(number)), number};
  };
  if (QStandardPaths::findExecutable(QStringLiteral("xdg-open")).isEmpty()) return words(ENOENT);
  if (left_by_start != 0) return words(left_by_start);
  return {QStringLiteral("xdg-open could not be started"), 0};
}

}  // namespace kestrun::ui
