// SPDX-License-Identifier: MIT
// One full drive listing on Linux (drive roots, then labels and types, as a
// poll pass takes them), in a steady state and just after the mount table
// changed, beside running `findmnt -J` as a subprocess. As root,
// six labelled ext4 images are loop-mounted first so the machine has 7 drives.
// The letters file lives in a temporary folder. Each benchmark runs
// kRepetitions times; the findmnt ratio is the median of the repetitions'
// ratios, in CPU time with findmnt's own CPU counted.
#include <benchmark/benchmark.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "engine/drives.h"
#include "platform/linux/drives.h"

extern char** environ;

namespace {

constexpr int kExtraDrives = 6;
constexpr int kRepetitions = 7;

bool shell(const std::string& command) { return std::system(command.c_str()) == 0; }

// Loop-mounted images that live as long as the benchmark run.
class ExtraDrives {
 public:
  ExtraDrives() {
    if (geteuid() != 0) return;
    std::string pattern =
        (std::filesystem::temp_directory_path() / "kestrun-bench-XXXXXX").string();
    if (!mkdtemp(pattern.data())) return;
    folder_ = pattern;
    for (int i = 0; i < kExtraDrives; ++i) {
      const auto image = folder_ + "/image" + std::to_string(i);
      const auto mount_point = folder_ + "/drive" + std::to_string(i);
      std::filesystem::create_directory(mount_point);
      if (!shell("truncate -s 16M '" + image + "' && mkfs.ext4 -q -L 'BENCH " + std::to_string(i) +
                 "' '" + image + "' && mount -o loop '" + image + "' '" + mount_point + "'")) {
        break;
      }
      mounted_.push_back(mount_point);
    }
  }
  ~ExtraDrives() {
    // Unmounting a mount made with -o loop also detaches its loop device.
    for (const auto& mount_point : mounted_) shell("umount '" + mount_point + "'");
    if (!folder_.empty()) std::filesystem::remove_all(folder_);
  }

 private:
  std::string folder_;
  std::vector<std::string> mounted_;
};

// A folder of its own for the letters file, so the user's letters stay as they are.
class StateFolder {
 public:
  StateFolder() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "kestrun-bench-state-XXXXXX").string();
    if (mkdtemp(pattern.data())) folder_ = pattern;
  }
  ~StateFolder() {
    if (!folder_.empty()) std::filesystem::remove_all(folder_);
  }
  std::string letters() const { return folder_ + "/kestrun/letters"; }

 private:
  std::string folder_;
};

const StateFolder& state_folder() {
  static const StateFolder folder;
  return folder;
}

kestrun::platform::LinuxSources sources() {
  kestrun::platform::LinuxSources sources;
  sources.letters_file = state_folder().letters();
  return sources;
}

void list_once(kestrun::platform::LinuxDriveApi& drives, std::size_t* listed) {
  const auto roots = modGeneral::get_drive_strings(drives);
  const auto snapshot = modGeneral::get_labelled_drives(drives, roots);
  benchmark::DoNotOptimize(snapshot.data());
  *listed = roots.size() / 4;
}

// With the mount table unchanged, a listing never opens the letters file.
void BM_FullListing(benchmark::State& state) {
  kestrun::platform::LinuxDriveApi drives(sources());
  std::size_t listed = 0;
  for (auto _ : state) list_once(drives, &listed);
  state.counters["drives"] = static_cast<double>(listed);
}
BENCHMARK(BM_FullListing)->Unit(benchmark::kMicrosecond)->Repetitions(kRepetitions);

// The same with the mount table read and parsed again, as after a mount or
// unmount: a new drive API has not read it yet. It works out the identities,
// locks and reads the letters file, which already holds these drives (another
// process was first, or the change was not one of the drives').
void BM_FullListingAfterAChange(benchmark::State& state) {
  std::size_t listed = 0;
  for (auto _ : state) {
    kestrun::platform::LinuxDriveApi drives(sources());
    list_once(drives, &listed);
  }
  state.counters["drives"] = static_cast<double>(listed);
}
BENCHMARK(BM_FullListingAfterAChange)->Unit(benchmark::kMicrosecond)->Repetitions(kRepetitions);

