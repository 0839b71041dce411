// Why a web address could not be handed to the desktop's browser, in the
// system's own words and number.
#pragma once

#include <string>
#include <string_view>

namespace kestrun::platform {

struct WebLinkFailure {
  std::string description;
  unsigned long number = 0;
};

/// Why the desktop's handler for web addresses could not be started. Ask right
/// after an attempt to open an address failed, before anything else can
/// change the thread's last error.
WebLinkFailure web_link_failure();

/// "Unable to load '<address>' : <description> (Error <number>)".
std::string web_link_error_message(std::string_view address, const WebLinkFailure& failure);

}  // namespace kestrun::platform
