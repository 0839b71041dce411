// SPDX-License-Identifier: MIT
// A poll session on Qt's event loop, for the window and the headless mode alike.
#pragma once

#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>

#include "engine/poll_session.h"

namespace kestrun::platform {

/// Makes a watch that calls `changed` from the event loop when volumes come
/// or go; nullptr where there is none.
using VolumeWatchMaker =
    std::function<std::unique_ptr<modGeneral::VolumeWatch>(std::function<void()> changed)>;

/// Runs a PollSession's clocks: `tick`, the front end's one-second timer,
/// which the session starts and stops and whose ticks the front end hands to
/// session().tick(), and a settle timer of its own; and the watch that
/// `watch_volumes` makes, if any.
class SessionDriver : public QObject, private modGeneral::SessionTimers {
 public:
  SessionDriver(modGeneral::Context& context, QTimer& tick, const VolumeWatchMaker& watch_volumes,
                modGeneral::IntervalRule rule = modGeneral::IntervalRule::any_number,
                QObject* parent = nullptr);
  ~SessionDriver() override;

  modGeneral::PollSession& session() { return session_; }
  /// Whether a watch was made: without one, only the clock starts passes.
  bool hears_volumes() const { return watch_ != nullptr; }

 private:
  void start_ticking() override { tick_.start(); }
  void stop_ticking() override { tick_.stop(); }
  void start_settle(std::chrono::milliseconds wait) override { settle_.start(wait); }
  void stop_settle() override { settle_.stop(); }

  QTimer& tick_;
  QTimer settle_;
  std::unique_ptr<modGeneral::VolumeWatch> watch_;
  modGeneral::PollSession session_;
};

}  // namespace kestrun::platform
