// SPDX-License-Identifier: MIT
// What polling costs while nothing happens: a poll pass over the real drives
// and the real settings file, neither of which changed, beside the drive
// listing alone that every pass must make.
#include <benchmark/benchmark.h>

#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <map>
#include <string>

#include "engine/detection.h"
#include "engine/drives.h"
#include "platform/linux/drives.h"
#include "settings/qt_settings_store.h"
#include "tests/fakes/fake_machine.h"

namespace {

// The user's own settings, found as the program finds them, with a few
// entries, none of which match.
class SettingsFile {
 public:
  SettingsFile() {
    qputenv("XDG_CONFIG_HOME", folder_.path().toUtf8());
    std::string script = "ignore:q:\\\r\n";
    for (int i = 0; i < 10; ++i) {
      script += "label:Idle bench " + std::to_string(i) + "\r\nexec:/bin/true \"%1\"\r\n";
    }
    store_.write(modGeneral::kAdvanced, script, nullptr);
    store_.write(modGeneral::kInterval, "1", nullptr);
    // A file saved a moment ago is read again until its time has settled;
    // the idle case is one saved long before.
    QFile file(store_.location("Kestrun"));
    file.open(QIODevice::ReadWrite);
    file.setFileTime(QDateTime::currentDateTime().addSecs(-60), QFileDevice::FileModificationTime);
  }
  kestrun::QtSettingsStore& store() { return store_; }

 private:
  QTemporaryDir folder_;
  kestrun::QtSettingsStore store_;
};

void BM_DriveListing(benchmark::State& state) {
  kestrun::platform::LinuxDriveApi drives;
  for (auto _ : state) {
    const auto roots = modGeneral::get_drive_strings(drives);
    benchmark::DoNotOptimize(modGeneral::get_labelled_drives(drives, roots));
  }
}
BENCHMARK(BM_DriveListing)->Unit(benchmark::kMicrosecond);

void BM_StoredScriptRead(benchmark::State& state) {
  SettingsFile settings;
  for (auto _ : state) benchmark::DoNotOptimize(settings.store().read(modGeneral::kAdvanced));
}
BENCHMARK(BM_StoredScriptRead)->Unit(benchmark::kMicrosecond);

void BM_IdlePollPass(benchmark::State& state) {
  SettingsFile settings;
  kestrun::platform::LinuxDriveApi drives;
  kestrun::testing::FakeLauncher launcher;
  kestrun::testing::MemoryPane log;
  kestrun::testing::RecordingRunItem run_item;
  modGeneral::Context context{drives, launcher, settings.store(), log, run_item, {}};
  modGeneral::run_detection(context, modGeneral::Mode::poll);
  for (auto _ : state) {
    benchmark::DoNotOptimize(modGeneral::run_detection(context, modGeneral::Mode::poll));
  }
}
BENCHMARK(BM_IdlePollPass)->Unit(benchmark::kMicrosecond);

// Prints what an idle pass adds to the listing it cannot avoid.
class OverheadReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const auto& run : runs) {
      // The median of repetitions when there are some, else the one run.
      const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
      if ((median || (run.run_type == Run::RT_Iteration && run.iterations > 0)) &&
          !run.error_occurred) {
        cpu_us_[run.run_name.function_name] = run.GetAdjustedCPUTime();
      }
    }
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    if (cpu_us_.count("BM_IdlePollPass") && cpu_us_.count("BM_DriveListing")) {
      std::printf("an idle poll pass costs %.1f us of CPU more than the drive listing\n",
                  cpu_us_["BM_IdlePollPass"] - cpu_us_["BM_DriveListing"]);
    }
  }

 private:
  std::map<std::string, double> cpu_us_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  OverheadReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
