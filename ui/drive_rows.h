// SPDX-License-Identifier: MIT
// The editor's drive list: the drives as it last listed them, what a row
// shows and says in its tooltip, and which labels may be pasted.
#pragma once

#include <QString>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/drive_api.h"

class QListWidget;

namespace kestrun::ui {

/// The machine's drives as the list last saw them: the roots it was filled
/// from and the label it read for each, so a tooltip never reads a label
/// again. Types and locations are asked of the machine, once each.
class ListedDrives : public modGeneral::DriveApi {
 public:
  explicit ListedDrives(modGeneral::DriveApi& machine) : machine_(machine) {}

  /// Fills `list` from `roots`, one row per labelled drive, reading each
  /// label from the machine.
  void refill(const std::string& roots, QListWidget* list);

  std::size_t logical_drive_strings(std::size_t length, char* buffer) override;
  std::optional<std::string> volume_label(std::string_view root) override;
  modGeneral::DriveType drive_type(std::string_view root) override;
  modGeneral::DriveLocation locate(std::string_view root) override;

 private:
  modGeneral::DriveApi& machine_;
  std::string roots_;
  std::map<std::string, std::optional<std::string>, std::less<>> labels_;
  std::map<std::string, modGeneral::DriveType, std::less<>> types_;
  std::map<std::string, modGeneral::DriveLocation, std::less<>> locations_;
};

/// Item data of a row: the engine's bytes of its text, and its drive root.
inline constexpr int kRowBytesRole = Qt::UserRole;
inline constexpr int kRowRootRole = Qt::UserRole + 1;

/// Sets every row's tooltip for the editor's current `script`: where the
/// drive is mounted, its label spelt out where the row cannot show it
/// plainly, and which entries of the script would act on it.
void set_row_tips(QListWidget* list, ListedDrives& drives, std::string_view script);

/// Why the label of the drive at `root` must not go into a script (a line
/// break, another control character or a script key), or std::nullopt.
std::optional<QString> paste_refusal(std::string_view label, std::string_view root);

/// What pasting a drive row (its kRowBytesRole and kRowRootRole data) puts
/// into the script: the drive's bare label, or with `pin` its "label:" and
/// "volume:" lines; or why nothing may go in.
struct DrivePaste {
  std::string text;
  std::optional<QString> refusal;
};
DrivePaste drive_paste(const std::string& row, const std::string& root, ListedDrives& drives,
                       bool pin);

}  // namespace kestrun::ui
