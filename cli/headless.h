// SPDX-License-Identifier: MIT
// Polling without a window: the main window's Start and tick, with the action
// log going to a stream.
#pragma once

#include <QObject>
#include <QTimer>
#include <cstdio>
#include <string>

#include "cli/command_line.h"
#include "cli/stream_pane.h"
#include "engine/detection.h"
#include "engine/poll_clock.h"
#include "engine/run_item.h"

namespace kestrun::cli {

class Headless : public QObject {
 public:
  Headless(Services& services, std::string interval_text, std::FILE* out, std::FILE* err = stderr);
  ~Headless() override;

  /// "Started...", a pass at once, then the one-second clock.
  void start();
  /// One clock tick: a pass when the interval is up.
  void tick();
  /// A pass now, for a change of the mount table; it acts only if the
  /// labelled drives changed, as every pass does. A store that became
  /// unusable is reported once on `err`.
  void poll();
  /// "Stopped." and the clock halts; commands still running go on, unreported.
  void stop();

 private:
  void report_store_problem();

  std::string interval_text_;
  StreamPane log_;
  modGeneral::NoRunItem run_item_;
  modGeneral::Context context_;
  modGeneral::PollClock clock_;
  QTimer timer_;
  std::FILE* err_;
  std::string store_problem_;  // as last reported
};

/// Runs headless until SIGINT, SIGTERM or SIGHUP; gives the exit status.
int run_headless(Services& services, const std::string& interval_text, bool instant, std::FILE* out,
                 std::FILE* err = stderr);

}  // namespace kestrun::cli
