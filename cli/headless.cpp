// SPDX-License-Identifier: MIT
#include "cli/headless.h"

#include <QCoreApplication>

#include "engine/action_log.h"
#include "engine/outcomes.h"
#include "platform/native.h"

namespace kestrun::cli {

Headless::Headless(Services& services, std::string interval_text, std::FILE* out, std::FILE* err)
    : interval_text_(std::move(interval_text)),
      log_(out),
      context_{services.drives, services.launcher, services.settings, log_, run_item_, {}},
      timer_(this),
      err_(err) {
  timer_.setInterval(1000);
  connect(&timer_, &QTimer::timeout, this, &Headless::tick);
  context_.launcher.on_finished(
      [this](const modGeneral::LaunchRequest& request, const modGeneral::CommandOutcome& outcome) {
        modGeneral::command_finished(context_, request, outcome);
      });
}

Headless::~Headless() { context_.launcher.on_finished({}); }

void Headless::start() {
  timer_.start();
  start_polling(context_, clock_, interval_text_);
  report_store_problem();
}

void Headless::tick() {
  if (clock_.tick(interval_text_).run_pass) poll();
}

void Headless::poll() {
  modGeneral::run_detection(context_, modGeneral::Mode::poll);
  report_store_problem();
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
  timer_.stop();
  context_.launcher.on_finished({});
  modGeneral::log_append(log_, modGeneral::kStoppedLine);
}

int run_headless(Services& services, const std::string& interval_text, bool instant, std::FILE* out,
                 std::FILE* err) {
  Headless headless(services, interval_text, out, err);
  const auto native = platform::make_native_interface();
  const auto termination = native->watch_termination_requests([&headless] {
    headless.stop();
    QCoreApplication::quit();
  });
  std::unique_ptr<QObject> mounts;
  if (instant) mounts = native->watch_mounts([&headless] { headless.poll(); });
  headless.start();
  return QCoreApplication::exec();
}

}  // namespace kestrun::cli
