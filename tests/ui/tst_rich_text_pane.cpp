// SPDX-License-Identifier: MIT
// The pane's text is the CR LF text last set or typed, and its positions count
// characters of that text although the document holds one break per line.
#include <QKeyEvent>
#include <QScrollBar>
#include <QTest>
#include <QTextCursor>

#include "engine/action_log.h"
#include "ui/rich_text_pane.h"

using kestrun::ui::RichTextPane;

namespace {

QString selected(const RichTextPane& pane) { return pane.textCursor().selectedText(); }

}  // namespace

class TestRichTextPane : public QObject {
  Q_OBJECT

 private slots:
  void theTextIsExactlyWhatWasSet_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<int>("length");
    QTest::newRow("crlf lines") << QByteArray("ab\r\ncd\r\n") << "ab\ncd\n" << 8;
    QTest::newRow("bare breaks") << QByteArray("a\nb\rc") << "a\nb\nc" << 5;
    QTest::newRow("non-ascii") << QByteArray("\xC3\xBC\xF0\x9F\x93\xB7\r\n") << "\u00FC\U0001F4F7\n"
                               << 4;
    QTest::newRow("stray bytes") << QByteArray("a\xFF\xC3z") << "a\uFFFD\uFFFDz" << 4;
    // Counted as the action log counts them: continuation bytes join the
    // character before them.
    QTest::newRow("stray continuations")
        << QByteArray("a\xE2\x82z\xC3\xA9\x80") << "a\uFFFDz\u00E9\uFFFD" << 4;
  }
  void theTextIsExactlyWhatWasSet() {
    QFETCH(QByteArray, text);
    QFETCH(QString, shown);
    QFETCH(int, length);
    RichTextPane pane;
    pane.set_text(text.toStdString());
    QCOMPARE(QByteArray::fromStdString(pane.text()), text);
    QCOMPARE(pane.toPlainText(), shown);
    QCOMPARE(pane.length(), std::size_t(length));
  }

  void typedTextHasCrLfLineEnds() {
    RichTextPane pane;
    pane.set_text("one\r\n");
    pane.moveCursor(QTextCursor::End);
    QTest::keyClicks(&pane, "two");
    QTest::keyClick(&pane, Qt::Key_Return);
    QKeyEvent accent(QEvent::KeyPress, Qt::Key_Eacute, Qt::NoModifier, QStringLiteral("\u00E9"));
    QCoreApplication::sendEvent(&pane, &accent);
    QCOMPARE(pane.text(), "one\r\ntwo\r\n\u00E9");
    QCOMPARE(pane.length(), 11u);
  }

  // Before "x" stand a, b, CR, LF, the camera (one character, two UTF-16
  // units), d, CR and LF.
  void theCaretCountsCharactersOfTheCrLfText() {
    RichTextPane pane;
    pane.set_text("ab\r\n\U0001F4F7d\r\nxy");
    QTextCursor cursor = pane.textCursor();
    cursor.setPosition(pane.toPlainText().indexOf('x'));
    pane.setTextCursor(cursor);
    QCOMPARE(pane.selection_start(), 8u);

    pane.set_selection_start(4);
    QCOMPARE(pane.selection_start(), 4u);
    pane.set_selection_length(2);
    QCOMPARE(selected(pane), "\U0001F4F7d");
  }

  void keepingTheEndInViewSelectsTheLastLineEnd() {
    RichTextPane pane;
    pane.resize(200, 60);
    pane.show();
    std::string log;
    for (int line = 0; line < 200; ++line) log += "line " + std::to_string(line) + "\r\n";
    pane.set_text(log);
    QCOMPARE(pane.verticalScrollBar()->value(), 0);

    modGeneral::log_keep_end_in_view(pane);
    QCOMPARE(selected(pane), QString(QChar::ParagraphSeparator));
    QVERIFY(pane.verticalScrollBar()->value() > 0);

    modGeneral::log_append(pane, "line 200");
    QCOMPARE(pane.verticalScrollBar()->value(), pane.verticalScrollBar()->maximum());
    QTextCursor end(pane.document());
    end.movePosition(QTextCursor::End);
    QVERIFY(pane.viewport()->rect().intersects(pane.cursorRect(end)));
  }

  // Added piece by piece, some pieces changing the last character before
  // them (an LF after a CR, continuation bytes after their lead byte).
  void anAppendedTextReadsAsTheSameTextSetWhole() {
    RichTextPane appended;
    std::string text;
    for (const std::string piece :
         {"Started...\r", "\n\xC3", "\xA9 ", "x\r\n\xF0\x9F\x93\xB7", "z\xC3\xA9\x80\r\n", "y"}) {
      appended.append_text(piece);
      text += piece;
      RichTextPane whole;
      whole.set_text(text);
      QCOMPARE(appended.text(), text);
      QCOMPARE(appended.toPlainText(), whole.toPlainText());
      QCOMPARE(appended.length(), whole.length());
      for (std::size_t at = 0; at <= whole.length(); ++at) {
        for (RichTextPane* pane : {&appended, &whole}) {
          pane->set_selection_start(at);
          pane->set_selection_length(1);
        }
        QCOMPARE(appended.textCursor().anchor(), whole.textCursor().anchor());
        QCOMPARE(appended.textCursor().position(), whole.textCursor().position());
        QCOMPARE(appended.selection_start(), whole.selection_start());
      }
    }
    QVERIFY(!appended.document()->isUndoAvailable());
  }

  void aReaderScrolledBackIsNotMovedByAnAppend() {
    RichTextPane pane;
    pane.resize(200, 60);
    pane.show();
    std::string log;
    for (int line = 0; line < 200; ++line) log += "line " + std::to_string(line) + "\r\n";
    pane.set_text(log);
    pane.verticalScrollBar()->setValue(50);
    modGeneral::log_append(pane, "line 200");
    QCOMPARE(pane.verticalScrollBar()->value(), 50);
  }

  void aHiddenPaneKeepsItsText() {
    RichTextPane pane;
    pane.hide();
    pane.set_text("kept\r\n");
    pane.show();
    QCOMPARE(pane.text(), "kept\r\n");
    QCOMPARE(pane.toPlainText(), "kept\n");
  }

  void aDiscardingPaneTakesNoKeysButItsTextCanBeSet() {
    RichTextPane pane;
    pane.set_discard_keys(true);
    pane.set_text("log\r\n");
    QTest::keyClicks(&pane, "x");
    QTest::keyClick(&pane, Qt::Key_Delete);
    QCOMPARE(pane.text(), "log\r\n");
    pane.set_text("log\r\nmore\r\n");
    QCOMPARE(pane.toPlainText(), "log\nmore\n");
  }
};

QTEST_MAIN(TestRichTextPane)
#include "tst_rich_text_pane.moc"
