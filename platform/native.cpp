// SPDX-License-Identifier: MIT
#include "platform/native.h"

namespace kestrun::platform {

std::string web_link_error_message(std::string_view address, const SystemError& failure) {
  return "Unable to load '" + std::string(address) + "' : " + failure.description + " (Error " +
         std::to_string(failure.number) + ")";
}

}  // namespace kestrun::platform
