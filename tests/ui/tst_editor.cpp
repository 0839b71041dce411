// SPDX-License-Identifier: MIT
// The detection list editor over a fake machine and a real settings file: the
// drive list and its refresh, insertion at the caret, validation, and what
// Save, Discard and the close box leave behind.
#ifndef _WIN32
#include <unistd.h>
#endif

#include <QApplication>
#include <QHelpEvent>
#include <QLabel>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QScopeGuard>
#include <QTest>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>

#include "tests/ui/ui_test_support.h"
#include "ui/frmAdvanced.h"
#include "ui/layout.h"
#include "ui/rich_text_pane.h"

namespace QTest {
template <>
char* toString(const std::string& text) {
  return toPrettyCString(text.data(), static_cast<qsizetype>(text.size()));
}
}  // namespace QTest

using kestrun::testing::crlf_lines;
using kestrun::testing::EditorRig;
using kestrun::testing::fire;
using kestrun::testing::MainWindowRig;
using kestrun::testing::when_modal_shown;
using kestrun::ui::frmAdvanced;
using modGeneral::kAdvanced;

namespace {

const std::string kSampleScript = kestrun::testing::sample_script();

const std::string kPenExample = "label:My USB Pen Drive";

QStringList rows(const EditorRig& editor) {
  const QListWidget* list = editor.controls.lstDrives;
  QStringList shown;
  for (int row = 0; row < list->count(); ++row) shown << list->item(row)->text();
  return shown;
}

// Puts the caret where a user would, in the document's own positions (a line
// break counts one there); `anchor` other than -1 selects from it.
void place_caret(kestrun::ui::RichTextPane* pane, int position, int anchor = -1) {
  QTextCursor cursor = pane->textCursor();
  cursor.setPosition(anchor >= 0 ? anchor : position);
  if (anchor >= 0) cursor.setPosition(position, QTextCursor::KeepAnchor);
  pane->setTextCursor(cursor);
}

// QTest's double-click is the second click alone; the first one selects.
void double_click(QWidget* widget, QPoint at = {}) {
  QTest::mouseClick(widget, Qt::LeftButton, {}, at);
  QTest::mouseDClick(widget, Qt::LeftButton, {}, at);
}

void double_click_row(const EditorRig& editor, int row) {
  const QListWidget* list = editor.controls.lstDrives;
  double_click(list->viewport(), list->visualItemRect(list->item(row)).center());
}

int pixel_width(int twips) { return kestrun::ui::pixels(twips); }

// The rows' tooltips as the pointer finds them, as plain text; with `entries`
// false, without the line about the script's entries.
QStringList tips(const EditorRig& editor, bool entries = true) {
  const QListWidget* list = editor.controls.lstDrives;
  QStringList shown;
  for (int row = 0; row < list->count(); ++row) {
    QListWidgetItem* item = list->item(row);
    const QPoint at = list->visualItemRect(item).center();
    QHelpEvent hover(QEvent::ToolTip, at, list->viewport()->mapToGlobal(at));
    QApplication::sendEvent(list->viewport(), &hover);
    QTextDocument tip;
    tip.setHtml(item->toolTip());
    const QStringList lines = tip.toPlainText().split(QChar::LineSeparator);
    shown << (entries ? lines.last() : lines.join('\n'));
  }
  return shown;
}

// The settings folder made read-only: a read-only tmpfs as root, whom file
// modes do not stop, and file modes otherwise. Undone when it goes.
class ReadOnlyFolder {
 public:
  explicit ReadOnlyFolder(QString folder) : folder_(std::move(folder)) {}
  ~ReadOnlyFolder() {
    if (mounted_) QProcess::execute("umount", {folder_});
    QFile::setPermissions(folder_, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  }

  // Before anything is written: a fresh file system for the folder, as root.
  bool prepare() {
#ifdef Q_OS_WIN
    return false;  // Windows folders have no mode bits to lock them with
#else
    if (geteuid() != 0) return true;
    mounted_ = QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=1m", "tmpfs", folder_}) == 0;
    return mounted_;
#endif
  }

  bool lock(const QString& file) {
    if (mounted_) return QProcess::execute("mount", {"-o", "remount,ro", folder_}) == 0;
    return QFile::setPermissions(file, QFile::ReadOwner) &&
           QFile::setPermissions(folder_, QFile::ReadOwner | QFile::ExeOwner);
  }

  QString reason() const { return mounted_ ? "Read-only file system" : "Permission denied"; }

 private:
  QString folder_;
  bool mounted_ = false;
};

}  // namespace

class TestEditor : public QObject {
  Q_OBJECT

