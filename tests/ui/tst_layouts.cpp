// SPDX-License-Identifier: MIT
// The three windows against their layout tables: geometry in twips, fonts,
// colours, tab order, window kinds and initial state.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFontInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include "tests/ui/ui_test_support.h"
#include "ui/frmAdvanced.h"
#include "ui/frmSplash.h"
#include "ui/layout.h"
#include "ui/rich_text_pane.h"
#include "ui/tray_icon.h"
#include "ui/web_links.h"

using kestrun::testing::EditorRig;
using kestrun::testing::fire;
using kestrun::testing::MainWindowRig;
using kestrun::testing::SplashRig;
using kestrun::ui::twips_rect;

namespace {

struct Placed {
  const char* name;
  int left, top, width, height;
};

void check_places(const QWidget& window, std::initializer_list<Placed> table) {
  for (const Placed& row : table) {
    const auto* control = window.findChild<QWidget*>(row.name);
    QVERIFY2(control != nullptr, row.name);
    QCOMPARE(control->geometry(), twips_rect(row.left, row.top, row.width, row.height));
  }
}

void check_font(const QWidget* control, const QStringList& faces, qreal points, bool bold = false) {
  QVERIFY2(faces.contains(QFontInfo(control->font()).family()),
           qPrintable(control->objectName() + ": " + QFontInfo(control->font()).family()));
  // Captions that do not fit the face at hand are set up to 1.5 points smaller.
  const qreal size = control->font().pointSizeF();
  QVERIFY2(size <= points && size >= points - 1.5, qPrintable(control->objectName()));
  QCOMPARE(control->font().bold(), bold);
}

const QStringList kVerdana{"Verdana", "DejaVu Sans"};
const QStringList kTrebuchet{"Trebuchet MS", "DejaVu Sans"};
const QStringList kCourier{"Courier New", "DejaVu Sans Mono"};
const QColor kDarkRed(64, 0, 0);

// The names of the controls that the Tab key visits from `first` on.
QStringList tab_walk(QWidget& window, QWidget* first, int steps) {
  window.show();
  window.activateWindow();
  if (!QTest::qWaitForWindowActive(&window)) return {"window not active"};
  first->setFocus(Qt::TabFocusReason);
  QStringList visited{QApplication::focusWidget()->objectName()};
  for (int step = 0; step < steps; ++step) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    visited << QApplication::focusWidget()->objectName();
  }
  return visited;
}

}  // namespace

class TestLayouts : public QObject {
  Q_OBJECT

