// SPDX-License-Identifier: MIT
// Drive enumeration: the drive root list, labels, the snapshot and the
// editor's rows. Every call asks the platform afresh; nothing is cached.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/drive_api.h"
#include "engine/drive_list.h"

namespace modGeneral {

inline constexpr std::string_view kNoLabel = "(no label)";
inline constexpr std::string_view kAnyLabel = "(any)";
/// What get_volume_info() gives for a volume that cannot be read: the blank
/// buffer the label was to be read into.
inline constexpr std::string_view kBlankLabel = "              ";

/// "removable", "fixed", "remote", "optical", "ramdisk", "no root" or "unknown".
std::string_view drive_type_name(DriveType type);

/// The drive root list: 4-byte records and a final NUL; "" when listing fails.
std::string get_drive_strings(DriveApi& drives);

/// The label behind `root`, untrimmed; "(no label)" for an empty or all-space
/// label; blank (spaces only) when the volume cannot be read.
std::string get_volume_info(DriveApi& drives, std::string_view root);

/// The drive snapshot: "E:\ LABEL\0" records of the readable removable and
/// fixed drives, in the order of `roots`.
std::string get_labelled_drives(DriveApi& drives, std::string_view roots);

/// Refills `list` with one "LABEL (E:\)" row per labelled drive.
void fill_drive_list(DriveApi& drives, std::string_view roots, DriveList& list);

/// The first snapshot record matching `label` as "E:\ LABEL", or "".
std::string find_drive_for_label(std::string_view snapshot, std::string_view label);

/// The roots of every snapshot record that `label` matches, in snapshot order;
/// the first is the one an entry acts on. "(any)" matches the first only.
std::vector<std::string> drives_labelled(std::string_view snapshot, std::string_view label);

/// "note: N drives are labelled LABEL (E:\, G:\); this entry acts on E:\ only"
/// for two or more `roots`, with the label as the caller quotes it.
std::string shared_label_note(std::string_view quoted_label, const std::vector<std::string>& roots);

/// Removes from `roots` every record named by the comma-separated `ignore_list`.
std::string remove_ignored_roots(std::string_view roots, std::string_view ignore_list);

/// The items of the comma-separated `ignore_list`, as written.
std::vector<std::string_view> ignore_items(std::string_view ignore_list);

/// The item of the comma-separated `ignore_list` that removes `root`, as written.
std::optional<std::string> ignoring_item(std::string_view ignore_list, std::string_view root);

}  // namespace modGeneral