 private slots:
  void aFirstOpeningShowsAnEmptyScriptAndTheLabelledDrivesAtOnce() {
    MainWindowRig rig;
    rig.machine.plug("C:\\", "System", modGeneral::kDriveFixed);
    rig.machine.plug("E:\\", "PEN");
    rig.machine.plug("F:\\", "");            // no label: no row
    rig.machine.plug("G:\\", std::nullopt);  // no medium: no row
    rig.machine.plug("H:\\", "DVD", modGeneral::kDriveCdrom);
    EditorRig editor(rig);
    const auto& e = editor.controls;

    QCOMPARE(e.txtAdvanced->text(), "");
    QCOMPARE(rows(editor), QStringList({"System (C:\\)", "PEN (E:\\)", "DVD (H:\\)"}));
    QVERIFY(rig.machine.listings > 0);
    QCOMPARE(editor.advanced_width(), 10815);
    QVERIFY(e.txtLog->isHidden() && e.cmdValidationLog->isHidden());
    QVERIFY(e.timPoll->isActive());
    QCOMPARE(e.timPoll->interval(), 5000);
    QVERIFY2(!QFile::exists(rig.settings_path), "opening must write nothing");

    // Every opening fills the list, although no root came or went.
    rig.store(kAdvanced, kSampleScript);
    const int reads = rig.machine.label_reads;
    EditorRig again(rig);
    QCOMPARE(again.controls.txtAdvanced->text(), kSampleScript);
    QCOMPARE(rows(again), rows(editor));
    QVERIFY(rig.machine.label_reads > reads);
  }

  void theListIsRefilledOnlyWhenTheDriveRootsChange() {
    MainWindowRig rig;
    rig.machine.plug("E:\\", "PEN");
    EditorRig editor(rig);
    const auto& e = editor.controls;
    e.lstDrives->setCurrentRow(0);
    const int reads = rig.machine.label_reads;
    const int listings = rig.machine.listings;

    fire(e.timPoll);
    QVERIFY(rig.machine.listings > listings);
    QCOMPARE(rig.machine.label_reads, reads);
    QVERIFY(e.lstDrives->item(0)->isSelected());

    // A new medium in a root that stays is not noticed.
    rig.machine.relabel("E:\\", "OTHER");
    fire(e.timPoll);
    QCOMPARE(rows(editor), QStringList{"PEN (E:\\)"});
    QCOMPARE(rig.machine.label_reads, reads);

    rig.machine.plug("F:\\", "PHOTOS");
    fire(e.timPoll);
    QCOMPARE(rows(editor), QStringList({"OTHER (E:\\)", "PHOTOS (F:\\)"}));
    QVERIFY(e.lstDrives->selectedItems().isEmpty());

    rig.machine.fail_listing(true);
    fire(e.timPoll);
    QCOMPARE(rows(editor), QStringList());
  }

