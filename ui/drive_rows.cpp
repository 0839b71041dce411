// SPDX-License-Identifier: MIT
#include "ui/drive_rows.h"

#include <QListWidget>
#include <QTextDocument>
#include <algorithm>
#include <cstring>

#include "engine/drives.h"
#include "engine/explain.h"
#include "engine/script.h"
#include "engine/text_bytes.h"
#include "engine/volume_pins.h"

namespace kestrun::ui {
namespace {

using DriveFate = modGeneral::DriveVerdict::Fate;

QString text_of(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString quoted(std::string_view text) {
  return QLatin1Char('\'') + text_of(modGeneral::escape_for_terminal(text)) + QLatin1Char('\'');
}

// Two sticks with the same label differ in where they are mounted.
QString location_lines(const modGeneral::DriveLocation& where, std::string_view root) {
  if (where.device.empty() && (where.mount_point.empty() || where.mount_point == root)) {
    return {};
  }
  QString lines = text_of(modGeneral::escape_for_terminal(where.mount_point));
  if (!where.device.empty())
    lines += QLatin1Char('\n') + text_of(modGeneral::escape_for_terminal(where.device));
  return lines;
}

// A label the row cannot show as it is: with controls, with spaces at an end,
// or with a run of spaces that hides what follows. Such runs become
// "N spaces"; single spaces between words stay in the quoted text.
QString label_line(std::string_view label) {
  const bool plain = modGeneral::escape_for_terminal(label) == label && !label.starts_with(' ') &&
                     !label.ends_with(' ') && label.find("  ") == std::string_view::npos;
  if (plain) return {};
  QStringList parts;
  std::string words;
  const auto put_words = [&] {
    if (words.empty()) return;
    parts << QLatin1Char('"') + text_of(modGeneral::escape_for_terminal(words)) + QLatin1Char('"');
    words.clear();
  };
  for (std::size_t at = 0; at < label.size();) {
    if (label[at] != ' ') {
      const auto end = std::min(label.find(' ', at), label.size());
      words.append(label.substr(at, end - at));
      at = end;
      continue;
    }
    const auto end = std::min(label.find_first_not_of(' ', at), label.size());
    const auto run = end - at;
    if (run == 1 && at != 0 && end != label.size()) {
      words.push_back(' ');
    } else {
      put_words();
      parts << (run == 1 ? QStringLiteral("1 space") : QStringLiteral("%1 spaces").arg(run));
    }
    at = end;
  }
  put_words();
  return QStringLiteral("Label of %1 characters: %2")
      .arg(modGeneral::character_count(std::string(label)))
      .arg(parts.join(QStringLiteral(" + ")));
}

// The entries that act on the drive at `root`, or why none does, as --explain
// sees the editor's text.
QString entries_line(const modGeneral::Explanation& explanation, std::string_view root) {
  if (explanation.entries.empty()) return {};
  QStringList acting;
  const modGeneral::EntryVerdict* acting_elsewhere = nullptr;
  const modGeneral::EntryVerdict* pinned_elsewhere = nullptr;
  for (const auto& entry : explanation.entries) {
    if (!pinned_elsewhere && std::any_of(entry.strangers.begin(), entry.strangers.end(),
                                         [&](const auto& s) { return s.root == root; })) {
      pinned_elsewhere = &entry;
    }
    if (entry.fate != modGeneral::EntryVerdict::Fate::runs) continue;
    if (entry.roots.front() == root) {
      acting << QStringLiteral("%1 %2").arg(entry.number).arg(quoted(entry.label));
    } else if (!acting_elsewhere &&
               std::find(entry.roots.begin(), entry.roots.end(), root) != entry.roots.end()) {
      acting_elsewhere = &entry;
    }
  }
  if (acting.size() == 1) return QStringLiteral("Entry %1 acts on this drive.").arg(acting.front());
  if (!acting.empty()) {
    return QStringLiteral("Entries %1 act on this drive.").arg(acting.join(QStringLiteral(", ")));
  }
  const QString none = QStringLiteral("No entry acts on this drive");
  const auto drive = std::find_if(explanation.drives.begin(), explanation.drives.end(),
                                  [&](const auto& verdict) { return verdict.root == root; });
  const auto fate = drive == explanation.drives.end() ? DriveFate::matched : drive->fate;
  if (fate == DriveFate::ignored) {
    return none + QStringLiteral(": the script's ignore: line leaves it out.");
  }
  if (fate == DriveFate::wrong_type) {
    return none + QStringLiteral(": drives of its type are never matched.");
  }
  if (pinned_elsewhere) {
    return none + QStringLiteral(": entry %1 %2 is pinned to another volume.")
                      .arg(pinned_elsewhere->number)
                      .arg(quoted(pinned_elsewhere->label));
  }
  if (acting_elsewhere) {
    return none +
           QStringLiteral(": entry %1 %2 acts on %3, the first drive with this label.")
               .arg(acting_elsewhere->number)
               .arg(quoted(acting_elsewhere->label), text_of(acting_elsewhere->roots.front()));
  }
  return none + QLatin1Char('.');
}

}  // namespace

void ListedDrives::refill(const std::string& roots, QListWidget* list) {
  roots_ = roots;
  labels_.clear();
  types_.clear();
  locations_.clear();

  class Rows : public modGeneral::DriveList {
   public:
    explicit Rows(QListWidget* list) : list_(list) {}
    void clear() override { list_->clear(); }
    void add_row(const std::string& row, const std::string& root) override {
      // A label may hold a line break or a terminal control; the row shows
      // it written out, and keeps the engine's bytes for pasting.
      auto* item = new QListWidgetItem(text_of(modGeneral::escape_for_terminal(row)), list_);
      item->setData(kRowBytesRole, QByteArray::fromStdString(row));
      item->setData(kRowRootRole, QByteArray::fromStdString(root));
    }

   private:
    QListWidget* list_;
  } rows(list);
  modGeneral::fill_drive_list(*this, roots, rows);
}

std::size_t ListedDrives::logical_drive_strings(std::size_t length, char* buffer) {
  if (roots_.empty()) return 0;
  if (length < roots_.size()) return roots_.size();
  std::memcpy(buffer, roots_.data(), roots_.size());
  return roots_.size() - 1;
}

std::optional<std::string> ListedDrives::volume_label(std::string_view root) {
  auto known = labels_.find(root);
  if (known == labels_.end()) {
    known = labels_.emplace(std::string(root), machine_.volume_label(root)).first;
  }
  return known->second;
}

modGeneral::DriveType ListedDrives::drive_type(std::string_view root) {
  auto known = types_.find(root);
  if (known == types_.end()) {
    known = types_.emplace(std::string(root), machine_.drive_type(root)).first;
  }
  return known->second;
}

modGeneral::DriveLocation ListedDrives::locate(std::string_view root) {
  auto known = locations_.find(root);
  if (known == locations_.end()) {
    known = locations_.emplace(std::string(root), machine_.locate(root)).first;
  }
  return known->second;
}

void set_row_tips(QListWidget* list, ListedDrives& drives, std::string_view script) {
  const auto explanation = modGeneral::explain(drives, script);
  for (int row = 0; row < list->count(); ++row) {
    QListWidgetItem* item = list->item(row);
    const std::string text = item->data(kRowBytesRole).toByteArray().toStdString();
    const std::string root = item->data(kRowRootRole).toByteArray().toStdString();
    // Everything after the label is " (", the 3-character root and ")".
    const std::string label = text.substr(0, text.size() >= 6 ? text.size() - 6 : 0);
    QStringList lines;
    for (const QString& line : {location_lines(drives.locate(root), root), label_line(label),
                                entries_line(explanation, root)}) {
      if (!line.isEmpty()) lines << line;
    }
    // A mount path or a label may look like markup; it must show as it is.
    item->setToolTip(lines.isEmpty() ? QString()
                                     : Qt::convertFromPlainText(lines.join(QLatin1Char('\n')),
                                                                Qt::WhiteSpaceNoWrap));
  }
}

std::optional<QString> paste_refusal(std::string_view label, std::string_view root) {
  QStringList holds;
  if (label.find_first_of("\r\n") != std::string_view::npos)
    holds << QStringLiteral("a line break");
  for (std::size_t at = 0; at < label.size(); ++at) {
    const auto c = static_cast<unsigned char>(label[at]);
    const bool c1 = c == 0xC2 && at + 1 < label.size() &&
                    static_cast<unsigned char>(label[at + 1]) >= 0x80 &&
                    static_cast<unsigned char>(label[at + 1]) <= 0x9F;
    if ((c < 0x20 && c != '\r' && c != '\n') || c == 0x7F || c1) {
      holds << QStringLiteral("the control character %1")
                   .arg(text_of(modGeneral::escape_for_terminal(label.substr(at, c1 ? 2 : 1))));
      break;
    }
  }
  for (const auto key : {modGeneral::kLabelKey, modGeneral::kExecKey, modGeneral::kMenuRunKey,
                         modGeneral::kIgnoreKey}) {
    if (label.find(key) != std::string_view::npos) {
      holds << QStringLiteral("the key '%1'").arg(text_of(key));
    }
  }
  if (holds.isEmpty()) return std::nullopt;
  const QString last = holds.takeLast();
  const QString listed =
      holds.isEmpty() ? last : holds.join(QStringLiteral(", ")) + QStringLiteral(" and ") + last;
  return QStringLiteral(
             "The label of %1 was not pasted: it holds %2.\n"
             "In the script, such a label could start a line or a command of its own.")
      .arg(text_of(root), listed);
}

DrivePaste drive_paste(const std::string& row, const std::string& root, ListedDrives& drives,
                       bool pin) {
  // Everything after the label is " (", the 3-character root and ")".
  if (row.size() < 6) return {};
  const std::string label = row.substr(0, row.size() - 6);
  // A label or an identity is the drive's, not the user's: pasted as it is, it
  // could put a line or a command of its own into the script.
  if (auto refusal = paste_refusal(label, root)) return {{}, std::move(refusal)};
  if (!pin) return {label, std::nullopt};
  const auto identity = drives.locate(root).identity;
  if (modGeneral::is_pinnable_identity(identity)) {
    return {"label:" + label + "\r\nvolume:" + identity + "\r\n", std::nullopt};
  }
  const QString why = identity.empty()
                          ? QStringLiteral("its identity cannot be read")
                          : QStringLiteral(
                                "it is known only as %1, which another drive could "
                                "carry too")
                                .arg(text_of(modGeneral::escape_for_terminal(identity)));
  return {
      {},
      QStringLiteral("The label and volume of %1 were not pasted: %2.").arg(text_of(root), why)};
}

}  // namespace kestrun::ui
