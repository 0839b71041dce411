// SPDX-License-Identifier: MIT
// Drive enumeration: the drive root list, labels, the snapshot and the editor's rows.
// Every call asks the platform afresh; nothing is cached.
#include "engine/drives.h"

#include <string>
#include <string_view>

#include "engine/drive_records.h"
#include "engine/text_bytes.h"

namespace modGeneral {

namespace {

bool is_blank(std::string_view text) {
  return text.find_first_not_of(' ') == std::string_view::npos;
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
  for (const auto record : RootRecords(roots)) {
    const auto root = record.root();
    // The volume is read before the type is asked, for every root.
    const auto label = get_volume_info(drives, root);
    if (is_blank(label)) continue;
    const auto type = drives.drive_type(root);
    if (type != kDriveRemovable && type != kDriveFixed) continue;
    snapshot.append(ascii_upper(root)).append(" ").append(label).push_back('\0');
  }
  return snapshot;
}

void fill_drive_list(DriveApi& drives, std::string_view roots, DriveList& list) {
  list.clear();
  for (const auto record : RootRecords(roots)) {
    const auto label = get_volume_info(drives, record.root());
    if (is_blank(label) || label == kNoLabel) continue;
    const auto upper = ascii_upper(record.root());
    list.add_row(label + " (" + upper + ")", upper);
  }
}

namespace {

// Calls `visit` with each snapshot record that `label` matches, in order, until
// it returns false.
template <typename Visit>
void for_each_match(std::string_view snapshot, std::string_view label, Visit visit) {
  for (const auto record : SnapshotRecords(snapshot)) {
    if (!record.whole()) continue;
    if (label == kAnyLabel || record.label() == label ||
        (label == kNoLabel && record.label().empty())) {
      if (!visit(record)) return;
    }
  }
}

}  // namespace

std::string find_drive_for_label(std::string_view snapshot, std::string_view label) {
  std::string found;
  for_each_match(snapshot, label, [&](SnapshotRecord record) {
    found = std::string(record.text);
    return false;
  });
  return found;
}

std::vector<std::string> drives_labelled(std::string_view snapshot, std::string_view label) {
  std::vector<std::string> roots;
  for_each_match(snapshot, label, [&](SnapshotRecord record) {
    roots.emplace_back(record.root());
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

std::vector<std::string_view> ignore_items(std::string_view ignore_list) {
  std::vector<std::string_view> items;
  for (std::size_t from = 0;;) {
    const auto comma = ignore_list.find(',', from);
    items.push_back(ignore_list.substr(from, comma - from));
    if (comma == std::string_view::npos) return items;
    from = comma + 1;
  }
}

std::optional<std::string> ignoring_item(std::string_view ignore_list, std::string_view root) {
  for (const auto item : ignore_items(ignore_list)) {
    if (ascii_upper(item) == root) return std::string(item);
  }
  return std::nullopt;
}

std::string remove_ignored_roots(std::string_view roots, std::string_view ignore_list) {
  const RootRecords records(roots);
  std::string kept;
  for (const auto record : records) {
    if (!ignoring_item(ignore_list, record.root())) kept.append(record.bytes);
  }
  kept.append(records.tail());
  return kept;
}

}  // namespace modGeneral