  void aRowsTooltipTellsWhereTheDriveIsMounted() {
    MainWindowRig rig;
    rig.machine.plug("E:\\", "PEN");
    rig.machine.plug("F:\\", "PEN");
    rig.machine.plug("G:\\", "LETTERS");
    rig.machine.set_location("E:\\", "/media/me/PEN", "/dev/sdb1");
    rig.machine.set_location("F:\\", "/media/me/<b>PEN</b>", "/dev/sdc1");
    EditorRig editor(rig);
    const auto& e = editor.controls;

    QCOMPARE(rows(editor), QStringList({"PEN (E:\\)", "PEN (F:\\)", "LETTERS (G:\\)"}));
    const QString first = e.lstDrives->item(0)->toolTip();
    QVERIFY2(first.contains("/media/me/PEN") && first.contains("/dev/sdb1"), qPrintable(first));
    const QString second = e.lstDrives->item(1)->toolTip();
    QVERIFY2(second.contains("/media/me/&lt;b&gt;PEN&lt;/b&gt;"), qPrintable(second));
    // Where the root is all there is to say, there is no tooltip.
    QCOMPARE(e.lstDrives->item(2)->toolTip(), "");
  }

  void aRowsTooltipSaysWhichEntriesOfTheTextActOnTheDrive() {
    MainWindowRig rig;
    rig.machine.plug("C:\\", "System", modGeneral::kDriveFixed);
    rig.machine.plug("E:\\", "PEN");
    rig.machine.plug("F:\\", "PEN");
    rig.machine.plug("G:\\", "DVD", modGeneral::kDriveCdrom);
    rig.machine.plug("H:\\", "CAM");
    rig.store(kAdvanced, "stored");
    EditorRig editor(rig);
    const auto& e = editor.controls;
    QVERIFY(editor.show());
    const int reads = rig.machine.label_reads;

    e.txtAdvanced->set_text(crlf_lines({"ignore:h:\\", "label:PEN", "exec:a", "label:CAM", "exec:b",
                                        "label:(any)", "exec:c", "label:PEN", "exec:d"}));
    QCOMPARE(tips(editor), QStringList({
                               "Entry 3 '(any)' acts on this drive.",
                               "Entries 1 'PEN', 4 'PEN' act on this drive.",
                               "No entry acts on this drive: entry 1 'PEN' acts on E:\\, the "
                               "first drive with this label.",
                               "No entry acts on this drive: drives of its type are never matched.",
                               "No entry acts on this drive: the script's ignore: line leaves it "
                               "out.",
                           }));

    // An entry without a command stops the walk: nothing after it acts.
    e.txtAdvanced->set_text(crlf_lines({"label:CAM", "label:PEN", "exec:a"}));
    QCOMPARE(tips(editor).at(1), "No entry acts on this drive.");
    QCOMPARE(rig.machine.label_reads, reads);  // labels are read at refills only
    QVERIFY(rig.launcher.launched.empty());
  }

  void aLabelThatCouldChangeTheScriptIsShownWrittenOutAndNotPasted() {
    MainWindowRig rig;
    const std::string hidden = "Photos" + std::string(120, ' ') + "exec:touch FILE";
    rig.machine.plug("E:\\", hidden);
    rig.machine.plug("F:\\", "two\nlines\x1b[2J");
    rig.machine.plug("G:\\", " MY  PEN ");
    EditorRig editor(rig);
    const auto& e = editor.controls;
    QVERIFY(editor.show());
    e.txtAdvanced->set_text("label:\r\nexec:b");
    place_caret(e.txtAdvanced, 6);

    QCOMPARE(rows(editor).at(1), "two\\nlines\\x1b[2J (F:\\)");
    QVERIFY2(
        tips(editor, false)
            .at(0)
            .contains("Label of 141 characters: \"Photos\" + 120 spaces + \"exec:touch FILE\""),
        qPrintable(tips(editor, false).at(0)));
    QVERIFY(
        tips(editor, false)
            .at(2)
            .contains("Label of 9 characters: 1 space + \"MY\" + 2 spaces + \"PEN\" + 1 space"));

    double_click_row(editor, 0);
    double_click_row(editor, 1);
    QCOMPARE(e.txtAdvanced->text(), "label:\r\nexec:b");
    QCOMPARE(rig.desktop.messages.size(), 2u);
    QCOMPARE(rig.desktop.messages[0].text,
             "The label of E:\\ was not pasted: it holds the key 'exec:'.\n"
             "In the script, such a label could start a line or a command of its own.");
    QVERIFY(rig.desktop.messages[0].warning);
    QVERIFY(rig.desktop.messages[1].text.contains(
        "it holds a line break and the control character \\x1b."));

    double_click_row(editor, 2);
    QCOMPARE(e.txtAdvanced->text(), "label: MY  PEN \r\nexec:b");
  }

