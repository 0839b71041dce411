// SPDX-License-Identifier: MIT
// A Qt event loop for tests whose launches are followed on it.
#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

namespace kestrun::testing {

/// The process's QCoreApplication, made on first use.
inline QCoreApplication& event_loop() {
  static int argc = 1;
  static char name[] = "kestrun-tests";
  static char* argv[] = {name, nullptr};
  static QCoreApplication application(argc, argv);
  return application;
}

/// Runs the event loop until `done()` or `milliseconds` have passed; gives done().
template <typename Done>
bool run_events_until(Done done, int milliseconds = 10000) {
  event_loop();
  const QDeadlineTimer deadline(milliseconds);
  QEventLoop loop;
  QTimer check;
  QObject::connect(&check, &QTimer::timeout, &loop, [&] {
    if (done() || deadline.hasExpired()) loop.quit();
  });
  check.start(10);
  if (!done()) loop.exec();
  return done();
}

}  // namespace kestrun::testing
