// SPDX-License-Identifier: MIT
#include "platform/settings_file.h"

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <vector>

#include "platform/linux/fd_closer.h"

namespace kestrun::platform {
namespace {

std::int64_t nanoseconds(const timespec& time) {
  return std::int64_t{time.tv_sec} * 1000000000 + time.tv_nsec;
}

FileStamp stamp_of(const struct stat& status) {
  return {true,
          status.st_dev,
          status.st_ino,
          static_cast<std::uint64_t>(status.st_size),
          nanoseconds(status.st_mtim),
          nanoseconds(status.st_ctim),
          status.st_uid,
          status.st_gid,
          status.st_mode};
}

// A folder's times and size change whenever a file in it comes or goes (a
// lock file, another instance's save); only who may change it matters here.
FileStamp folder_stamp_of(const struct stat& status) {
  FileStamp stamp = stamp_of(status);
  stamp.size = 0;
  stamp.modified_ns = 0;
  stamp.changed_ns = 0;
  return stamp;
}

std::string folder_of(const std::string& path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

FileStamp look_at_folder(const std::string& path) {
  struct stat status {};
  if (stat(folder_of(path).c_str(), &status) != 0) return {};
  return folder_stamp_of(status);
}

bool read_all(int fd, std::string* bytes) {
  char chunk[65536];
  for (;;) {
    const ssize_t got = read(fd, chunk, sizeof chunk);
    if (got == 0) return true;
    if (got < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes->append(chunk, static_cast<std::size_t>(got));
  }
}

// getpwuid_r() or getgrgid_r() with a buffer that grows until the entry fits.
template <typename Entry, typename Id, typename Lookup>
bool look_up(Lookup lookup, Id id, Entry* entry, std::vector<char>* buffer) {
  buffer->resize(4096);
  for (;;) {
    Entry* found = nullptr;
    const int error = lookup(id, entry, buffer->data(), buffer->size(), &found);
    if (error != ERANGE || buffer->size() >= (std::size_t{1} << 24)) return error == 0 && found;
    buffer->resize(buffer->size() * 4);
  }
}

std::string group_name(std::uint32_t gid) {
  group entry{};
  std::vector<char> buffer;
  return look_up(getgrgid_r, gid, &entry, &buffer) ? entry.gr_name : std::to_string(gid);
}

// A user's private group (the one named after them, with no one else in it),
// as Debian gives every user and a umask of 002 then leaves group-writable:
// writable by that group is writable by the user alone.
bool is_private_group_of(std::uint32_t gid, std::uint32_t uid) {
  passwd user{};
  std::vector<char> user_buffer;
  if (!look_up(getpwuid_r, uid, &user, &user_buffer) || user.pw_gid != gid) return false;
  group entry{};
  std::vector<char> group_buffer;
  if (!look_up(getgrgid_r, gid, &entry, &group_buffer) ||
      std::strcmp(entry.gr_name, user.pw_name) != 0) {
    return false;
  }
  for (char** member = entry.gr_mem; *member; ++member) {
    if (std::strcmp(*member, user.pw_name) != 0) return false;
  }
  return true;
}

// What another user could do to `stamp`, as the end of a sentence about
// `what`, or "" when nothing.
std::string others_could(const FileStamp& stamp, const std::string& what, bool folder) {
  if (!stamp.exists) return {};
  const uid_t me = geteuid();
  if (stamp.owner != me && stamp.owner != 0) {
    return what + " is owned by another user (uid " + std::to_string(stamp.owner) + ")";
  }
  // In a sticky folder, such as /tmp, others cannot remove or rename what is ours.
  if (folder && (stamp.mode & S_ISVTX)) return {};
  if (stamp.mode & S_IWOTH) return what + " can be written by other users";
  if ((stamp.mode & S_IWGRP) && !is_private_group_of(stamp.group, stamp.owner)) {
    return what + " can be written by the members of group '" + group_name(stamp.group) + "'";
  }
  return {};
}

}  // namespace

SettingsFileLook look_at_settings_file(const std::string& path) {
  SettingsFileLook look;
  struct stat status {};
  if (stat(path.c_str(), &status) == 0) {
    look.file = stamp_of(status);
  } else if (errno != ENOENT) {
    look.error = errno;
  }
  look.folder = look_at_folder(path);
  return look;
}

SettingsFileContents read_settings_file(const std::string& path) {
  SettingsFileContents contents;
  // A writer that replaces the file as a whole is seen before or after; one
  // that rewrites it in place while it is read shows in its stamp, and then
  // the read starts over, a few times at most.
  for (int attempt = 0; attempt < 4; ++attempt) {
    contents = {};
    // Non-blocking: a FIFO put where the file should be must not hang the pass.
    const FdCloser file{open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK)};
    if (file.fd < 0) {
      const int open_error = errno;
      contents.look = look_at_settings_file(path);
      if (open_error == ENOENT && !contents.look.file.exists) return contents;
      if (open_error == ENOENT) continue;  // it was just put there
      contents.error = std::strerror(open_error);
      return contents;
    }
    struct stat before {};
    struct stat after {};
    if (fstat(file.fd, &before) != 0) {
      contents.error = std::strerror(errno);
      return contents;
    }
    contents.look.file = stamp_of(before);
    contents.look.folder = look_at_folder(path);
    if (S_ISDIR(before.st_mode)) {
      contents.error = std::strerror(EISDIR);
      return contents;
    }
    if (!S_ISREG(before.st_mode)) {
      contents.error = "it is not a regular file";
      return contents;
    }
    if (!read_all(file.fd, &contents.bytes)) {
      contents.error = std::strerror(errno);
      return contents;
    }
    if (fstat(file.fd, &after) == 0 && stamp_of(after) == contents.look.file) return contents;
  }
  contents.look.file.modified_ns = -1;  // matches no later look, so it is read again
  return contents;
}

std::string why_others_could_change(const std::string& path, const SettingsFileLook& look) {
  if (auto reason = others_could(look.file, "the file", false); !reason.empty()) return reason;
  return others_could(look.folder, "its folder '" + folder_of(path) + "'", true);
}

std::string make_private_folders(const std::string& folder) {
  struct stat status {};
  if (stat(folder.c_str(), &status) == 0) return {};
  for (std::size_t end = folder.find('/', 1);; end = folder.find('/', end + 1)) {
    const std::string part = folder.substr(0, end);
    if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return std::strerror(errno);
    if (end == std::string::npos) return {};
  }
}

std::int64_t file_clock_now_ns() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  return nanoseconds(now);
}

}  // namespace kestrun::platform
