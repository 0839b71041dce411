// SPDX-License-Identifier: MIT
#include "cli/headless.h"

#include <QCoreApplication>

#include "engine/action_log.h"
#include "platform/native.h"

namespace kestrun::cli {

Headless::Headless(Services& services, std::string interval_text, std::FILE* out, std::FILE* err,
                   bool mount)
    : interval_text_(std::move(interval_text)),
      stored_interval_(services.settings.read(modGeneral::kInterval)),
      log_(out),
      context_{services.drives, services.launcher, services.settings, log_, run_item_, {}},
      clock_(this),
      // The stored interval has no box to show a countdown in, and polling
      // every second by a zero is nobody's wish: it must be positive.
      driver_(context_, clock_, services.watch_volumes, modGeneral::IntervalRule::positive),
      err_(err) {
  context_.ejector = services.ejector;
  if (mount) mount_volumes_ = services.mount_volumes;
  unheard_ = services.watch_volumes && !driver_.hears_volumes();
  clock_.setInterval(1000);
  connect(&clock_, &QTimer::timeout, this, &Headless::tick);
}

Headless::~Headless() = default;

void Headless::start() {
  if (unheard_) {
    std::fputs(
        "kestrun: the system's word that drives come or go cannot be heard here; passes "
        "run at start and every poll interval only\n",
        err_);
    std::fflush(err_);
  }
  session().start(interval_text_);
  report_store_problem();
  // After "Started...", so that what it says follows.
  if (mount_volumes_) {
    mounter_ =
        mount_volumes_([this] { return context_.settings.read(modGeneral::kAdvanced); },
                       [this](const std::string& line) { modGeneral::log_append(log_, line); });
  }
}

void Headless::tick() {
  follow_stored_interval();
  session().tick(interval_text_);
}

// The store reads the file again only when it changed, so this costs two
// stat() calls a second.
void Headless::follow_stored_interval() {
  std::string stored = context_.settings.read(modGeneral::kInterval);
  report_store_problem();
  // A store that cannot be used gives the defaults, not the user's interval.
  if (context_.settings.problem() || stored == stored_interval_) return;
  stored_interval_ = stored;
  interval_text_ = std::move(stored);
  const std::string note = session().note_interval(interval_text_);
  if (!note.empty()) modGeneral::log_append(log_, note);
}

void Headless::report_store_problem() {
  const auto problem = context_.settings.problem();
  if (problem && problem.message != store_problem_) {
    std::fprintf(err_, "kestrun: %s\n", problem.message.c_str());
    std::fflush(err_);
  }
  store_problem_ = problem.message;
}

void Headless::stop() {
  context_.launcher.on_finished({});
  session().stop();
}

int run_headless(Services& services, const std::string& interval_text, std::FILE* out,
                 std::FILE* err, bool mount) {
  Headless headless(services, interval_text, out, err, mount);
  const auto termination =
      platform::make_native_interface()->watch_termination_requests([&headless] {
        headless.stop();
        QCoreApplication::quit();
      });
  headless.start();
  return QCoreApplication::exec();
}

}  // namespace kestrun::cli
