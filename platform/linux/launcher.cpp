// SPDX-License-Identifier: MIT
// Launching with fork and execve rather than QProcess: QProcess carries the
// environment and the arguments as QString, so a mount path that is not valid
// UTF-8 would reach the command with U+FFFD in place of its bytes, naming a
// folder that does not exist. Everything the child needs is built before the
// fork; the child makes only async-signal-safe calls.
#include "platform/linux/launcher.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <linux/close_range.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QProcess>
#include <QString>
#include <QStringList>
#include <array>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "platform/linux/qstring_bytes.h"

extern char** environ;

namespace kestrun::platform {

namespace {

bool is_folder(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string working_folder() {
  const char* home = std::getenv("HOME");
  return home && *home && is_folder(home) ? std::string(home) : std::string("/");
}

std::string current_folder() {
  std::array<char, PATH_MAX> folder{};
  return getcwd(folder.data(), folder.size()) ? std::string(folder.data()) : std::string("/");
}

// The file to run for `name`, searched the way execvp searches PATH: a name
// with a slash is used as it is; otherwise the first executable regular file
// in a PATH folder. When there is none: EACCES if one was found that cannot
// run, else ENOENT. Unlike execvp, a PATH folder the user cannot enter does
// not turn "No such file or directory" into "Permission denied", and a file
// without "#!" is never handed to a shell.
std::string find_program(const std::string& name, int* failure) {
  if (name.find('/') != std::string::npos) return name;
  const char* path = std::getenv("PATH");
  const std::string_view folders = path ? path : "/bin:/usr/bin";
  bool refused = false;
  std::size_t from = 0;
  while (from <= folders.size()) {
    auto end = folders.find(':', from);
    if (end == std::string_view::npos) end = folders.size();
    std::string folder(folders.substr(from, end - from));
    from = end + 1;
    if (folder.empty()) folder = ".";
    // The child changes folder before exec, so a relative PATH entry is
    // resolved here against Kestrun's own.
    if (folder.front() != '/') folder = current_folder() + "/" + folder;
    const std::string candidate = folder + "/" + name;
    struct stat info {};
    if (stat(candidate.c_str(), &info) != 0) continue;
    if (S_ISREG(info.st_mode) && access(candidate.c_str(), X_OK) == 0) return candidate;
    refused = true;
  }
  *failure = refused ? EACCES : ENOENT;
  return {};
}

// What the child's execve would make of `name`: relative names are taken
// from the working folder, since the child changes to it first.
std::string program_problem(const std::string& name) {
  int failure = 0;
  std::string program = find_program(name, &failure);
  if (program.empty()) {
    return std::strerror(failure) +
           std::string(failure == ENOENT ? " (not found on PATH)" : " (not executable)");
  }
  if (program.front() != '/') program = working_folder() + "/" + program;
  struct stat info {};
  if (stat(program.c_str(), &info) != 0) return std::strerror(errno);
  if (!S_ISREG(info.st_mode) || access(program.c_str(), X_OK) != 0) {
    return std::strerror(EACCES) + std::string(" (not an executable file)");
  }
  return {};
}

bool is_kestrun_variable(std::string_view entry) {
  for (const auto& variable : modGeneral::kDriveVariables) {
    if (entry.starts_with(variable.name) && entry.substr(variable.name.size()).starts_with('=')) {
      return true;
    }
  }
  return false;
}

std::vector<std::string> environment_for(const modGeneral::LaunchRequest& request) {
  std::vector<std::string> entries;
  for (char** entry = environ; entry && *entry; ++entry) {
    if (!is_kestrun_variable(*entry)) entries.emplace_back(*entry);
  }
  for (const auto& variable : modGeneral::kDriveVariables) {
    entries.push_back(std::string(variable.name) + "=" + request.*variable.field);
  }
  return entries;
}

std::vector<char*> pointers_to(std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  pointers.reserve(texts.size() + 1);
  for (auto& text : texts) pointers.push_back(text.data());
  pointers.push_back(nullptr);
  return pointers;
}

[[noreturn]] void report_and_exit(int pipe_end, int failure) {
  // Nothing more can be done if the report cannot be written: the parent then
  // sees an empty pipe and takes the start as successful.
  [[maybe_unused]] const auto written = write(pipe_end, &failure, sizeof failure);
  _exit(127);
}

struct Start {
  const char* program;
  char* const* argv;
  char* const* envp;
  const char* folder;
  int input;   // /dev/null
  int report;  // write end of the close-on-exec pipe
};

// Marks every descriptor from 3 up close-on-exec, so the program gets none
// that Kestrun inherited or opened without the flag; the report pipe stays
// open until the exec. close_range fails on kernels before 5.11 and under
// some seccomp profiles, so then each open descriptor is found in
// /proc/self/fd with plain system calls, as nothing else is safe here.
void close_on_exec_from_3() {
  if (close_range(3, ~0U, CLOSE_RANGE_CLOEXEC) == 0) return;
  const int folder = open("/proc/self/fd", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder < 0) return;
  alignas(dirent64) char buffer[4096];
  ssize_t got = 0;
  while ((got = getdents64(folder, buffer, sizeof buffer)) > 0) {
    for (ssize_t at = 0; at < got;) {
      const auto* entry = reinterpret_cast<const dirent64*>(buffer + at);
      at += entry->d_reclen;
      int fd = 0;
      bool number = entry->d_name[0] != '\0';
      for (const char* c = entry->d_name; *c && number; ++c) {
        number = *c >= '0' && *c <= '9' && fd < 100000000;
        fd = fd * 10 + (*c - '0');
      }
      if (number && fd >= 3) fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
  }
  close(folder);
}

// The child: becomes the program. Async-signal-safe calls only.
[[noreturn]] void become_program(const Start& start) {
  // A session of its own: the terminal's Ctrl+C and hangup are not its.
  setsid();
  if (dup2(start.input, STDIN_FILENO) < 0) report_and_exit(start.report, errno);
  if (chdir(start.folder) != 0 && chdir("/") != 0) report_and_exit(start.report, errno);
  // Every disposition back to the default, including those Kestrun inherited
  // as ignored: an ignored SIGCHLD breaks waitpid in the user's scripts, and
  // an ignored SIGHUP or SIGINT would make a command unstoppable.
  for (int signal_number = 1; signal_number < NSIG; ++signal_number) {
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigaction(signal_number, &action, nullptr);
  }
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
  close_on_exec_from_3();
  execve(start.program, start.argv, start.envp);
  report_and_exit(start.report, errno);
}

// Forks the child with every signal blocked, so that none runs Kestrun's
// handler in the copy before the dispositions are reset. Returns its pid, or
// -1 with errno set.
pid_t start_child(const Start& start) {
  sigset_t all;
  sigfillset(&all);
  sigset_t saved;
  pthread_sigmask(SIG_SETMASK, &all, &saved);
  const pid_t child = fork();
  if (child == 0) become_program(start);
  const int fork_failure = errno;
  pthread_sigmask(SIG_SETMASK, &saved, nullptr);
  errno = fork_failure;
  return child;
}

}  // namespace

std::vector<std::string> split_command(std::string_view command) {
  std::vector<std::string> words;
  for (const QString& word : QProcess::splitCommand(decode_keeping_bytes(command))) {
    words.push_back(encode_keeping_bytes(word));
  }
  return words;
}

LinuxLauncher::LinuxLauncher(ProcessWatch::Method method) : children_(method) {}

bool LinuxLauncher::launch(const modGeneral::LaunchRequest& request, std::string* error) {
  const auto fail = [error](int failure) {
    if (error) *error = std::strerror(failure);
    return false;
  };
  std::vector<std::string> words = split_command(request.command);
  if (words.empty()) return fail(ENOENT);
  int lookup_failure = 0;
  const std::string program = find_program(words.front(), &lookup_failure);
  if (program.empty()) return fail(lookup_failure);

  std::vector<std::string> environment = environment_for(request);
  const std::vector<char*> argv = pointers_to(words);
  const std::vector<char*> envp = pointers_to(environment);
  const std::string folder = working_folder();

  const int input = open("/dev/null", O_RDONLY | O_CLOEXEC);
  if (input < 0) return fail(errno);
  int report[2];
  if (pipe2(report, O_CLOEXEC) != 0) {
    const int failure = errno;
    close(input);
    return fail(failure);
  }
  const Start start{program.c_str(), argv.data(), envp.data(), folder.c_str(), input, report[1]};
  const auto started = ProcessWatch::Clock::now();
  const pid_t child = start_child(start);
  int failure = child < 0 ? errno : 0;
  close(report[1]);
  close(input);
  if (child > 0) {
    // Empty when the exec closed the pipe; an errno when it never happened.
    int reported = 0;
    ssize_t got = 0;
    while ((got = read(report[0], &reported, sizeof reported)) < 0 && errno == EINTR) {
    }
    if (got == static_cast<ssize_t>(sizeof reported)) failure = reported;
  }
  close(report[0]);
  if (failure != 0) {
    // The child is exiting already; take its status so no zombie is left.
    if (child > 0) {
      while (waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
      }
    }
    return fail(failure);
  }
  children_.follow(child, request, started);
  return true;
}

void LinuxLauncher::on_finished(Finished finished) { children_.set_finished(std::move(finished)); }

std::vector<std::string> LinuxLauncher::words(std::string_view command) const {
  return split_command(command);
}

std::string LinuxLauncher::start_problem(std::string_view command) const {
  const auto words = split_command(command);
  return words.empty() ? std::strerror(ENOENT) : program_problem(words.front());
}

}  // namespace kestrun::platform
