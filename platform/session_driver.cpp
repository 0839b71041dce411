// SPDX-License-Identifier: MIT
#include "platform/session_driver.h"

namespace kestrun::platform {

namespace {

std::unique_ptr<modGeneral::VolumeWatch> make_watch(const VolumeWatchMaker& watch_volumes,
                                                    std::function<void()> changed) {
  if (!watch_volumes) return nullptr;
  return watch_volumes(std::move(changed));
}

}  // namespace

SessionDriver::SessionDriver(modGeneral::Context& context, QTimer& tick,
                             const VolumeWatchMaker& watch_volumes, modGeneral::IntervalRule rule,
                             QObject* parent)
    : QObject(parent),
      tick_(tick),
      settle_(this),
      watch_(make_watch(watch_volumes, [this] { session_.volumes_changed(); })),
      session_(context, *this, watch_.get(), rule) {
  settle_.setSingleShot(true);
  // The settle is part of every arrival's wait: a coarse timer would add up
  // to a twentieth of it.
  settle_.setTimerType(Qt::PreciseTimer);
  connect(&settle_, &QTimer::timeout, this, [this] { session_.settled(); });
}

SessionDriver::~SessionDriver() = default;

}  // namespace kestrun::platform