  void validateShowsTheReportBesideTheTextRoundAfterRound() {
    MainWindowRig rig;
    rig.store(kAdvanced, "label:STORED\r\nexec:x\r\n");
    EditorRig editor(rig);
    const auto& e = editor.controls;
    QVERIFY(editor.show());
    e.txtAdvanced->set_text(kSampleScript);  // unsaved
    const int listings = rig.machine.listings;

    for (int round = 0; round < 2; ++round) {
      for (int press = 0; press <= round; ++press) {
        QTest::mouseClick(e.chkValidate, Qt::LeftButton);
      }
      QCOMPARE(editor.advanced_width(), 5610);
      QCOMPARE(e.txtAdvanced->width(), pixel_width(5610));
      QVERIFY(e.txtLog->isVisible() && e.cmdValidationLog->isVisible());

      QTest::mouseClick(e.cmdValidationLog, Qt::LeftButton);
      QCOMPARE(editor.advanced_width(), 10845);
      QCOMPARE(e.txtAdvanced->width(), pixel_width(10845));
      QVERIFY(!e.txtLog->isVisible() && !e.cmdValidationLog->isVisible());
    }

    QCOMPARE(e.txtLog->text(), crlf_lines({
                                   "Starting validation...",
                                   "",
                                   "Ignoring drives: d:\\,e:\\,g:\\",
                                   "",
                                   "Processing first entry...",
                                   "  label=My USB Pen Drive",
                                   "  execute=wscript \"c:\\something\\whatever.vbs\" \"%1\"",
                                   "Entry seems okay",
                                   "",
                                   "Processing first entry...",
                                   "  label=Second Pen Drive",
                                   "  execute=wscript \"c:\\someother\\script.vbs\" \"%1\"",
                                   "  menu run=wscript \"c:\\OPTIONALscript.vbs\" \"%3\"",
                                   "Entry seems okay",
                                   "",
                                   "Validation complete",
                                   "",
                               }));
    QCOMPARE(rig.log(), "");
    QCOMPARE(rig.stored(kAdvanced), "label:STORED\r\nexec:x\r\n");
    QCOMPARE(rig.machine.listings, listings);  // validation lists no drives
  }

  void theLogTakesItsPlaceInTheTabOrderWhileShown() {
    MainWindowRig rig;
    EditorRig editor(rig);
    const auto& e = editor.controls;
    editor.window.show();
    QVERIFY(QTest::qWaitForWindowActive(&editor.window));
    e.chkValidate->click();  // an empty text: an empty report, shown all the same
    QVERIFY(e.txtLog->isVisible());
    QCOMPARE(e.txtLog->text(), "");

    e.txtAdvanced->setFocus();
    QStringList walk{QApplication::focusWidget()->objectName()};
    for (int step = 0; step < 7; ++step) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      walk << QApplication::focusWidget()->objectName();
    }
    QCOMPARE(walk, QStringList({"txtAdvanced", "cmdSave", "cmdCancel", "chkValidate",
                                "cmdValidationLog", "txtLog", "lstDrives", "txtAdvanced"}));
  }

  void aBadEntryIsReportedAndReachesTheMainWindowsLog() {
    MainWindowRig rig;
    EditorRig editor(rig);
    const auto& e = editor.controls;
    e.txtAdvanced->set_text(
        crlf_lines({"ignore:d:\\,e:\\,g:\\", "label:My USB Pen Drive", "label:Second Pen Drive",
                    "exec:wscript \"c:\\someother\\script.vbs\" \"%1\""}));
    e.chkValidate->click();
    e.chkValidate->click();

    const std::string error = "'exec' doesn't exist for one of your entries";
    QCOMPARE(e.txtLog->text(),
             crlf_lines({"Starting validation...", "", "Ignoring drives: d:\\,e:\\,g:\\", "",
                         "Processing first entry...", "  label=My USB Pen Drive",
                         "  execute=wscript \"c:\\someother\\script.vbs\" \"%1\"", error}));
    QCOMPARE(rig.log(), crlf_lines({"  error: " + error, "  error: " + error}));
    QVERIFY(rig.launcher.launched.empty());
  }

