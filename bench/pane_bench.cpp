// SPDX-License-Identifier: MIT
// What one action-log line costs in the window's pane and in the headless
// stream, with the log near its size cap.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <cstdio>
#include <string>

#include "cli/stream_pane.h"
#include "engine/action_log.h"
#include "ui/rich_text_pane.h"

namespace {

constexpr std::string_view kLine = "Detected USB device labeled 'PEN' on E:\\";

// Lines of the usual mix, a few thousand characters short of the cap: the
// appends then run up to the cap and the log is filled again, untimed.
std::string near_cap() {
  std::string text;
  while (text.size() < modGeneral::kLogCap - 4000) {
    text += "Detected USB device labeled 'PEN' on E:\\\r\n";
    text += "  executing script...backup E:\\\r\n";
    text += "  now ignoring the device until it's reinserted (or app is restarted)\r\n";
  }
  return text;
}

void append_near_cap(benchmark::State& state, modGeneral::TextPane& log,
                     void (*write)(modGeneral::TextPane&)) {
  const std::string start = near_cap();
  // Counted rather than measured, so that measuring adds nothing to the time.
  const std::size_t lines_to_cap = (modGeneral::kLogCap - start.size()) / (kLine.size() + 2);
  log.set_text(start);
  std::size_t lines = 0;
  for (auto _ : state) {
    write(log);
    if (++lines == lines_to_cap) {
      state.PauseTiming();
      log.set_text(start);
      lines = 0;
      state.ResumeTiming();
    }
  }
}

void append_line(modGeneral::TextPane& log) { modGeneral::log_append(log, kLine); }

// A detection's own writes: the size check, its line and the end brought
// into view.
void detection_line(modGeneral::TextPane& log) {
  modGeneral::log_size_check(log);
  modGeneral::log_append(log, kLine);
  modGeneral::log_keep_end_in_view(log);
}

// The pane as the main window shows it, on the screen.
template <void (*write)(modGeneral::TextPane&)>
void BM_WindowPane(benchmark::State& state) {
  kestrun::ui::RichTextPane pane;
  pane.resize(473, 159);
  pane.set_discard_keys(true);
  pane.show();
  append_near_cap(state, pane, write);
}
BENCHMARK(BM_WindowPane<append_line>)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_WindowPane<detection_line>)->Unit(benchmark::kMicrosecond);

template <void (*write)(modGeneral::TextPane&)>
void BM_StreamPane(benchmark::State& state) {
  std::FILE* sink = std::fopen("/dev/null", "w");
  if (sink == nullptr) {
    state.SkipWithError("cannot open /dev/null");
    return;
  }
  {
    kestrun::cli::StreamPane pane(sink);
    append_near_cap(state, pane, write);
  }
  std::fclose(sink);
}
BENCHMARK(BM_StreamPane<append_line>)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_StreamPane<detection_line>)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  // No display is needed to measure the pane, and none may be at hand.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
