// SPDX-License-Identifier: MIT
#include "ui/frmSplash.h"

#include <QCloseEvent>
#include <QLabel>
#include <QPainter>
#include <QTimer>

#include "engine/version.h"
#include "ui/layout.h"

namespace kestrun::ui {
namespace {

constexpr int kBorder = 1;

QLabel* centred_label(QWidget* parent, const QString& text, qreal points) {
  auto* label = new QLabel(text, parent);
  label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  label->setFont(layout_font(Face::trebuchet, points));
  return label;
}

// The labels stand in the client area, which must be there first.
frmSplashControls controls_of(QDialog* splash) {
  auto* client = new QWidget(splash);
  return {
      .client = client,
      .Image1 = new QLabel(client),
      .Label1 = centred_label(client, QStringLiteral("Kestrun"), 14.25),
      .lblVersion = centred_label(client, QString(), 8.25),
      .Label2 = centred_label(client, QStringLiteral("Your drives, your commands."), 8.25),
      .Label3 = centred_label(client, QStringLiteral("Made by the Kestrun developers"), 8.25),
      .timTimer1 = new QTimer(splash),
  };
}

}  // namespace

frmSplash::frmSplash(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::FramelessWindowHint), frmSplashControls(controls_of(this)) {
  setObjectName(QStringLiteral("frmSplash"));
  QPalette white = palette();
  white.setColor(QPalette::Window, Qt::white);
  setPalette(white);
  setAutoFillBackground(true);

  const QSize area = twips_size(3885, 5700);
  setFixedSize(area + QSize(2 * kBorder, 2 * kBorder));
  client->setGeometry(QRect(QPoint(kBorder, kBorder), area));

  Image1->setObjectName(QStringLiteral("Image1"));
  Image1->setPixmap(QPixmap(QStringLiteral(":/kestrun/splash.png")));
  place(Image1, 0, 120, 3840, 3840);
  Label1->setObjectName(QStringLiteral("Label1"));
  place(Label1, 0, 3960, 3735, 375);
  lblVersion->setObjectName(QStringLiteral("lblVersion"));
  place(lblVersion, 120, 4320, 3615, 255);
  Label2->setObjectName(QStringLiteral("Label2"));
  place(Label2, 120, 5040, 3615, 255);
  Label3->setObjectName(QStringLiteral("Label3"));
  place(Label3, 120, 5280, 3615, 255);

  fit_captions(client);

  timTimer1->setObjectName(QStringLiteral("timTimer1"));
  timTimer1->setInterval(2500);
  connect(timTimer1, &QTimer::timeout, this, &frmSplash::timTimer1_Timer);

  centre_on_screen(this);
  Form_Load();
}

void frmSplash::Form_Load() {
  lblVersion->setText(QStringLiteral("Version ") +
                      QString::fromStdString(modGeneral::version_text()));
  timTimer1->start();
}

void frmSplash::timTimer1_Timer() {
  timTimer1->stop();
  timer_closed_ = true;
  accept();
}

void frmSplash::keyPressEvent(QKeyEvent* event) { event->accept(); }

void frmSplash::closeEvent(QCloseEvent* event) {
  if (timer_closed_) {
    event->accept();
  } else {
    event->ignore();
  }
}

void frmSplash::paintEvent(QPaintEvent* event) {
  QDialog::paintEvent(event);
  QPainter painter(this);
  painter.setPen(palette().color(QPalette::WindowText));
  painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

}  // namespace kestrun::ui