  // Positions are the document's, where a line break counts one; the text the
  // engine sees has CR LF and may hold characters of several bytes.
  void anExampleGoesInAtTheCaretTheUserSees_data() {
    QTest::addColumn<std::string>("text");
    QTest::addColumn<int>("caret");
    QTest::addColumn<int>("anchor");  // -1: no selection
    QTest::addColumn<std::string>("expected");

    const std::string x = kPenExample;
    QTest::newRow("empty") << std::string() << 0 << -1 << x;
    QTest::newRow("start") << std::string("abc") << 0 << -1 << x + "abc";
    QTest::newRow("middle") << std::string("abc") << 1 << -1 << "a" + x + "bc";
    QTest::newRow("end, after a line break, none added")
        << std::string("label:A\r\n") << 8 << -1 << "label:A\r\n" + x;
    QTest::newRow("start of the third line") << std::string("label:A\r\nexec:b\r\nlabel:C") << 15
                                             << -1 << "label:A\r\nexec:b\r\n" + x + "label:C";
    QTest::newRow("after characters of several bytes") << std::string(
                                                              "label:St\xC3\xBC"
                                                              "ck \xF0\x9F\x92\xBE\r\nexec:b")
                                                       << 15 << -1
                                                       << "label:St\xC3\xBC"
                                                          "ck \xF0\x9F\x92\xBE\r\n" +
                                                              x + "exec:b";
    QTest::newRow("before a selection")
        << std::string("label:A\r\nexec:b") << 12 << 8 << "label:A\r\n" + x + "exec:b";
    QTest::newRow("before a selection made backwards")
        << std::string("label:A\r\nexec:b") << 8 << 12 << "label:A\r\n" + x + "exec:b";
  }
  void anExampleGoesInAtTheCaretTheUserSees() {
    QFETCH(std::string, text);
    QFETCH(int, caret);
    QFETCH(int, anchor);
    QFETCH(std::string, expected);

    MainWindowRig rig;
    EditorRig editor(rig);
    const auto& e = editor.controls;
    QVERIFY(editor.show());
    e.txtAdvanced->set_text(text);
    place_caret(e.txtAdvanced, caret, anchor);
    const std::size_t before = e.txtAdvanced->selection_start();

    double_click(e.Label1);
    QCOMPARE(e.txtAdvanced->text(), expected);
    QCOMPARE(e.txtAdvanced->selection_start(), before + kPenExample.size());
  }

  void eachExampleLineInsertsItsOwnCaptionAndTheOtherTwoNothing() {
    MainWindowRig rig;
    EditorRig editor(rig);
    const auto& e = editor.controls;
    QVERIFY(editor.show());
    for (QLabel* example : {e.Label9, e.Label7}) {
      double_click(example);
    }
    QCOMPARE(e.txtAdvanced->text(), "");

    // Each goes in after the one before, where the caret was left.
    for (QLabel* example : {e.Label6, e.Label3, e.Label5}) {
      double_click(example);
    }
    QCOMPARE(e.txtAdvanced->text(),
             "label:Second Pen Drive"
             "exec:wscript \"c:\\something\\whatever.vbs\" \"%1\""
             "exec:wscript \"c:\\someother\\script.vbs\" \"%1\"");
  }

