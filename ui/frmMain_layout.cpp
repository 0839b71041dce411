// SPDX-License-Identifier: MIT
// The main window's controls and where they stand.
#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "ui/desktop.h"
#include "ui/frmMain.h"
#include "ui/layout.h"
#include "ui/rich_text_pane.h"
#include "ui/tray_icon.h"
#include "ui/web_links.h"

namespace kestrun::ui {
namespace {

QLabel* heading(QWidget* parent, const QString& text, const char* name, const Twips& at) {
  auto* label = named(new QLabel(text, parent), name, at);
  label->setFont(layout_font(Face::verdana, 9.75));
  return label;
}

// The two panes show text but take no keys, and the Tab key passes them by.
RichTextPane* view_pane(QWidget* parent, const char* name, const Twips& at) {
  auto* pane = named(new RichTextPane(parent), name, at);
  pane->set_discard_keys(true);
  pane->setFocusPolicy(Qt::ClickFocus);
  pane->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  return pane;
}

template <typename Label>
Label* credit_label(Label* label, const QString& text, const char* name, const Twips& at) {
  named(label, name, at)->setText(text);
  label->setFont(layout_font(Face::trebuchet, 8.25, true));
  label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  return label;
}

}  // namespace

frmMain::frmMain(modGeneral::DriveApi& drives, modGeneral::Launcher& launcher,
                 modGeneral::SettingsStore& settings, Desktop& desktop, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      frmMainControls{
          .Label9 = heading(this, QStringLiteral("Main Settings"), "Label9", {120, 120, 2175, 255}),
          .cmdAction = named(new QPushButton(QStringLiteral("Start"), this), "cmdAction",
                             {5280, 240, 1935, 855}),
          // The check boxes reach to the Start button (2295 twips wide as
          // drawn) so that their captions fit in the faces desktops have.
          .chkAuto = named(new QCheckBox(QStringLiteral("Start timer when app starts?"), this),
                           "chkAuto", {2640, 280, 2520, 375}),
          .Label3 = named(new QLabel(QStringLiteral("Poll Interval (sec):"), this), "Label3",
                          {120, 495, 1455, 255}),
          .txtInterval = named(new QLineEdit(QStringLiteral("60"), this), "txtInterval",
                               {1680, 480, 735, 285}),
          .chkMin = named(new QCheckBox(QStringLiteral("Minimise on automatic start?"), this),
                          "chkMin", {2640, 600, 2520, 375}),
          .Label7 = heading(this, QStringLiteral("Configuration"), "Label7", {120, 960, 1815, 255}),
          .Label11 =
              named(new QLabel(QStringLiteral("Edit the list of USB volume labels you're polling "
                                              "for, and the script/application you'd like to "
                                              "execute when the USB drive is connected."),
                               this),
                    "Label11", {120, 1320, 7095, 495}),
          .txtAdvanced = view_pane(this, "txtAdvanced", {360, 1920, 6015, 1335}),
          .cmdRegEx = named(new QPushButton(QStringLiteral("..."), this), "cmdRegEx",
                            {6480, 1920, 375, 1335}),
          .Line1 = named(new QFrame(this), "Line1"),
          .Label12 = heading(this, QStringLiteral("Action Log"), "Label12", {120, 3600, 2175, 255}),
          .lblTimer = named(new QLabel(this), "lblTimer", {6000, 3600, 1215, 255}),
          .txtOutput = view_pane(this, "txtOutput", {120, 3885, 7095, 2385}),
          .Label4 =
              credit_label(new QLabel(this),
                           QStringLiteral("Kestrun runs your commands when your drives arrive."),
                           "Label4", {120, 6360, 6015, 255}),
          .Image1 = named(new LinkLabel(this), "Image1", {6240, 6480, 930, 465}),
          .Label6 = credit_label(new LinkLabel(this), home_page_caption(), "Label6",
                                 {2040, 6840, 2295, 255}),
          .timTimer = named(new QTimer(this), "timTimer"),
          .tray = named(new TrayIcon(program_icon(), this), "tray")},
      settings_(settings),
      desktop_(desktop),
      context_(new modGeneral::Context{drives, launcher, settings, *txtOutput, *tray, {}}),
      driver_(*context_, *timTimer,
              [&desktop](std::function<void()> changed) {
                return desktop.watch_volumes(std::move(changed));
              }),
      session_(driver_.session()) {
  setObjectName(QStringLiteral("frmMain"));
  setWindowTitle(QStringLiteral("Kestrun"));
  setWindowIcon(program_icon());
  setFont(dialog_font());
  lay_out();
  connect_events();
}

void frmMain::lay_out() {
  setFixedSize(twips_size(7350, 7185));
  centre_on_screen(this);

  cmdAction->setFont(layout_font(Face::verdana, 12, true));
  set_colour(Label11, QPalette::WindowText, kDarkRed);
  Label11->setWordWrap(true);
  Label11->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  set_colour(txtAdvanced, QPalette::Base, QColor(224, 224, 224));
  txtAdvanced->setFont(layout_font(Face::courier, 8.25));
  txtAdvanced->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  cmdRegEx->setToolTip(QStringLiteral("Edit script"));

  Line1->setFrameShape(QFrame::HLine);
  Line1->setFrameShadow(QFrame::Plain);
  Line1->setLineWidth(1);
  Line1->setGeometry(QRect(QPoint(pixels(120), pixels(3480)), QPoint(pixels(7200), pixels(3480))));

  lblTimer->setAlignment(Qt::AlignRight | Qt::AlignTop);
  txtOutput->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  Image1->setPixmap(QPixmap(QStringLiteral(":/kestrun/donate.png")));
  Image1->setToolTip(QStringLiteral("Click to show your support!"));

  timTimer->setInterval(1000);
  fit_captions(this);

  setTabOrder(txtInterval, chkAuto);
  setTabOrder(chkAuto, cmdAction);
  setTabOrder(cmdAction, txtAdvanced);
  setTabOrder(txtAdvanced, cmdRegEx);
  setTabOrder(cmdRegEx, txtOutput);
  setTabOrder(txtOutput, chkMin);
}

}  // namespace kestrun::ui
