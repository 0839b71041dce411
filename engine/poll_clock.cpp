// SPDX-License-Identifier: MIT
#include "engine/poll_clock.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "engine/text_bytes.h"

namespace modGeneral {

std::optional<double> parse_interval(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return std::nullopt;
  text = text.substr(first, text.find_last_not_of(" \t") - first + 1);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);

  double value = 0;
  const auto [end, error] =
      std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed);
  if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) {
    return std::nullopt;
  }
  return value;
}

std::string countdown_text(double seconds) {
  if (seconds == 0) seconds = 0;  // no "-0"
  // Room for the largest double written out in full.
  char buffer[400];
  const auto [end, error] =
      std::to_chars(buffer, buffer + sizeof buffer, seconds, std::chars_format::fixed);
  if (error != std::errc()) return {};
  return std::string(buffer, end);
}

std::optional<double> PollClock::usable(std::string_view interval_text) const {
  const auto interval = parse_interval(interval_text);
  if (rule_ == IntervalRule::positive && interval && *interval <= 0) return std::nullopt;
  return interval;
}

PollClock::Tick PollClock::tick(std::string_view interval_text) {
  if (tick_count_ < std::numeric_limits<std::int32_t>::max()) ++tick_count_;
  Tick tick;
  const auto interval = usable(interval_text);
  if (!interval) return tick;

  const double left = *interval - tick_count_;
  tick.countdown = countdown_text(left > 0 ? left : 0);
  if (tick_count_ >= *interval) {
    tick.run_pass = true;
    tick_count_ = 0;
  }
  return tick;
}

std::string PollClock::note_interval(std::string_view interval_text) {
  if (usable(interval_text)) {
    told_.reset();
    return {};
  }
  if (told_ == interval_text) return {};
  told_ = std::string(interval_text);
  const char* what = parse_interval(interval_text) ? "positive number" : "number";
  return "Interval '" + escape_for_terminal(interval_text) + "' is not a " + what +
         ": only drives that come or go start a pass until it is a positive number of seconds";
}

}  // namespace modGeneral
