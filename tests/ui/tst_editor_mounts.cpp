// SPDX-License-Identifier: MIT
// The editor over the real drives, as root: a btrfs label long enough to hide
// a command behind spaces, and one with a line break, on loop mounts.
#include <unistd.h>

#include <QListWidget>
#include <QTemporaryDir>
#include <QTest>

#include "platform/platform.h"
#include "tests/hostile/system.h"
#include "tests/ui/ui_test_support.h"
#include "ui/drive_rows.h"
#include "ui/frmAdvanced.h"
#include "ui/rich_text_pane.h"

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
};

QTEST_MAIN(TestEditorMounts)
#include "tst_editor_mounts.moc"
