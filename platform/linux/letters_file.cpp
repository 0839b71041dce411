// SPDX-License-Identifier: MIT
// Reading, locking and replacing the letters file.
#include "platform/linux/letters_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <utility>

#include "platform/linux/user_files.h"

namespace kestrun::platform {

namespace {

// A letters file is a few lines; anything far larger is not one.
constexpr off_t kMaxSize = 1 << 20;
// Others hold the lock for well under a millisecond; one that holds it longer
// is stuck, and the letters go on without the file.
constexpr int kLockAttempts = 500;
constexpr long kLockPauseNanoseconds = 2'000'000;

std::string reason(int error) { return std::strerror(error); }

std::string folder_of(const std::string& path) { return path.substr(0, path.rfind('/')); }

// Creates `folder` and the folders above it that are missing, for this user only.
bool make_folders(const std::string& folder) {
  if (folder.empty() || mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST) return true;
  if (errno != ENOENT || !make_folders(folder_of(folder))) return false;
  return mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST;
}

// The whole of a regular file, or the reason it cannot be had.
std::optional<std::string> read_regular_file(const std::string& path, struct stat* status,
                                             std::string* why) {
  // O_NONBLOCK so that a FIFO in its place cannot hold the caller.
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) {
    *why = reason(errno);
    return std::nullopt;
  }
  std::optional<std::string> text;
  if (fstat(fd, status) != 0) {
    *why = reason(errno);
  } else if (!S_ISREG(status->st_mode)) {
    *why = "not a regular file";
  } else if (status->st_size > kMaxSize) {
    *why = "far too large";
  } else {
    text.emplace();
    char chunk[8192];
    ssize_t got = 0;
    while ((got = read(fd, chunk, sizeof chunk)) > 0) text->append(chunk, got);
    if (got < 0) {
      *why = reason(errno);
      text.reset();
    }
  }
  close(fd);
  return text;
}

}  // namespace

// The lock file beside the letters file, held while one process reads,
// assigns and writes. The letters file itself is replaced by every write, so
// it cannot carry the lock.
class LettersFile::Lock {
 public:
  explicit Lock(const std::string& path) {
    if (!make_folders(folder_of(path))) {
      problem_ = reason(errno);
      return;
    }
    fd_ = open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOCTTY, 0600);
    if (fd_ < 0) {
      problem_ = reason(errno);
      return;
    }
    for (int attempt = 0; attempt < kLockAttempts; ++attempt) {
      if (flock(fd_, LOCK_EX | LOCK_NB) == 0) {
        held_ = true;
        return;
      }
      if (errno != EWOULDBLOCK && errno != EINTR) break;
      const timespec pause{0, kLockPauseNanoseconds};
      nanosleep(&pause, nullptr);
    }
    problem_ = errno == EWOULDBLOCK ? "another process holds its lock" : reason(errno);
  }
  ~Lock() {
    if (fd_ >= 0) close(fd_);  // closing drops the lock
  }
  Lock(const Lock&) = delete;
  Lock& operator=(const Lock&) = delete;

  bool held() const { return held_; }
  const std::string& problem() const { return problem_; }

 private:
  int fd_ = -1;
  bool held_ = false;
  std::string problem_;
};

std::string default_letters_path() {
  const std::string state = xdg_folder("XDG_STATE_HOME", ".local/state");
  return state.empty() ? state : state + "/kestrun/letters";
}

LettersFile::LettersFile(std::string path) : path_(std::move(path)) {}

std::vector<std::optional<char>> LettersFile::assign(const std::vector<PresentVolume>& volumes) {
  if (path_.empty()) return assign_letters(table_, volumes);
  const Lock lock(path_);
  const auto on_disk = load();
  auto letters = assign_letters(table_, volumes);
  auto text = format_letter_table(table_);
  // A missing file need not be written for a table with nothing to remember.
  if (on_disk ? *on_disk != text : !table_.empty()) save(text, lock);
  return letters;
}

std::vector<std::string> LettersFile::take_warnings() { return std::exchange(warnings_, {}); }

bool LettersFile::same(const Stamp& stamp, const struct stat& now) {
  return stamp.device == now.st_dev && stamp.inode == now.st_ino && stamp.size == now.st_size &&
         stamp.modified.tv_sec == now.st_mtim.tv_sec &&
         stamp.modified.tv_nsec == now.st_mtim.tv_nsec;
}

// The file's text when it holds a table, which then becomes this process's;
// std::nullopt when there is no file or it had to be set aside. While there is
// none, the table this process knows stands.
std::optional<std::string> LettersFile::load() {
  struct stat status {};
  if (stat(path_.c_str(), &status) != 0) {
    // No file, or no folder for one: nothing to read, and saving says why.
    if (errno == ENOENT || errno == ENOTDIR) {
      stamp_.reset();
      return std::nullopt;
    }
  } else if (stamp_ && same(*stamp_, status)) {
    return text_;
  }
  std::string why;
  auto text = read_regular_file(path_, &status, &why);
  if (text) {
    if (auto table = parse_letter_table(*text, &why)) {
      table_ = std::move(*table);
      stamp_ = Stamp{status.st_dev, status.st_ino, status.st_size, status.st_mtim};
      text_ = *text;
      keep_off_ = false;
      return text;
    }
  }
  set_aside(why);
  return std::nullopt;
}

void LettersFile::set_aside(const std::string& why) {
  stamp_.reset();
  const auto aside = path_ + ".bad";
  if (rename(path_.c_str(), aside.c_str()) == 0) {
    keep_off_ = false;
    warn("the drive letters file '" + path_ + "' cannot be used (" + why +
         "); it was set aside as '" + aside + "' and the letters start afresh");
    return;
  }
  keep_off_ = true;
  warn("the drive letters file '" + path_ + "' cannot be used (" + why + ") nor set aside (" +
       reason(errno) + "); the drive letters hold for this run only");
}

void LettersFile::save(const std::string& text, const Lock& lock) {
  if (keep_off_) return;
  const auto fail = [&](const std::string& why) {
    warn("cannot save the drive letters in '" + path_ + "': " + why +
         "; they hold for this run only");
  };
  if (!lock.held()) return fail(lock.problem());
  struct stat status {};
  if (const auto why = replace_file(path_, text, 0600, &status); !why.empty()) return fail(why);
  stamp_ = Stamp{status.st_dev, status.st_ino, status.st_size, status.st_mtim};
  text_ = text;
}

void LettersFile::warn(std::string text) {
  if (warned_.insert(text).second) warnings_.push_back(std::move(text));
}

}  // namespace kestrun::platform