  void aDriveRowInsertsItsBareLabel() {
    MainWindowRig rig;
    rig.machine.plug("E:\\", "PEN");
    rig.machine.plug("F:\\",
                     " Stick n\xC2\xB0"
                     "2 ");  // the spaces belong to the label
    EditorRig editor(rig);
    const auto& e = editor.controls;
    QVERIFY(editor.show());
    e.txtAdvanced->set_text("label:\r\nexec:b");
    place_caret(e.txtAdvanced, 6);

    double_click_row(editor, 0);
    QCOMPARE(e.txtAdvanced->text(), "label:PEN\r\nexec:b");
    place_caret(e.txtAdvanced, 11, 10);
    double_click_row(editor, 1);
    QCOMPARE(e.txtAdvanced->text(),
             "label:PEN\r\n Stick n\xC2\xB0"
             "2 exec:b");

    e.lstDrives->clearSelection();
    double_click(e.lstDrives->viewport(), QPoint(5, e.lstDrives->viewport()->height() - 3));
    QCOMPARE(e.txtAdvanced->text(),
             "label:PEN\r\n Stick n\xC2\xB0"
             "2 exec:b");
  }

  // The "volume:" line counts only at a line's start, so the two lines go on
  // lines of their own; a drive known by nothing a stranger could not copy,
  // or by an identity that would break the script, is refused.
  void theRowsMenuPastesTheLabelAndVolumeLinesOnLinesOfTheirOwn() {
    MainWindowRig rig;
    rig.machine.plug("E:\\", "BACKUP");
    rig.machine.set_location("E:\\", "/media/e", "/dev/sde1", "uuid:2F1C-9A7B");
    rig.machine.plug("F:\\", "NOPIN");
    rig.machine.set_location("F:\\", "/media/f", "/dev/sdf1", "label:ext4:NOPIN");
    rig.machine.plug("G:\\", "FORGED");
    rig.machine.set_location("G:\\", "/media/g", "/dev/sdg1", "uuid:1\r\nexec:rm -rf ~");
    EditorRig editor(rig);
    const auto& e = editor.controls;
    QVERIFY(editor.show());
    e.txtAdvanced->set_text("exec:b");
    place_caret(e.txtAdvanced, 6);

    const auto paste_from_menu = [&](int row) {
      kestrun::testing::choose_from_row_menu(editor, row, "Paste label and volume");
    };
    paste_from_menu(0);
    QCOMPARE(e.txtAdvanced->text(), "exec:b\r\nlabel:BACKUP\r\nvolume:uuid:2F1C-9A7B\r\n");
    paste_from_menu(1);
    paste_from_menu(2);
    QCOMPARE(e.txtAdvanced->text(), "exec:b\r\nlabel:BACKUP\r\nvolume:uuid:2F1C-9A7B\r\n");
    QCOMPARE(rig.desktop.messages.size(), 2u);
    QCOMPARE(rig.desktop.messages[0].text,
             "The label and volume of F:\\ were not pasted: it is known only as "
             "label:ext4:NOPIN, which another drive could carry too.");
    QVERIFY(rig.desktop.messages[1].text.contains("known only as uuid:1\\r\\nexec:rm -rf ~"));

    double_click_row(editor, 0);
    QVERIFY(e.txtAdvanced->text().ends_with("\r\nBACKUP"));

    e.txtAdvanced->set_text(crlf_lines({"label:NOPIN", "exec:x", "volume:uuid:2F1C-9A7B"}));
    QVERIFY2(tips(editor).at(1).endsWith(
                 "No entry acts on this drive: entry 1 'NOPIN' is pinned to another volume."),
             qPrintable(tips(editor).at(1)));
  }

