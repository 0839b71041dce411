// SPDX-License-Identifier: MIT
#include "engine/poll_session.h"

#include "engine/action_log.h"
#include "engine/outcomes.h"

namespace modGeneral {

PollSession::PollSession(Context& context, SessionTimers& timers, VolumeWatch* watch,
                         IntervalRule rule)
    : context_(context), timers_(timers), watch_(watch), clock_(rule) {
  if (watch_) watch_->hold();
  context_.launcher.on_finished(
      [this](const LaunchRequest& request, const CommandOutcome& outcome) {
        command_finished(context_, request, outcome);
      });
}

PollSession::~PollSession() { context_.launcher.on_finished({}); }

void PollSession::start(std::string_view interval_text) {
  polling_ = true;
  settles_ = 0;
  timers_.stop_settle();
  timers_.start_ticking();
  clock_.reset();
  log_replace(context_.action_log, kStartedLine);
  const std::string note = clock_.note_interval(interval_text);
  if (!note.empty()) log_append(context_.action_log, note);
  context_.last_drive_snapshot.clear();
  // What came before this pass, the pass sees; what comes during it makes another.
  if (watch_) watch_->changed();
  run_detection(context_, Mode::poll);
  if (watch_) watch_->release();
}

void PollSession::stop() {
  polling_ = false;
  settles_ = 0;
  timers_.stop_ticking();
  timers_.stop_settle();
  if (watch_) watch_->hold();
  log_append(context_.action_log, kStoppedLine);
}

PollClock::Tick PollSession::tick(std::string_view interval_text) {
  const PollClock::Tick tick = clock_.tick(interval_text);
  if (tick.run_pass && settles_ == 0) run_detection(context_, Mode::poll);
  return tick;
}

// The watch is held while a burst settles, so a storm of mounts costs a
// wake-up per settle rather than one per mount.
void PollSession::volumes_changed() {
  if (!polling_ || settles_ > 0 || !watch_) return;
  watch_->hold();
  settles_ = 1;
  timers_.start_settle(kSettle);
}

void PollSession::settled() {
  if (!polling_ || settles_ == 0) return;
  // Asking forgets: the pass below sees whatever came before it.
  if (watch_->changed() && settles_ < kMostSettles) {
    ++settles_;
    timers_.start_settle(kSettle);
    return;
  }
  settles_ = 0;
  run_detection(context_, Mode::poll);
  watch_->release();
}

}  // namespace modGeneral
