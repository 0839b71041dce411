// SPDX-License-Identifier: MIT
// The tray menu's run item, which a menu pass fills.
#pragma once

#include <string>

#include "engine/launcher.h"

namespace modGeneral {

class RunItem {
 public:
  virtual ~RunItem() = default;

  /// Empty caption hides the item.
  virtual void set_caption(const std::string& caption) = 0;
  /// The command to run when the item is chosen, placeholders filled in; its
  /// drive fields go along for the launched process's environment.
  virtual void set_tag(const LaunchRequest& tag) = 0;
};

/// The run item of a program without a tray: it shows nothing.
class NoRunItem final : public RunItem {
 public:
  void set_caption(const std::string&) override {}
  void set_tag(const LaunchRequest&) override {}
};

}  // namespace modGeneral