  // The closing ways, opened as the main window opens it.
  void onlySaveLeavesATraceAndTheMainWindowShowsWhatIsStored_data() {
    QTest::addColumn<QString>("way");
    QTest::addColumn<bool>("stored");
    QTest::newRow("Save") << "Save" << true;
    QTest::newRow("Discard") << "Discard" << false;
    QTest::newRow("close box") << "close box" << false;
  }
  void onlySaveLeavesATraceAndTheMainWindowShowsWhatIsStored() {
    QFETCH(QString, way);
    QFETCH(bool, stored);

    MainWindowRig rig;
    rig.store(kAdvanced, "label:OLD\r\nexec:old\r\n");
    rig.machine.plug("E:\\", "PEN");
    rig.load();
    auto& c = rig.controls;
    const std::string typed = "label:PEN\r\nexec:backup %1";
    bool seen = false;
    when_modal_shown([&](QWidget* modal) {
      // A failed check must not leave the editor waiting for a click.
      const auto closer = qScopeGuard([modal] { modal->close(); });
      auto* editor = qobject_cast<frmAdvanced*>(modal);
      QVERIFY(editor != nullptr);
      const EditorRig opened(*editor);
      const auto& open = opened.controls;
      open.txtAdvanced->setFocus();
      open.txtAdvanced->selectAll();
      QTest::keyClicks(open.txtAdvanced, "label:");
      double_click_row(opened, 0);
      open.txtAdvanced->moveCursor(QTextCursor::End);
      QTest::keyClick(open.txtAdvanced, Qt::Key_Return);
      QTest::keyClick(open.txtAdvanced, Qt::Key_Escape);
      QTest::keyClicks(open.txtAdvanced, "exec:backup %1");
      QCOMPARE(open.txtAdvanced->text(), typed);
      QVERIFY(editor->isVisible());
      QVERIFY(open.timPoll->isActive());
      seen = true;
      if (way == "Save") QTest::mouseClick(open.cmdSave, Qt::LeftButton);
      if (way == "Discard") QTest::mouseClick(open.cmdCancel, Qt::LeftButton);
      if (way == "close box") QVERIFY(editor->close());
      QVERIFY(!open.timPoll->isActive());
    });
    c.cmdRegEx->click();
    QVERIFY(seen);
    QVERIFY(rig.desktop.messages.empty());
    const std::string expected = stored ? typed : "label:OLD\r\nexec:old\r\n";
    QCOMPARE(rig.stored(kAdvanced), expected);
    QCOMPARE(c.txtAdvanced->text(), expected);

    // The next pass runs the stored script.
    c.cmdAction->click();
    QCOMPARE(rig.launcher.launched.size(), stored ? 1u : 0u);
    if (stored) QCOMPARE(rig.launcher.launched.front().command, "backup E:\\");
  }

  // A store that cannot be written must not take the user's script with it.
  void aSaveThatCannotBeStoredKeepsTheEditorOpenAndSaysWhy() {
    MainWindowRig rig;
    ReadOnlyFolder folder(rig.folder.path());
    if (!folder.prepare()) QSKIP("cannot make a read-only folder here");
    rig.store(kAdvanced, "label:OLD\r\n");
    QVERIFY(folder.lock(rig.settings_path));
    rig.load();

    bool seen = false;
    when_modal_shown([&](QWidget* modal) {
      const auto closer = qScopeGuard([modal] { modal->close(); });
      auto* editor = qobject_cast<frmAdvanced*>(modal);
      QVERIFY(editor != nullptr);
      const EditorRig opened(*editor);
      const auto& open = opened.controls;
      open.txtAdvanced->set_text("label:NEW\r\nexec:new\r\n");
      // The main window may have had its own say about the locked store.
      rig.desktop.messages.clear();
      QTest::mouseClick(open.cmdSave, Qt::LeftButton);
      QCOMPARE(rig.desktop.messages.size(), 1u);
      QVERIFY(editor->isVisible());
      QVERIFY(open.timPoll->isActive());
      QCOMPARE(open.txtAdvanced->text(), "label:NEW\r\nexec:new\r\n");
      const auto& box = rig.desktop.messages.front();
      QCOMPARE(box.text, "Unable to save the setting 'Advanced': " + folder.reason());
      QCOMPARE(box.title, "Kestrun");
      QVERIFY(box.warning);
      seen = true;
      QTest::mouseClick(open.cmdCancel, Qt::LeftButton);
    });
    rig.controls.cmdRegEx->click();
    QVERIFY(seen);
    QCOMPARE(rig.stored(kAdvanced), "label:OLD\r\n");
    QCOMPARE(rig.controls.txtAdvanced->text(), "label:OLD\r\n");
  }
};

QTEST_MAIN(TestEditor)
#include "tst_editor.moc"
