#include "cli/headless.h"

#include <QCoreApplication>

#include "platform/process_events.h"

namespace kestrun::cli {

Headless::Headless(Services& services, std::string interval_text, std::FILE* out)
    : interval_text_(std::move(interval_text)),
      log_(out),
      context_{services.drives, services.launcher, services.settings, log_, run_item_, {}} {
  timer_.setInterval(1000);
  connect(&timer_, &QTimer::timeout, this, &Headless::tick);
  context_.launcher.on_finished(
      [this](const modGeneral::LaunchRequest& request, const modGeneral::CommandOutcome& outcome) {
        modGeneral::command_finished(context_, request, outcome);
      });
}

Headless::~Headless() { context_.launcher.on_finished({}); }

void Headless::start() {
  clock_.reset();
  modGeneral::log_replace(log_, modGeneral::kStartedLine);
  context_.last_drive_snapshot.clear();
  timer_.start();
  poll();
}

void Headless::tick() {
  if (clock_.tick(interval_text_).run_pass) poll();
}

void Headless::poll() { modGeneral::run_detection(context_, modGeneral::Mode::poll); }

void Headless::stop() {
  timer_.stop();
  context_.launcher.on_finished({});
  modGeneral::log_append(log_, modGeneral::kStoppedLine);
}

int run_headless(Services& services, const std::string& interval_text, bool instant,
                 std::FILE* out) {
  Headless headless(services, interval_text, out);
  const auto termination = platform::watch_termination_requests([&headless] {
    headless.stop();
    QCoreApplication::quit();
  });
  std::unique_ptr<QObject> mounts;
  if (instant) mounts = platform::watch_mounts([&headless] { headless.poll(); });
  headless.start();
  return QCoreApplication::exec();
}

}  // namespace kestrun::cli
