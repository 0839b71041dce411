// SPDX-License-Identifier: MIT
// Drive enumeration: the drive root list, labels, the snapshot and the editor's rows.
// Every call asks the platform afresh; nothing is cached.
#include <algorithm>
#include <string>
#include <string_view>

#include "engine/modGeneral.h"

namespace modGeneral {

namespace {

constexpr std::size_t kRecordSize = 4;
constexpr std::size_t kRootSize = 3;
bool is_blank(std::string_view text) {
  return text.find_first_not_of(' ') == std::string_view::npos;
}

std::string upper_root(std::string_view root) {
  std::string upper(root);
  for (auto& c : upper) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return upper;
}

// Calls `visit` with each root of a drive root list, stopping at the first
// record that starts with a NUL or at the end of the text.
template <typename Visit>
void for_each_root(std::string_view roots, Visit visit) {
  for (std::size_t at = 0; at < roots.size() && roots[at] != '\0'; at += kRecordSize) {
    visit(roots.substr(at, kRootSize));
  }
}

}  // namespace

std::string_view drive_type_name(DriveType type) {
  switch (type) {
    case kDriveNoRootDir:
      return "no root";
    case kDriveRemovable:
      return "removable";
    case kDriveFixed:
      return "fixed";
    case kDriveRemote:
      return "remote";
    case kDriveCdrom:
      return "optical";
    case kDriveRamdisk:
      return "ramdisk";
    default:
      return "unknown";
  }
}

std::string get_drive_strings(DriveApi& drives) {
  // A drive that arrives between the sizing call and the real call makes the
  // buffer too small; ask again rather than report "no drives" for one pass,
  // which would rerun every entry on the pass after.
  std::size_t needed = drives.logical_drive_strings(0, nullptr);
  for (int attempt = 0; attempt < 4 && needed > 0; ++attempt) {
    std::string buffer(needed, '\0');
    const auto written = drives.logical_drive_strings(buffer.size(), buffer.data());
    if (written == 0) return {};
    if (written < buffer.size()) return buffer;
    needed = written;
  }
  return {};
}

std::string get_volume_info(DriveApi& drives, std::string_view root) {
  const auto read = drives.volume_label(root);
  if (!read) return std::string(kBlankLabel);
  std::string label = read->substr(0, read->find('\0'));
  if (is_blank(label)) return std::string(kNoLabel);
  return label;
}

std::string get_labelled_drives(DriveApi& drives, std::string_view roots) {
  std::string snapshot;
  for_each_root(roots, [&](std::string_view root) {
    // The volume is read before the type is asked, for every root.
    const auto label = get_volume_info(drives, root);
    if (is_blank(label)) return;
    const auto type = drives.drive_type(root);
    if (type != kDriveRemovable && type != kDriveFixed) return;
    snapshot.append(upper_root(root)).append(" ").append(label).push_back('\0');
  });
  return snapshot;
}

void fill_drive_list(DriveApi& drives, std::string_view roots, DriveList& list) {
  list.clear();
  for_each_root(roots, [&](std::string_view root) {
    const auto label = get_volume_info(drives, root);
    if (is_blank(label) || label == kNoLabel) return;
    const auto upper = upper_root(root);
    list.add_row(label + " (" + upper + ")", upper);
  });
}

namespace {

// Calls `visit` with each snapshot record that `label` matches, in order, until
// it returns false.
template <typename Visit>
void for_each_match(std::string_view snapshot, std::string_view label, Visit visit) {
  std::size_t at = 0;
  while (at < snapshot.size()) {
    auto end = snapshot.find('\0', at);
    if (end == std::string_view::npos) end = snapshot.size();
    const auto record = snapshot.substr(at, end - at);
    at = end + 1;
    if (record.size() < kRootSize + 1) continue;
    const auto record_label = record.substr(kRootSize + 1);
    if (label == kAnyLabel || record_label == label ||
        (label == kNoLabel && record_label.empty())) {
      if (!visit(record)) return;
    }
  }
}

}  // namespace

std::string find_drive_for_label(std::string_view snapshot, std::string_view label) {
  std::string found;
  for_each_match(snapshot, label, [&](std::string_view record) {
    found = std::string(record);
    return false;
  });
  return found;
}

std::vector<std::string> drives_labelled(std::string_view snapshot, std::string_view label) {
  std::vector<std::string> roots;
  for_each_match(snapshot, label, [&](std::string_view record) {
    roots.emplace_back(record.substr(0, kRootSize));
    return label != kAnyLabel;
  });
  return roots;
}

std::string shared_label_note(std::string_view quoted_label,
                              const std::vector<std::string>& roots) {
  if (roots.size() < 2) return {};
  std::string note = "note: " + std::to_string(roots.size()) + " drives are labelled ";
  note.append(quoted_label).append(" (");
  for (std::size_t i = 0; i < roots.size(); ++i) {
    if (i > 0) note += ", ";
    note += roots[i];
  }
  return note + "); this entry acts on " + roots.front() + " only";
}

std::optional<std::string> ignoring_item(std::string_view ignore_list, std::string_view root) {
  std::size_t from = 0;
  while (true) {
    const auto comma = ignore_list.find(',', from);
    const auto item = ignore_list.substr(from, comma - from);
    if (upper_root(item) == root) return std::string(item);
    if (comma == std::string_view::npos) return std::nullopt;
    from = comma + 1;
  }
}

std::string remove_ignored_roots(std::string_view roots, std::string_view ignore_list) {
  std::string kept;
  std::size_t at = 0;
  for (; at < roots.size() && roots[at] != '\0'; at += kRecordSize) {
    const auto record = roots.substr(at, kRecordSize);
    if (!ignoring_item(ignore_list, record.substr(0, kRootSize))) kept.append(record);
  }
  kept.append(roots.substr(std::min(at, roots.size())));
  return kept;
}

}  // namespace modGeneral
