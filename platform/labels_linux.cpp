// Volume labels from the mounted filesystem, udev's records and the device itself.
#include "platform/labels_linux.h"

#include <blkid/blkid.h>
#include <dirent.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <memory>

#include "engine/text_bytes.h"

namespace kestrun::platform {

namespace {

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

struct FdCloser {
  int fd;
  ~FdCloser() {
    if (fd >= 0) close(fd);
  }
};

struct ProbeFree {
  void operator()(blkid_struct_probe* probe) const { blkid_free_probe(probe); }
};

}  // namespace

std::string decode_hex_escapes(std::string_view text) {
  std::string decoded;
  decoded.reserve(text.size());
  for (std::size_t at = 0; at < text.size(); ++at) {
    if (text[at] == '\\' && at + 3 < text.size() && text[at + 1] == 'x' &&
        hex_value(text[at + 2]) >= 0 && hex_value(text[at + 3]) >= 0) {
      decoded.push_back(static_cast<char>(hex_value(text[at + 2]) * 16 + hex_value(text[at + 3])));
      at += 3;
    } else {
      decoded.push_back(text[at]);
    }
  }
  return decoded;
}

std::string clean_label(std::string_view raw) {
  raw = raw.substr(0, raw.find('\0'));
  std::string clean;
  clean.reserve(raw.size());
  while (!raw.empty()) {
    const auto length = utf8_sequence_length(raw);
    if (length == 0) {
      clean.append("\xEF\xBF\xBD");
      raw.remove_prefix(1);
    } else {
      clean.append(raw.substr(0, length));
      raw.remove_prefix(length);
    }
  }
  return clean;
}

std::string share_label(std::string_view source) {
  while (source.size() > 1 && source.back() == '/') source.remove_suffix(1);
  const auto cut = source.find_last_of("/:");
  if (cut == std::string_view::npos) return std::string(source);
  if (cut + 1 < source.size()) return std::string(source.substr(cut + 1));
  // A whole server ("host:/" or "user@host:"): the host names it.
  auto host = source.substr(0, source.find(':'));
  host.remove_prefix(std::min(host.size(), host.find('@') + 1));
  return std::string(host);
}

std::optional<std::string> mounted_label(const std::string& mount_point, int mount_id) {
  const FdCloser folder{open(mount_point.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
  if (folder.fd < 0) return std::nullopt;
  struct statx identity {};
  if (statx(folder.fd, "", AT_EMPTY_PATH, STATX_MNT_ID, &identity) == 0 &&
      (identity.stx_mask & STATX_MNT_ID) != 0 &&
      identity.stx_mnt_id != static_cast<std::uint64_t>(mount_id)) {
    return std::nullopt;
  }
  char label[FSLABEL_MAX + 1] = {};
  if (ioctl(folder.fd, FS_IOC_GETFSLABEL, label) != 0) return std::nullopt;
  return std::string(label, strnlen(label, FSLABEL_MAX));
}

std::optional<std::string> udev_label(const std::string& udev_data, dev_t device) {
  std::ifstream record(udev_data + "/b" + std::to_string(major(device)) + ":" +
                       std::to_string(minor(device)));
  if (!record) return std::nullopt;
  constexpr std::string_view kLabel = "E:ID_FS_LABEL_ENC=";
  constexpr std::string_view kType = "E:ID_FS_TYPE=";
  bool has_filesystem = false;
  for (std::string line; std::getline(record, line);) {
    if (line.starts_with(kLabel)) return decode_hex_escapes(line.substr(kLabel.size()));
    if (line.starts_with(kType) && line.size() > kType.size()) has_filesystem = true;
  }
  if (has_filesystem) return std::string();
  return std::nullopt;
}

std::optional<std::string> by_label_link(const std::string& by_label,
                                         std::string_view kernel_name) {
  std::unique_ptr<DIR, int (*)(DIR*)> folder(opendir(by_label.c_str()), closedir);
  if (!folder || kernel_name.empty()) return std::nullopt;
  while (const dirent* entry = readdir(folder.get())) {
    char target[PATH_MAX];
    const auto length = readlinkat(dirfd(folder.get()), entry->d_name, target, sizeof target);
    if (length <= 0) continue;
    std::string_view path(target, static_cast<std::size_t>(length));
    if (path.substr(path.find_last_of('/') + 1) == kernel_name) {
      return decode_hex_escapes(entry->d_name);
    }
  }
  return std::nullopt;
}

std::optional<std::string> probed_label(const std::string& node, dev_t device) {
  const FdCloser fd{open(node.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)};
  if (fd.fd < 0) return std::nullopt;
  struct stat opened {};
  if (fstat(fd.fd, &opened) != 0 || !S_ISBLK(opened.st_mode) || opened.st_rdev != device) {
    return std::nullopt;
  }
  std::unique_ptr<blkid_struct_probe, ProbeFree> probe(blkid_new_probe());
  if (!probe || blkid_probe_set_device(probe.get(), fd.fd, 0, 0) != 0) return std::nullopt;
  blkid_probe_enable_superblocks(probe.get(), 1);
  blkid_probe_set_superblocks_flags(probe.get(), BLKID_SUBLKS_LABEL | BLKID_SUBLKS_TYPE);
  if (blkid_do_safeprobe(probe.get()) != 0) return std::nullopt;
  const char* label = nullptr;
  std::size_t size = 0;
  if (blkid_probe_lookup_value(probe.get(), "LABEL", &label, &size) != 0) return std::string();
  return std::string(label, strnlen(label, size));
}

}  // namespace kestrun::platform
