// One full drive listing on Linux (drive roots, then labels and types, as a
// poll pass takes them), in a steady state and just after the mount table
// changed, beside running `findmnt -J` as a subprocess. As root,
// six labelled ext4 images are loop-mounted first so the machine has 7 drives.
#include <benchmark/benchmark.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "engine/modGeneral.h"
#include "platform/drives_linux.h"

extern char** environ;

namespace {

constexpr int kExtraDrives = 6;

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

void BM_FullListing(benchmark::State& state) {
  kestrun::platform::LinuxDriveApi drives;
  std::size_t listed = 0;
  for (auto _ : state) {
    const auto roots = modGeneral::get_drive_strings(drives);
    const auto snapshot = modGeneral::get_labelled_drives(drives, roots);
    benchmark::DoNotOptimize(snapshot.data());
    listed = roots.size() / 4;
  }
  state.counters["drives"] = static_cast<double>(listed);
}
BENCHMARK(BM_FullListing)->Unit(benchmark::kMicrosecond);

// The same with the mount table read and parsed again, as after a mount or
// unmount: a new drive API has not read it yet.
void BM_FullListingAfterAChange(benchmark::State& state) {
  for (auto _ : state) {
    kestrun::platform::LinuxDriveApi drives;
    const auto roots = modGeneral::get_drive_strings(drives);
    const auto snapshot = modGeneral::get_labelled_drives(drives, roots);
    benchmark::DoNotOptimize(snapshot.data());
  }
}
BENCHMARK(BM_FullListingAfterAChange)->Unit(benchmark::kMicrosecond);

void BM_FindmntJsonSubprocess(benchmark::State& state) {
  char* argv[] = {const_cast<char*>("findmnt"), const_cast<char*>("-J"), nullptr};
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
    waitpid(pid, nullptr, 0);
  }
}
BENCHMARK(BM_FindmntJsonSubprocess)->Unit(benchmark::kMicrosecond);

// Prints how many listings cost as much as one findmnt run.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const auto& run : runs) {
      if (run.run_type == Run::RT_Iteration && run.iterations > 0 && !run.error_occurred) {
        per_run_[run.benchmark_name()] = run.GetAdjustedRealTime();
      }
    }
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    const auto findmnt = per_run_.find("BM_FindmntJsonSubprocess");
    if (findmnt == per_run_.end()) return;
    for (const auto& [name, time] : per_run_) {
      if (name != findmnt->first && time > 0) {
        std::printf("findmnt -J costs %.1f x %s\n", findmnt->second / time, name.c_str());
      }
    }
  }

 private:
  std::map<std::string, double> per_run_;
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
