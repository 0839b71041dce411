#include "ui/frmAdvanced.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include "ui/layout.h"
#include "ui/rich_text_pane.h"

namespace kestrun::ui {
namespace {

const QColor kDarkRed(64, 0, 0);

template <typename Widget>
Widget* named(Widget* widget, const char* name) {
  widget->setObjectName(QString::fromLatin1(name));
  return widget;
}

QLabel* dark_red_label(QWidget* parent, const QString& text, const char* name) {
  auto* label = named(new QLabel(text, parent), name);
  QPalette colours = label->palette();
  colours.setColor(QPalette::WindowText, kDarkRed);
  label->setPalette(colours);
  label->setWordWrap(true);
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  return label;
}

QLabel* example_line(QWidget* parent, const QString& text, const char* name) {
  QLabel* label = dark_red_label(parent, text, name);
  label->setFont(layout_font(Face::courier, 8.25));
  return label;
}

QPushButton* button(QWidget* parent, const QString& caption, const char* name) {
  auto* push = named(new QPushButton(caption, parent), name);
  push->setAutoDefault(false);
  return push;
}

RichTextPane* editor_pane(QWidget* parent, const char* name) {
  auto* pane = named(new RichTextPane(parent), name);
  pane->setLineWrapMode(QPlainTextEdit::NoWrap);
  pane->setTabChangesFocus(true);
  return pane;
}

}  // namespace

frmAdvanced::frmAdvanced(modGeneral::Context& context, QWidget* owner)
    : QDialog(owner,
              Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      Label8(named(new QLabel(QStringLiteral("Kestrun Script"), this), "Label8")),
      Label11(dark_red_label(
          this,
          QStringLiteral(
              "Use the syntax below so that when a USB drive with a particular volume label is "
              "inserted, this application can detect it and run an associated script or "
              "application. %1 will be replaced by the drive letter, e.g. 'c:\\'. %2 will be "
              "replaced by the volume label. %3 will be replaced with the drive letter alone, "
              "e.g. 'c'."),
          "Label11")),
      Label4(dark_red_label(this, QStringLiteral("e.g."), "Label4")),
      Label1(example_line(this, QStringLiteral("label:My USB Pen Drive"), "Label1")),
      Label3(example_line(
          this, QStringLiteral("exec:wscript \"c:\\something\\whatever.vbs\" \"%1\""), "Label3")),
      Label6(example_line(this, QStringLiteral("label:Second Pen Drive"), "Label6")),
      Label5(example_line(this, QStringLiteral("exec:wscript \"c:\\someother\\script.vbs\" \"%1\""),
                          "Label5")),
      Label9(example_line(this, QStringLiteral("menurun:wscript \"c:\\OPTIONALscript.vbs\" \"%3\""),
                          "Label9")),
      Label7(example_line(this, QStringLiteral("ignore:d:\\,e:\\,g:\\"), "Label7")),
      Label2(dark_red_label(
          this, QStringLiteral("Double-click to paste a volume label into the editor..."),
          "Label2")),
      lstDrives(named(new QListWidget(this), "lstDrives")),
      txtAdvanced(editor_pane(this, "txtAdvanced")),
      txtLog(editor_pane(this, "txtLog")),
      chkValidate(button(this, QStringLiteral("Validate"), "chkValidate")),
      cmdValidationLog(button(this, QStringLiteral("Close Validation Log"), "cmdValidationLog")),
      cmdSave(button(this, QStringLiteral("Save"), "cmdSave")),
      cmdCancel(button(this, QStringLiteral("Discard"), "cmdCancel")),
      timPoll(named(new QTimer(this), "timPoll")),
      context_(context) {
  setObjectName(QStringLiteral("frmAdvanced"));
  setWindowTitle(QStringLiteral("Edit Detection List..."));
  setFont(dialog_font());
  lay_out();

  txtLog->hide();
  cmdValidationLog->hide();
  timPoll->setInterval(5000);
  timPoll->start();
}

void frmAdvanced::lay_out() {
  setFixedSize(twips_size(11040, 7680));
  if (parentWidget() == nullptr) {
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
      QRect frame(QPoint(), size());
      frame.moveCenter(screen->availableGeometry().center());
      move(frame.topLeft());
    }
  }

  Label8->setFont(layout_font(Face::verdana, 9.75));
  place(Label8, 120, 120, 2895, 255);
  place(Label11, 120, 480, 10215, 615);
  place(Label4, 120, 1200, 855, 255);
  place(Label1, 600, 1200, 4695, 255);
  place(Label3, 600, 1440, 5175, 255);
  place(Label6, 600, 1800, 4695, 255);
  place(Label5, 600, 2040, 4695, 255);
  place(Label9, 600, 2280, 4695, 255);
  Label9->setToolTip(QStringLiteral(
      "When the device is inserted this option will appear on the system tray's menu."));
  place(Label7, 600, 2640, 4695, 255);
  Label7->setToolTip(QStringLiteral("Ignore certain drive letters"));
  place(Label2, 8520, 1200, 2415, 375);
  place(lstDrives, 8520, 1680, 2415, 810);

  txtAdvanced->setFont(layout_font(Face::courier, 8.25));
  place(txtAdvanced, 120, 3000, 10815, 4095);
  txtLog->setFont(layout_font(Face::verdana, 8.25));
  place(txtLog, 5760, 3000, 5175, 4095);

  place(chkValidate, 120, 7200, 1215, 375);
  place(cmdValidationLog, 1440, 7200, 1695, 375);
  place(cmdSave, 8520, 7200, 1215, 375);
  place(cmdCancel, 9840, 7200, 1095, 375);

  fit_captions(this);

  // The log pane lies over the editor pane and is shown on top of it.
  txtLog->raise();
  setTabOrder(txtAdvanced, cmdSave);
  setTabOrder(cmdSave, cmdCancel);
  setTabOrder(cmdCancel, chkValidate);
  setTabOrder(chkValidate, cmdValidationLog);
  setTabOrder(cmdValidationLog, txtLog);
  setTabOrder(txtLog, lstDrives);
}

void frmAdvanced::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Escape:
    case Qt::Key_Return:
    case Qt::Key_Enter:
      event->accept();
      return;
    default:
      QDialog::keyPressEvent(event);
  }
}

}  // namespace kestrun::ui
