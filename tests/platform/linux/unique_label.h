// SPDX-License-Identifier: MIT
// Volume labels for real-mount tests that no other drive on the machine
// carries: a stick someone left plugged in, or another test's mount, must not
// answer for the test's own volume.
#pragma once

#include <random>
#include <string>

namespace kestrun::testing {

/// Five letters and digits drawn once per test run.
inline const std::string& run_suffix() {
  static const std::string suffix = [] {
    constexpr char kSymbols[] = "ABCDEFGHJKLMNPQRSTUVWXYZ23456789";
    std::random_device random;
    std::string text;
    for (int i = 0; i < 5; ++i) text.push_back(kSymbols[random() % (sizeof kSymbols - 1)]);
    return text;
  }();
  return suffix;
}

/// `prefix` followed by this run's suffix: 5 bytes more than `prefix`.
inline std::string unique_label(const std::string& prefix) { return prefix + run_suffix(); }

}  // namespace kestrun::testing
