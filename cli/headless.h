// SPDX-License-Identifier: MIT
// Polling without a window: the main window's Start, tick and drive events,
// with the action log going to a stream.
#pragma once

#include <QObject>
#include <QTimer>
#include <cstdio>
#include <memory>
#include <string>

#include "cli/command_line.h"
#include "cli/stream_pane.h"
#include "engine/detection.h"
#include "engine/run_item.h"
#include "platform/session_driver.h"

namespace kestrun::cli {

class Headless : public QObject {
 public:
  /// Polls by `interval_text` until the stored interval changes.
  /// With `mount`, mounts the filesystems that entries name as they appear.
  Headless(Services& services, std::string interval_text, std::FILE* out, std::FILE* err = stderr,
           bool mount = false);
  ~Headless() override;

  /// "Started...", a pass at once, then the one-second clock and the
  /// system's word that drives came or went.
  void start();
  /// One clock tick: the stored interval if the settings changed it, and a
  /// pass when the interval is up. A store that became unusable is reported
  /// once on `err`.
  void tick();
  /// "Stopped." and nothing starts a pass any more; commands still running
  /// go on, unreported.
  void stop();

  modGeneral::PollSession& session() { return driver_.session(); }

 private:
  void follow_stored_interval();
  void report_store_problem();

  std::string interval_text_;    // polled by
  std::string stored_interval_;  // as the store gave it last
  StreamPane log_;
  modGeneral::NoRunItem run_item_;
  modGeneral::Context context_;
  QTimer clock_;
  platform::SessionDriver driver_;
  std::FILE* err_;
  bool unheard_ = false;                             // a watch was asked for and could not be made
  std::string store_problem_;                        // as last reported
  decltype(Services::mount_volumes) mount_volumes_;  // empty without --mount
  // Last, so it goes first: its answers write to the log.
  std::unique_ptr<QObject> mounter_;
};

/// Runs headless until SIGINT, SIGTERM or SIGHUP; gives the exit status.
int run_headless(Services& services, const std::string& interval_text, std::FILE* out,
                 std::FILE* err = stderr, bool mount = false);

}  // namespace kestrun::cli
