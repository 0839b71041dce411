// SPDX-License-Identifier: MIT
// Polling as the window and the headless mode both run it: Start and Stop,
// the one-second clock, a pass when the system says volumes came or went, and
// each started command's end in the log.
#pragma once

#include <chrono>
#include <string>
#include <string_view>

#include "engine/detection.h"
#include "engine/poll_clock.h"

namespace modGeneral {

class PollSession;

/// The session's two clocks, run by the front end: while ticking it calls
/// PollSession::tick() once a second, and once a settle has run out it calls
/// PollSession::settled().
class SessionTimers {
 public:
  virtual ~SessionTimers() = default;
  virtual void start_ticking() = 0;
  virtual void stop_ticking() = 0;
  /// Starts the settle anew; settled() comes once, `wait` from now.
  virtual void start_settle(std::chrono::milliseconds wait) = 0;
  virtual void stop_settle() = 0;
};

/// The system's word that volumes came or went. Unless held, the front end
/// calls PollSession::volumes_changed() for it.
class VolumeWatch {
 public:
  virtual ~VolumeWatch() = default;
  /// No more calls until release(); what comes meanwhile is kept.
  virtual void hold() = 0;
  /// Calls again, at once for what was kept and not asked for by changed().
  virtual void release() = 0;
  /// Whether volumes came or went since the last call or the last changed();
  /// asking forgets it.
  virtual bool changed() = 0;
};

/// One run of polling. A word from the watch starts a burst: the pass waits
/// until the system has been quiet for one settle, so the volumes of one
/// stick, mounted one after another, make one pass and run each entry once.
/// A storm that never quiets still gets a pass after kMostSettles settles.
/// A removal makes a pass too, so a stick put back within one interval is
/// seen to have left and runs its entry again.
class PollSession {
 public:
  /// udisks2 mounted two volumes of one stick 0 to 75 ms apart when asked
  /// for both at once, and 160 to 490 ms apart when asked one after the other.
  static constexpr std::chrono::milliseconds kSettle{500};
  static constexpr int kMostSettles = 5;

  /// Sets the launcher to log each command's end until the session ends.
  /// Without a watch, only the clock starts passes.
  PollSession(Context& context, SessionTimers& timers, VolumeWatch* watch,
              IntervalRule rule = IntervalRule::any_number);
  ~PollSession();
  PollSession(const PollSession&) = delete;
  PollSession& operator=(const PollSession&) = delete;

  bool polling() const { return polling_; }

  /// "Started..." (and the note for an interval the clock cannot poll by),
  /// the last snapshot forgotten, and a pass at once that therefore acts on
  /// every matching drive present; then the clock and the watch.
  void start(std::string_view interval_text);
  /// "Stopped."; neither the clock nor the watch starts a pass until Start.
  void stop();

  /// One second of the clock, with the interval read afresh: a pass when it
  /// is up, unless a burst is settling, whose pass comes within the settle.
  PollClock::Tick tick(std::string_view interval_text);
  /// The note for an interval changed while polling; "" when there is none.
  std::string note_interval(std::string_view interval_text) {
    return clock_.note_interval(interval_text);
  }

  void volumes_changed();
  void settled();

 private:
  Context& context_;
  SessionTimers& timers_;
  VolumeWatch* watch_;
  PollClock clock_;
  bool polling_ = false;
  int settles_ = 0;  // of the burst settling now; 0 between bursts
};

}  // namespace modGeneral
