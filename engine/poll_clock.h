// SPDX-License-Identifier: MIT
// The poll clock's tick rule, shared by the main window and the headless mode.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace modGeneral {

/// The interval text as seconds: a decimal number, spaces allowed around it.
/// std::nullopt for anything else (empty, letters, "10s", inf, nan).
std::optional<double> parse_interval(std::string_view text);

/// Seconds as the shortest decimal text without an exponent: "9", "0",
/// "9.5", "100000".
std::string countdown_text(double seconds);

/// Which intervals a clock polls by: any number, as typed into the window's
/// box, or only a positive one, as stored for a session without a box.
enum class IntervalRule { any_number, positive };

/// Counts one-second ticks and says when a pass is due. A pass is due at the
/// first tick where the count reaches the interval, so an interval lowered
/// below the ticks already counted, or a fraction, still polls.
class PollClock {
 public:
  explicit PollClock(IntervalRule rule = IntervalRule::any_number) : rule_(rule) {}

  struct Tick {
    bool run_pass = false;
    std::string countdown;  ///< seconds left, never below 0; "" for a non-number
  };

  /// Polling starts: the next pass is one interval away, and an interval
  /// that is not a number is told again.
  void reset() {
    tick_count_ = 0;
    told_.reset();
  }

  /// One tick, reading the interval text afresh.
  Tick tick(std::string_view interval_text);

  /// The action-log line for polling that starts with, or an interval that
  /// changes to, `interval_text`: for an interval the clock cannot poll by,
  /// the line that says only drive changes start a pass, once per text; ""
  /// otherwise.
  std::string note_interval(std::string_view interval_text);

 private:
  std::optional<double> usable(std::string_view interval_text) const;

  IntervalRule rule_;
  std::int32_t tick_count_ = 0;
  std::optional<std::string> told_;  // the non-number last told
};

}  // namespace modGeneral
