// The desktop hands web addresses to xdg-open (or to a browser named in the
// environment) and reports a failure with no reason, so the reason is found here.
#include <QStandardPaths>
#include <cerrno>
#include <cstring>

#include "platform/web_link.h"

namespace kestrun::platform {

WebLinkFailure web_link_failure() {
  const int left_by_start = errno;
  const auto words = [](int number) {
    return WebLinkFailure{std::strerror(number), static_cast<unsigned long>(number)};
  };
  if (QStandardPaths::findExecutable(QStringLiteral("xdg-open")).isEmpty()) return words(ENOENT);
  if (left_by_start != 0) return words(left_by_start);
  return {"xdg-open could not be started", 0};
}

}  // namespace kestrun::platform
