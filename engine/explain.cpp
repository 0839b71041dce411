// SPDX-License-Identifier: MIT
// The reasoning behind --explain. It takes the snapshot and walks the entries
// with the same operations as a poll pass, so the two cannot disagree.
#include "engine/explain.h"

#include <algorithm>
#include <string>
#include <string_view>

#include "engine/detection.h"
#include "engine/drive_records.h"
#include "engine/drives.h"
#include "engine/script.h"
#include "engine/text_bytes.h"
#include "engine/volume_pins.h"

namespace modGeneral {

namespace {

std::string_view trim_spaces(std::string_view text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// Whole records only: a label that holds another drive's record ("xD:\ FOO")
// must not put that drive in the snapshot.
bool has_record(std::string_view snapshot, std::string_view wanted) {
  for (const auto record : SnapshotRecords(snapshot)) {
    if (record.text == wanted) return true;
  }
  return false;
}

std::vector<DriveVerdict> drive_verdicts(DriveApi& drives, std::string_view roots,
                                         std::string_view ignore_list, std::string_view snapshot) {
  std::vector<DriveVerdict> verdicts;
  for (const auto record : RootRecords(roots)) {
    DriveVerdict drive;
    drive.root = ascii_upper(record.root());
    drive.type = drives.drive_type(drive.root);
    drive.location = drives.locate(drive.root);
    const auto label = get_volume_info(drives, drive.root);
    if (label.find_first_not_of(' ') != std::string::npos) drive.label = label;

    if (auto item = ignoring_item(ignore_list, record.root())) {
      drive.fate = DriveVerdict::Fate::ignored;
      drive.ignore_item = std::move(*item);
    } else if (drive.label && has_record(snapshot, drive.root + " " + *drive.label)) {
      drive.fate = DriveVerdict::Fate::matched;
    } else if (!drive.label) {
      drive.fate = DriveVerdict::Fate::unreadable;
    } else {
      drive.fate = DriveVerdict::Fate::wrong_type;
    }
    verdicts.push_back(std::move(drive));
  }
  return verdicts;
}

bool left_out(const DriveVerdict& drive) { return drive.fate != DriveVerdict::Fate::matched; }
bool ignored(const DriveVerdict& drive) { return drive.fate == DriveVerdict::Fate::ignored; }

// For "(any)", the drives that only the ignore line keeps out of the snapshot;
// for "(no label)", the unlabelled drives left out.
std::vector<NearMiss> special_misses(const std::vector<DriveVerdict>& drives,
                                     std::string_view label) {
  std::vector<NearMiss> misses;
  for (const auto& drive : drives) {
    if (!drive.label || !left_out(drive)) continue;
    const bool qualifies = drive.type == kDriveRemovable || drive.type == kDriveFixed;
    if (label == kAnyLabel ? ignored(drive) && qualifies : *drive.label == kNoLabel) {
      misses.push_back({drive.root, *drive.label, false, false, true, ignored(drive)});
    }
  }
  return misses;
}

std::vector<NearMiss> near_misses(const std::vector<DriveVerdict>& drives, std::string_view label) {
  if (label == kAnyLabel || label == kNoLabel) return special_misses(drives, label);
  std::vector<NearMiss> misses;
  for (const auto& drive : drives) {
    if (!drive.label || *drive.label == kNoLabel) continue;
    // An entry's label is read trimmed; a drive's label keeps its spaces.
    const std::string_view theirs = *drive.label;
    const auto trimmed = trim_spaces(theirs);
    if (!equal_ignoring_case(trimmed, label)) continue;
    NearMiss miss{drive.root,      *drive.label,  trimmed != label, trimmed.size() != theirs.size(),
                  left_out(drive), ignored(drive)};
    if (miss.case_differs || miss.spaces_differ || miss.left_out) misses.push_back(miss);
  }
  return misses;
}

// "(ANY)" is an ordinary label, matching only a drive labelled so.
std::string_view special_label_like(std::string_view label) {
  for (const auto special : {kAnyLabel, kNoLabel}) {
    if (label != special && equal_ignoring_case(label, special)) return special;
  }
  return {};
}

bool is_drive_root(std::string_view item) {
  return item.size() == 3 && ascii_upper(item[0]) >= 'A' && ascii_upper(item[0]) <= 'Z' &&
         item[1] == ':' && item[2] == '\\';
}

std::vector<std::string> idle_ignore_items(std::string_view ignore_list) {
  std::vector<std::string> idle;
  if (ignore_list.empty()) return idle;
  for (const auto item : ignore_items(ignore_list)) {
    if (!item.empty() && !is_drive_root(item)) idle.emplace_back(item);
  }
  return idle;
}

// The snapshot as a poll pass builds it, after the ignore list, and the
// verdict on every root.
std::string look_at_drives(DriveApi& drives, std::string_view script,
                           std::vector<DriveVerdict>* verdicts) {
  const auto ignore_list = get_ignore_list(script);
  const auto roots = get_drive_strings(drives);
  const auto kept = ignore_list.empty() ? roots : remove_ignored_roots(roots, ignore_list);
  auto snapshot = get_labelled_drives(drives, kept);
  *verdicts = drive_verdicts(drives, roots, ignore_list, snapshot);
  return snapshot;
}

}  // namespace

std::vector<DriveVerdict> explain_drives(DriveApi& drives, std::string_view script) {
  std::vector<DriveVerdict> verdicts;
  look_at_drives(drives, script, &verdicts);
  return verdicts;
}

Explanation explain(DriveApi& drives, std::string_view script) {
  Explanation explanation;
  const auto snapshot = look_at_drives(drives, script, &explanation.drives);
  explanation.idle_ignore_items = idle_ignore_items(get_ignore_list(script));
  explanation.script_empty = script.empty();
  if (script.empty()) return explanation;

  EntryWalker walker(script);
  for (ScriptEntry entry; walker.next(&entry);) {
    EntryVerdict verdict;
    verdict.number = explanation.entries.size() + 1;
    verdict.label = entry.label;
    if (explanation.stopped) {
      verdict.fate = EntryVerdict::Fate::not_reached;
    } else if (auto error = first_error(entry); !error.empty()) {
      verdict.fate = EntryVerdict::Fate::stops;
      verdict.check_error = std::move(error);
      explanation.stopped = true;
    } else if (auto match = match_entry(drives, snapshot, entry.label, entry.pins);
               !match.roots.empty()) {
      verdict.fate = EntryVerdict::Fate::runs;
      verdict.request = make_launch_request(drives, entry.exec, match.roots.front(), entry.label);
      verdict.roots = std::move(match.roots);
      verdict.strangers = std::move(match.strangers);
    } else if (!match.strangers.empty()) {
      verdict.fate = EntryVerdict::Fate::only_strangers;
      verdict.strangers = std::move(match.strangers);
    } else {
      verdict.fate = EntryVerdict::Fate::no_drive;
      verdict.near_misses = near_misses(explanation.drives, entry.label);
      verdict.special_label = special_label_like(entry.label);
    }
    explanation.entries.push_back(std::move(verdict));
  }
  return explanation;
}

Explanation explain(DriveApi& drives, const Launcher& launcher, std::string_view script) {
  auto explanation = explain(drives, script);
  for (auto& entry : explanation.entries) {
    if (entry.fate != EntryVerdict::Fate::runs) continue;
    entry.words = launcher.words(entry.request.command);
    entry.start_problem = launcher.start_problem(entry.request.command);
  }
  return explanation;
}

void note_unmounted(Explanation& explanation, std::string_view script,
                    const std::vector<UnmountedVolume>& unmounted) {
  const auto targets = mount_targets(script);
  for (auto& entry : explanation.entries) {
    if (entry.fate != EntryVerdict::Fate::no_drive) continue;
    const auto target = std::find_if(targets.begin(), targets.end(),
                                     [&](const MountTarget& t) { return t.label == entry.label; });
    if (target == targets.end()) continue;
    for (const auto& volume : unmounted) {
      if (names_volume({*target}, volume.label, volume.identity)) {
        entry.unmounted_device = volume.device;
        break;
      }
    }
  }
}

}  // namespace modGeneral
