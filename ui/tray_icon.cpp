// SPDX-License-Identifier: MIT
#include "ui/tray_icon.h"

#include <QAction>
#include <QMenu>
#include <QSystemTrayIcon>

#include "platform/autostart.h"

namespace kestrun::ui {
namespace {

// A tray tip holds 64 characters with its terminating NUL.
constexpr qsizetype kTipLength = 63;

}  // namespace

TrayIcon::TrayIcon(const QIcon& icon, QObject* parent)
    : QObject(parent),
      mPopupSys(new QMenu(QStringLiteral("&SysTray"))),
      mPopRestore(mPopupSys->addAction(QStringLiteral("Show main window"))),
      mSep1(mPopupSys->addSeparator()),
      mPopRun(mPopupSys->addAction(QString())),
      mSep2(mPopupSys->addSeparator()),
      mPopNotify(mPopupSys->addAction(QStringLiteral("Notify when commands finish or fail"))),
      mPopMount(mPopupSys->addAction(QStringLiteral("Mount drives that entries name"))),
      mPopLogin(mPopupSys->addAction(QStringLiteral("Start Kestrun at login"))),
      mPopExit(mPopupSys->addAction(QStringLiteral("Exit"))),
      icon_(new QSystemTrayIcon(icon, this)) {
  mPopupSys->setObjectName(QStringLiteral("mPopupSys"));
  mPopRestore->setObjectName(QStringLiteral("mPopRestore"));
  mSep1->setObjectName(QStringLiteral("mSep1"));
  mPopRun->setObjectName(QStringLiteral("mPopRun"));
  mSep2->setObjectName(QStringLiteral("mSep2"));
  mPopNotify->setObjectName(QStringLiteral("mPopNotify"));
  mPopNotify->setCheckable(true);
  mPopMount->setObjectName(QStringLiteral("mPopMount"));
  mPopMount->setCheckable(true);
  mPopLogin->setObjectName(QStringLiteral("mPopLogin"));
  mPopLogin->setCheckable(true);
  mPopExit->setObjectName(QStringLiteral("mPopExit"));

  // The menu is popped up by hand rather than set as the icon's context menu,
  // so that the menu pass always runs before it opens.
  connect(icon_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason why) {
    if (why == QSystemTrayIcon::Trigger) emit left_button_down();
    if (why == QSystemTrayIcon::Context) emit right_button_down();
  });
  connect(mPopupSys, &QMenu::aboutToShow, this, &TrayIcon::show_login_state);
}

TrayIcon::~TrayIcon() { delete mPopupSys; }

void TrayIcon::set_caption(const std::string& caption) {
  run_caption_ = caption;
  // A label may hold '&', which a menu would take for a mnemonic.
  mPopRun->setText(QString::fromStdString(caption).replace('&', QStringLiteral("&&")));
}

void TrayIcon::set_tag(const modGeneral::LaunchRequest& tag) { run_tag_ = tag; }

void TrayIcon::add(const QString& tip) {
  icon_->setToolTip(tip.left(kTipLength));
  icon_->show();
}

void TrayIcon::remove() { icon_->hide(); }

bool TrayIcon::is_added() const { return icon_->isVisible(); }

void TrayIcon::popup_menu(const QPoint& position) {
  const bool offered = !run_caption_.empty();
  mSep1->setVisible(offered);
  mPopRun->setVisible(offered);
  mPopupSys->popup(position);
}

void TrayIcon::show_login_state() { mPopLogin->setChecked(platform::autostart::is_enabled()); }

}  // namespace kestrun::ui
