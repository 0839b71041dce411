// SPDX-License-Identifier: MIT
// The windows over the real drives, as root, on loop mounts: a btrfs label
// long enough to hide a command behind spaces, and one with a line break; two
// ext4 sticks sharing a label, one of them the volume an entry is pinned to.
#include <unistd.h>

#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QUuid>

#include "platform/platform.h"
#include "tests/hostile/system.h"
#include "tests/platform/linux/listed_mounts.h"
#include "tests/platform/linux/unique_label.h"
#include "tests/ui/ui_test_support.h"
#include "ui/drive_rows.h"
#include "ui/frmAdvanced.h"
#include "ui/rich_text_pane.h"
#include "ui/tray_icon.h"

namespace {

// The row of the drive labelled `label`, or null.
QListWidgetItem* row_of(const QListWidget* list, const std::string& label) {
  for (int row = 0; row < list->count(); ++row) {
    QListWidgetItem* item = list->item(row);
    const auto bytes = item->data(kestrun::ui::kRowBytesRole).toByteArray().toStdString();
    if (bytes.size() == label.size() + 6 && bytes.starts_with(label)) return item;
  }
  return nullptr;
}

void double_click(QListWidget* list, QListWidgetItem* item) {
  const QPoint at = list->visualItemRect(item).center();
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
  QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
}

}  // namespace

class TestEditorMounts : public QObject {
  Q_OBJECT

 private slots:
  void aLabelThatHidesACommandIsShownAndNeverPasted() {
    if (geteuid() != 0) QSKIP("loop mounts need root; CI runs this as root");
    QTemporaryDir folder;
    // The folder's random name makes the label one no other drive carries.
    const std::string mark = folder.filePath("pasted").toStdString();
    const std::string hidden = "Photos" + std::string(120, ' ') + "exec:touch " + mark;
    kestrun::testing::LoopImage disk;
    const auto made = disk.create(folder.filePath("btrfs.img").toStdString(), "128M", "btrfs",
                                  {"mkfs.btrfs", "-q", "-f", "-L", hidden});
    if (!made.empty()) QSKIP(qPrintable("no btrfs image: " + QString::fromStdString(made)));
    QVERIFY(QDir().mkdir(folder.filePath("mnt")));
    const auto mounted = disk.mount_at(folder.filePath("mnt").toStdString());
    QVERIFY2(mounted.empty(), mounted.c_str());

    const auto drives = kestrun::platform::make_drive_api();
    kestrun::testing::FakeLauncher launcher;
    kestrun::testing::MemorySettings settings;
    kestrun::testing::MemoryPane log;
    kestrun::testing::RecordingRunItem run_item;
    modGeneral::Context context{*drives, launcher, settings, log, run_item, {}};
    kestrun::testing::FakeDesktop desktop;
    {
      kestrun::ui::frmAdvanced editor(context, desktop);
      const auto& e = kestrun::testing::EditorRig(editor).controls;
      editor.show();
      QVERIFY(QTest::qWaitForWindowExposed(&editor));
      QListWidgetItem* row = row_of(e.lstDrives, hidden);
      QVERIFY(row != nullptr);
      QVERIFY2(row->toolTip().contains("120 spaces"), qPrintable(row->toolTip()));
      double_click(e.lstDrives, row);
      QCOMPARE(e.txtAdvanced->text(), "");
      QCOMPARE(desktop.messages.size(), 1u);
      QVERIFY(desktop.messages.back().text.contains("it holds the key 'exec:'"));
    }

    const std::string broken = "Photos\nexec:touch " + mark;
    const auto relabelled = disk.set_label(broken);
    QVERIFY2(relabelled.empty(), relabelled.c_str());
    kestrun::ui::frmAdvanced editor(context, desktop);
    const auto& e = kestrun::testing::EditorRig(editor).controls;
    editor.show();
    QVERIFY(QTest::qWaitForWindowExposed(&editor));
    QListWidgetItem* row = row_of(e.lstDrives, broken);
    QVERIFY(row != nullptr);
    QVERIFY(row->text().startsWith("Photos\\nexec:touch "));
    double_click(e.lstDrives, row);
    QCOMPARE(e.txtAdvanced->text(), "");
    QVERIFY(desktop.messages.back().text.contains("a line break and the key 'exec:'"));
    QVERIFY(launcher.launched.empty());
  }