// As above, but the letters file says one more volume was mounted at the last
// look, so each listing also rewrites it, as when a drive has come or gone.
void BM_FullListingAfterADriveWent(benchmark::State& state) {
  std::size_t listed = 0;
  std::string before_the_change;
  {
    kestrun::platform::LinuxDriveApi drives(sources());
    list_once(drives, &listed);
    std::ifstream file(state_folder().letters());
    std::getline(file, before_the_change, '\0');
    before_the_change += "Z mounted uuid:gone /media/gone\n";
  }
  for (auto _ : state) {
    state.PauseTiming();
    std::ofstream(state_folder().letters(), std::ios::trunc) << before_the_change;
    state.ResumeTiming();
    kestrun::platform::LinuxDriveApi drives(sources());
    list_once(drives, &listed);
  }
  state.counters["drives"] = static_cast<double>(listed);
}
BENCHMARK(BM_FullListingAfterADriveWent)->Unit(benchmark::kMicrosecond)->Repetitions(kRepetitions);

double cpu_microseconds(const rusage& usage) {
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e6 +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
}

// The parent's CPU is what the benchmark measures; findmnt's own is added as
// the counter child_cpu_us.
void BM_FindmntJsonSubprocess(benchmark::State& state) {
  char* argv[] = {const_cast<char*>("findmnt"), const_cast<char*>("-J"), nullptr};
  double child_cpu = 0;
  for (auto _ : state) {
    int pipe_ends[2];
    if (pipe(pipe_ends) != 0) {
      state.SkipWithError("pipe failed");
      break;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipe_ends[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipe_ends[0]);
    pid_t pid = 0;
    const int failed = posix_spawnp(&pid, "findmnt", &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipe_ends[1]);
    char chunk[16384];
    while (read(pipe_ends[0], chunk, sizeof chunk) > 0) {
    }
    close(pipe_ends[0]);
    if (failed != 0) {
      state.SkipWithError("findmnt cannot be started");
      break;
    }
    rusage usage{};
    wait4(pid, nullptr, 0, &usage);
    child_cpu += cpu_microseconds(usage);
  }
  state.counters["child_cpu_us"] =
      benchmark::Counter(child_cpu, benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_FindmntJsonSubprocess)->Unit(benchmark::kMicrosecond)->Repetitions(kRepetitions);

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const auto middle = values.size() / 2;
  return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// Prints how many listings cost as much as one findmnt run: for each
// repetition, findmnt's CPU (its own and the parent's) over the listing's,
// and the median of those ratios, which load on the machine moves least.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const auto& run : runs) {
      if (run.run_type != Run::RT_Iteration || run.iterations == 0 || run.error_occurred) continue;
      double cost = run.GetAdjustedCPUTime();
      if (const auto child = run.counters.find("child_cpu_us"); child != run.counters.end()) {
        cost += child->second.value;
      }
      costs_[run.run_name.function_name].push_back(cost);
    }
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    const auto findmnt = costs_.find("BM_FindmntJsonSubprocess");
    if (findmnt == costs_.end()) return;
    for (const auto& [name, costs] : costs_) {
      if (name == findmnt->first) continue;
      std::vector<double> ratios;
      for (std::size_t i = 0; i < std::min(costs.size(), findmnt->second.size()); ++i) {
        if (costs[i] > 0) ratios.push_back(findmnt->second[i] / costs[i]);
      }
      if (ratios.empty()) continue;
      std::printf("findmnt -J costs %.1f x %s (median of %zu repetitions, CPU time)\n",
                  median(ratios), name.c_str(), ratios.size());
    }
  }

 private:
  std::map<std::string, std::vector<double>> costs_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  const ExtraDrives extra;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