 private slots:
  void theMainWindowMatchesItsTable() {
    MainWindowRig rig;
    auto& w = *rig.window;
    auto& c = rig.controls;
    QCOMPARE(w.size(), QSize(490, 479));
    QCOMPARE(w.minimumSize(), w.maximumSize());
    QVERIFY(!(w.windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(w.windowFlags() & Qt::WindowMinimizeButtonHint);
    QVERIFY(w.windowFlags() & Qt::WindowCloseButtonHint);
    QCOMPARE(w.windowTitle(), "Kestrun");
    QVERIFY(!w.windowIcon().isNull());
    QVERIFY(w.windowIcon().availableSizes().contains(QSize(48, 48)));

    // The check boxes reach the Start button so that their captions fit.
    check_places(w, {{"Label9", 120, 120, 2175, 255},
                     {"cmdAction", 5280, 240, 1935, 855},
                     {"chkAuto", 2640, 280, 2520, 375},
                     {"Label3", 120, 495, 1455, 255},
                     {"txtInterval", 1680, 480, 735, 285},
                     {"chkMin", 2640, 600, 2520, 375},
                     {"Label7", 120, 960, 1815, 255},
                     {"Label11", 120, 1320, 7095, 495},
                     {"txtAdvanced", 360, 1920, 6015, 1335},
                     {"cmdRegEx", 6480, 1920, 375, 1335},
                     {"Label12", 120, 3600, 2175, 255},
                     {"lblTimer", 6000, 3600, 1215, 255},
                     {"txtOutput", 120, 3885, 7095, 2385},
                     {"Label4", 120, 6360, 6015, 255},
                     {"Image1", 6240, 6480, 930, 465},
                     {"Label6", 2040, 6840, 2295, 255}});
    QCOMPARE(c.Line1->geometry(), QRect(8, 232, 473, 1));

    QCOMPARE(c.cmdAction->text(), "Start");
    QCOMPARE(c.chkAuto->text(), "Start timer when app starts?");
    QCOMPARE(c.chkMin->text(), "Minimise on automatic start?");
    QCOMPARE(c.Label3->text(), "Poll Interval (sec):");
    QCOMPARE(c.txtInterval->text(), "60");
    QCOMPARE(c.cmdRegEx->text(), "...");
    QCOMPARE(c.cmdRegEx->toolTip(), "Edit script");
    for (const QCheckBox* box : {c.chkAuto, c.chkMin})
      QVERIFY(box->sizeHint().width() <= box->width());

    for (const QWidget* heading : {c.Label9, c.Label7, c.Label12})
      check_font(heading, kVerdana, 9.75);
    check_font(c.cmdAction, kVerdana, 12, true);
    check_font(c.txtAdvanced, kCourier, 8.25);
    check_font(c.Label4, kTrebuchet, 8.25, true);
    check_font(c.Label6, kTrebuchet, 8.25, true);
    QCOMPARE(c.txtOutput->font().pointSizeF(), 8.25);
    QCOMPARE(c.Label11->palette().color(QPalette::WindowText), kDarkRed);
    QCOMPARE(c.txtAdvanced->palette().color(QPalette::Base), QColor(224, 224, 224));
    QVERIFY(c.Label11->wordWrap());
    QVERIFY(c.lblTimer->alignment() & Qt::AlignRight);
    QVERIFY(c.Label4->alignment() & Qt::AlignHCenter);
    QCOMPARE(c.txtOutput->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    QCOMPARE(c.txtOutput->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    QCOMPARE(c.txtAdvanced->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    QCOMPARE(c.Image1->pixmap().size(), QSize(62, 31));
    QCOMPARE(c.timTimer->interval(), 1000);
    QVERIFY(!c.timTimer->isActive());

    QCOMPARE(tab_walk(w, c.txtInterval, 5), QStringList({"txtInterval", "chkAuto", "cmdAction",
                                                         "cmdRegEx", "chkMin", "txtInterval"}));
  }

  void everyWindowOpensCentredOnTheScreen() {
    MainWindowRig rig;
    EditorRig editor(rig);
    kestrun::ui::frmSplash splash(rig.window.get());
    const QPoint middle = QGuiApplication::primaryScreen()->availableGeometry().center();
    for (const QWidget* window :
         {static_cast<QWidget*>(rig.window.get()), static_cast<QWidget*>(&editor.window),
          static_cast<QWidget*>(&splash)}) {
      const QPoint off = QRect(window->pos(), window->size()).center() - middle;
      QVERIFY2(off.manhattanLength() <= 1, qPrintable(window->objectName()));
    }
  }

  void noCaptionIsCutOff() {
    MainWindowRig rig;
    EditorRig editor(rig);
    kestrun::ui::frmSplash splash(rig.window.get());
    for (const QWidget* window :
         {static_cast<QWidget*>(rig.window.get()), static_cast<QWidget*>(&editor.window),
          SplashRig(splash).controls.client}) {
      for (const QWidget* control : window->findChildren<QWidget*>()) {
        const bool captioned = qobject_cast<const QCheckBox*>(control) ||
                               qobject_cast<const QPushButton*>(control) ||
                               (qobject_cast<const QLabel*>(control) &&
                                !qobject_cast<const QLabel*>(control)->text().isEmpty());
        if (!captioned) continue;
        QVERIFY2(kestrun::ui::caption_fits(control), qPrintable(control->objectName()));
      }
    }
  }

  void theTrayMenuHasItsTree() {
    MainWindowRig rig;
    const auto* tray = rig.controls.tray;
    QCOMPARE(tray->mPopupSys->title(), "&SysTray");
    QCOMPARE(tray->mPopupSys->actions(),
             (QList<QAction*>{tray->mPopRestore, tray->mSep1, tray->mPopRun, tray->mSep2,
                              tray->mPopNotify, tray->mPopMount, tray->mPopLogin, tray->mPopExit}));
    QCOMPARE(tray->mPopRestore->text(), "Show main window");
    QVERIFY(tray->mSep1->isSeparator() && tray->mSep2->isSeparator());
    QCOMPARE(tray->mPopRun->text(), "");
    QCOMPARE(tray->mPopNotify->text(), "Notify when commands finish or fail");
    QVERIFY(tray->mPopNotify->isCheckable());
    QCOMPARE(tray->mPopMount->text(), "Mount drives that entries name");
    QVERIFY(tray->mPopMount->isCheckable());
    QCOMPARE(tray->mPopLogin->text(), "Start Kestrun at login");
    QVERIFY(tray->mPopLogin->isCheckable());
    QCOMPARE(tray->mPopExit->text(), "Exit");
    QVERIFY(!tray->is_added());
  }

  void theEditorMatchesItsTable() {
    MainWindowRig rig;
    EditorRig editor(rig);
    const auto& e = editor.controls;
    QCOMPARE(editor.window.windowTitle(), "Edit Detection List...");
    QCOMPARE(editor.window.size(), QSize(736, 512));
    QCOMPARE(editor.window.minimumSize(), editor.window.maximumSize());
    QCOMPARE(editor.window.windowFlags() & Qt::WindowType_Mask, Qt::Tool);
    QVERIFY(!(editor.window.windowFlags() &
              (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));

    check_places(editor.window, {{"Label8", 120, 120, 2895, 255},
                                 {"Label11", 120, 480, 10215, 615},
                                 {"Label4", 120, 1200, 855, 255},
                                 {"Label1", 600, 1200, 4695, 255},
                                 {"Label3", 600, 1440, 5175, 255},
                                 {"Label6", 600, 1800, 4695, 255},
                                 {"Label5", 600, 2040, 4695, 255},
                                 {"Label9", 600, 2280, 4695, 255},
                                 {"Label7", 600, 2640, 4695, 255},
                                 {"Label2", 8520, 1200, 2415, 375},
                                 {"lstDrives", 8520, 1680, 2415, 810},
                                 {"txtAdvanced", 120, 3000, 10815, 4095},
                                 {"txtLog", 5760, 3000, 5175, 4095},
                                 {"chkValidate", 120, 7200, 1215, 375},
                                 {"cmdValidationLog", 1440, 7200, 1695, 375},
                                 {"cmdSave", 8520, 7200, 1215, 375},
                                 {"cmdCancel", 9840, 7200, 1095, 375}});

    QCOMPARE(e.Label1->text(), "label:My USB Pen Drive");
    QCOMPARE(e.Label3->text(), "exec:wscript \"c:\\something\\whatever.vbs\" \"%1\"");
    QCOMPARE(e.Label6->text(), "label:Second Pen Drive");
    QCOMPARE(e.Label5->text(), "exec:wscript \"c:\\someother\\script.vbs\" \"%1\"");
    QCOMPARE(e.Label9->text(), "menurun:wscript \"c:\\OPTIONALscript.vbs\" \"%3\"");
    QCOMPARE(e.Label7->text(), "ignore:d:\\,e:\\,g:\\");
    QVERIFY(e.Label11->text().startsWith("Use the syntax below so that when a USB drive"));
    QVERIFY(e.Label11->text().endsWith("with the drive letter alone, e.g. 'c'."));
    QCOMPARE(e.Label7->toolTip(), "Ignore certain drive letters");
    QVERIFY(e.Label9->toolTip().startsWith("When the device is inserted"));
    check_font(e.Label8, kVerdana, 9.75);
    for (const QLabel* example : {e.Label1, e.Label3, e.Label6, e.Label5, e.Label9, e.Label7}) {
      check_font(example, kCourier, 8.25);
      QCOMPARE(example->palette().color(QPalette::WindowText), kDarkRed);
    }
    check_font(e.txtAdvanced, kCourier, 8.25);
    check_font(e.txtLog, kVerdana, 8.25);
    QCOMPARE(e.chkValidate->text(), "Validate");
    QCOMPARE(e.cmdSave->text(), "Save");
    QCOMPARE(e.cmdCancel->text(), "Discard");
    QCOMPARE(e.cmdValidationLog->text(), "Close Validation Log");
    QCOMPARE(e.timPoll->interval(), 5000);
    QVERIFY(e.timPoll->isActive());

    QCOMPARE(tab_walk(editor.window, e.txtAdvanced, 5),
             QStringList({"txtAdvanced", "cmdSave", "cmdCancel", "chkValidate", "lstDrives",
                          "txtAdvanced"}));
    QVERIFY(!e.txtLog->isVisible() && !e.cmdValidationLog->isVisible());
    QVERIFY(!e.txtAdvanced->isReadOnly());
  }

  void enterAndEscapeDoNotCloseTheEditor() {
    MainWindowRig rig;
    EditorRig editor(rig);
    const auto& e = editor.controls;
    editor.window.show();
    QVERIFY(QTest::qWaitForWindowActive(&editor.window));
    for (QWidget* focus : std::initializer_list<QWidget*>{e.lstDrives, e.cmdSave}) {
      focus->setFocus();
      QTest::keyClick(focus, Qt::Key_Escape);
      QTest::keyClick(focus, Qt::Key_Return);
      QVERIFY(editor.window.isVisible());
    }
    for (const QPushButton* button : editor.window.findChildren<QPushButton*>()) {
      QVERIFY(!button->isDefault() && !button->autoDefault());
    }
  }

  void theSplashMatchesItsTableAndIgnoresKeysAndClicks() {
    QWidget owner;
    kestrun::ui::frmSplash splash(&owner);
    const auto& s = SplashRig(splash).controls;
    QVERIFY(splash.windowFlags() & Qt::FramelessWindowHint);
    QCOMPARE(s.client->size(), QSize(259, 380));
    QCOMPARE(splash.size(), QSize(261, 382));
    QCOMPARE(splash.palette().color(QPalette::Window), QColor(Qt::white));
    check_places(*s.client, {{"Image1", 0, 120, 3840, 3840},
                             {"Label1", 0, 3960, 3735, 375},
                             {"lblVersion", 120, 4320, 3615, 255},
                             {"Label2", 120, 5040, 3615, 255},
                             {"Label3", 120, 5280, 3615, 255}});
    QCOMPARE(s.Image1->pixmap().size(), QSize(256, 256));
    QCOMPARE(s.Label1->text(), "Kestrun");
    check_font(s.Label1, kTrebuchet, 14.25);
    for (const QLabel* label : {s.lblVersion, s.Label2, s.Label3}) {
      check_font(label, kTrebuchet, 8.25);
      QVERIFY(label->alignment() & Qt::AlignHCenter);
      QVERIFY(!label->text().isEmpty());
    }

    splash.show();
    QVERIFY(QTest::qWaitForWindowExposed(&splash));
    QTest::keyClick(&splash, Qt::Key_Escape);
    QTest::mouseClick(s.client, Qt::LeftButton);
    QVERIFY(!splash.close());
    QVERIFY(splash.isVisible());
    fire(s.timTimer1);
    QVERIFY(!splash.isVisible());
    QVERIFY(!s.timTimer1->isActive());
  }
};

QTEST_MAIN(TestLayouts)
#include "tst_layouts.moc"