  // The entry pasted from the user's own stick runs on it alone; the other
  // stick is reported and notified. An entry written before pins existed, with
  // the word in its command, runs as it always did.
  void aPinnedEntryRunsOnlyOnItsOwnStickOfTwoWithOneLabel() {
    if (geteuid() != 0) QSKIP("loop mounts need root; CI runs this as root");
    QTemporaryDir folder;
    const std::string label = kestrun::testing::unique_label("KPIN");
    const auto uuid = [] {
      return QUuid::createUuid().toString(QUuid::WithoutBraces).toStdString();
    };
    const std::string own_uuid = uuid();
    const std::string other_uuid = uuid();
    kestrun::testing::LoopImage own, other;
    std::string own_folder, other_folder;
    for (auto [disk, id, name, at] : {std::tuple{&own, own_uuid, "own", &own_folder},
                                      std::tuple{&other, other_uuid, "other", &other_folder}}) {
      const auto made = disk->create(folder.filePath(name).toStdString() + ".img", "16M", "ext4",
                                     {"mkfs.ext4", "-q", "-L", label, "-U", id});
      QVERIFY2(made.empty(), made.c_str());
      *at = folder.filePath(name).toStdString();
      QVERIFY(QDir().mkdir(QString::fromStdString(*at)));
      const auto mounted = disk->mount_at(*at);
      QVERIFY2(mounted.empty(), mounted.c_str());
    }

    const auto drives = kestrun::platform::make_drive_api();
    kestrun::testing::MainWindowRig rig(drives.get());
    const auto own_root = kestrun::testing::root_mounted_at(*drives, own_folder);
    const auto other_root = kestrun::testing::root_mounted_at(*drives, other_folder);
    QVERIFY(!own_root.empty() && !other_root.empty());
    std::string pinned;
    {
      kestrun::testing::EditorRig editor(rig);
      QVERIFY(editor.show());
      const QListWidget* list = editor.controls.lstDrives;
      int row = 0;
      while (row < list->count() &&
             list->item(row)->data(kestrun::ui::kRowRootRole).toByteArray() != own_root.c_str()) {
        ++row;
      }
      QVERIFY(row < list->count());
      kestrun::testing::choose_from_row_menu(editor, row, "Paste label and volume");
      pinned = editor.controls.txtAdvanced->text();
    }
    QCOMPARE(pinned, "label:" + label + "\r\nvolume:uuid:" + own_uuid + "\r\n");

    rig.store(modGeneral::kAdvanced, pinned + "exec:pinned %1\r\nlabel:" + label +
                                         "\r\nexec:legacy --volume:uuid:" + other_uuid + " %1\r\n");
    rig.load();
    rig.controls.cmdAction->click();
    std::vector<std::string> commands;
    for (const auto& request : rig.launcher.launched) commands.push_back(request.command);
    QCOMPARE(commands, (std::vector<std::string>{"pinned " + own_root,
                                                 "legacy --volume:uuid:" + other_uuid + " " +
                                                     std::min(own_root, other_root)}));
    const auto note = "  not run: '" + label + "' on " + other_root +
                      " is volume uuid:" + other_uuid + ", not the pinned uuid:" + own_uuid +
                      "\r\n";
    QVERIFY2(rig.log().find(note) != std::string::npos, rig.log().c_str());
    QCOMPARE(rig.desktop.notices.size(), 1);
    QVERIFY(rig.desktop.notices[0].contains(QString::fromStdString(other_root)));
  }
};

QTEST_MAIN(TestEditorMounts)
#include "tst_editor_mounts.moc"
