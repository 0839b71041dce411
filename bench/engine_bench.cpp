// SPDX-License-Identifier: MIT
// The engine's costs: an unchanged poll pass, validating long scripts, and an
// append to a log at its size cap.
#include <benchmark/benchmark.h>

#include <string>

#include "engine/action_log.h"
#include "engine/detection.h"
#include "engine/drive_records.h"
#include "tests/fakes/fake_machine.h"

namespace {

using kestrun::testing::FakeWorld;

std::string script_of(int entries) {
  std::string script = "ignore:q:\\,r:\\\r\n";
  for (int i = 0; i < entries; ++i) {
    const auto n = std::to_string(i);
    script += "label:Stick " + n + "\r\nexec:/usr/bin/backup \"%1\" \"%2\" " + n + "\r\n";
    if (i % 3 == 0) script += "menurun:/usr/bin/open \"%1\"\r\n";
  }
  return script;
}

// Counts only the engine: the fake's own listing and label work is measured
// separately below and subtracted when reading the figures.
void BM_PollPassUnchanged(benchmark::State& state) {
  FakeWorld world;
  for (char letter = 'C'; letter < 'C' + 10; ++letter) {
    world.machine.plug(std::string(1, letter) + ":\\", "Drive " + std::string(1, letter),
                       letter == 'C' ? modGeneral::kDriveFixed : modGeneral::kDriveRemovable);
  }
  world.store_script(script_of(20));
  modGeneral::run_detection(world.context, modGeneral::Mode::poll);
  for (auto _ : state) {
    benchmark::DoNotOptimize(modGeneral::run_detection(world.context, modGeneral::Mode::poll));
  }
}
BENCHMARK(BM_PollPassUnchanged);

void BM_FakeDriveApiCallsOfOnePass(benchmark::State& state) {
  kestrun::testing::FakeMachine machine;
  for (char letter = 'C'; letter < 'C' + 10; ++letter) {
    machine.plug(std::string(1, letter) + ":\\", "Drive " + std::string(1, letter));
  }
  for (auto _ : state) {
    std::string buffer(machine.logical_drive_strings(0, nullptr), '\0');
    machine.logical_drive_strings(buffer.size(), buffer.data());
    for (const auto record : modGeneral::RootRecords(buffer)) {
      benchmark::DoNotOptimize(machine.volume_label(record.root()));
      benchmark::DoNotOptimize(machine.drive_type(record.root()));
    }
  }
}
BENCHMARK(BM_FakeDriveApiCallsOfOnePass);

void BM_Validate(benchmark::State& state) {
  FakeWorld world;
  const auto script = script_of(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        modGeneral::run_detection(world.context, modGeneral::Mode::validate, script));
  }
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_Validate)
    ->Arg(10000)
    ->Arg(20000)
    ->Arg(40000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

void BM_AppendAtCap(benchmark::State& state) {
  kestrun::testing::MemoryPane log;
  std::string full;
  while (full.size() < modGeneral::kLogCap) full += "  executing script...x\r\n";
  full.resize(modGeneral::kLogCap);
  for (auto _ : state) {
    state.PauseTiming();
    log.set_text(full);
    state.ResumeTiming();
    modGeneral::log_size_check(log);
    modGeneral::log_append(log, "Detected USB device labeled 'PEN' on E:\\");
    modGeneral::log_keep_end_in_view(log);
  }
}
BENCHMARK(BM_AppendAtCap);

}  // namespace

BENCHMARK_MAIN();
