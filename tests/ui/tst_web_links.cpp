// SPDX-License-Identifier: MIT
// The donation picture and the home-page label.
#include <QGuiApplication>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>
#include <cerrno>
#include <cstring>

#include "platform/native.h"
#include "tests/ui/ui_test_support.h"
#include "ui/web_links.h"

using kestrun::testing::MainWindowRig;

class TestWebLinks : public QObject {
  Q_OBJECT

 private slots:
  void eachLinkOpensItsPageUnderTheWaitCursor() {
    MainWindowRig rig;
    rig.load();
    QTest::mouseClick(rig.controls.Image1, Qt::LeftButton);
    QTest::mouseClick(rig.controls.Label6, Qt::LeftButton);
    QTest::mouseClick(rig.controls.Label4, Qt::LeftButton);

    QCOMPARE(rig.desktop.opened, (std::vector<QUrl>{QUrl(kestrun::ui::donation_page_address()),
                                                    QUrl(kestrun::ui::home_page_address())}));
    QCOMPARE(rig.desktop.cursor_while_opening, (std::vector<int>{Qt::WaitCursor, Qt::WaitCursor}));
    QVERIFY(QGuiApplication::overrideCursor() == nullptr);
    QVERIFY(rig.desktop.messages.empty());
  }

  void theLinksShowTheWhatsThisPointerAndTheHomeAddress() {
    MainWindowRig rig;
    QCOMPARE(rig.controls.Image1->cursor().shape(), Qt::WhatsThisCursor);
    QCOMPARE(rig.controls.Label6->cursor().shape(), Qt::WhatsThisCursor);
    QCOMPARE(rig.controls.Label4->cursor().shape(), Qt::ArrowCursor);
    QCOMPARE(rig.controls.Label6->text(),
             QUrl(kestrun::ui::home_page_address()).host() + "/kestrun");
    QCOMPARE(rig.controls.Image1->toolTip(), "Click to show your support!");
  }

  void aHandlerThatCannotStartIsReportedInTheOldWords() {
    MainWindowRig rig;
    rig.load();
    rig.desktop.open_failure = kestrun::platform::SystemError{"No such file or directory", 2};
    QTest::mouseClick(rig.controls.Image1, Qt::LeftButton);

    QCOMPARE(rig.desktop.messages.size(), 1u);
    const auto& box = rig.desktop.messages.front();
    QCOMPARE(box.text, "Unable to load '" + kestrun::ui::donation_page_address() +
                           "' : No such file or directory (Error 2)");
    QCOMPARE(box.title, "Kestrun");
    QVERIFY(!box.warning);
    QCOMPARE(box.cursor, -1);  // the busy pointer is gone before the message shows
    QVERIFY(QGuiApplication::overrideCursor() == nullptr);
  }

  void aMessageKeepsItsLineWhole() {
#ifdef Q_OS_WIN
    QSKIP("Qt's offscreen platform on Windows does not size message boxes");
#endif
    const QString text = "Unable to load '" + kestrun::ui::donation_page_address() +
                         "' : No such file or directory (Error 2)";
    int lines = 0;
    kestrun::testing::when_modal_shown([&lines](QWidget* box) {
      const auto* label = box->findChild<QLabel*>("qt_msgbox_label");
      if (label != nullptr) lines = label->height() / label->fontMetrics().lineSpacing();
      box->close();
    });
    kestrun::ui::QtDesktop().show_message(nullptr, text, "Kestrun", false);
    QCOMPARE(lines, 1);
  }

  void withoutXdgOpenTheHandlerIsMissing() {
#ifdef Q_OS_WIN
    QSKIP("xdg-open is the Linux handler");
#endif
    QTemporaryDir empty;
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", empty.path().toUtf8());
    errno = 0;
    const kestrun::platform::SystemError failure =
        kestrun::platform::make_native_interface()->web_link_failure();
    qputenv("PATH", path);
    QCOMPARE(failure.number, static_cast<unsigned long>(ENOENT));
    QCOMPARE(failure.description, std::string(std::strerror(ENOENT)));
  }
};

QTEST_MAIN(TestWebLinks)
#include "tst_web_links.moc"
