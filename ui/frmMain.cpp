// SPDX-License-Identifier: MIT
#include "ui/frmMain.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTimer>

#include "engine/action_log.h"
#include "engine/version.h"
#include "ui/desktop.h"
#include "ui/frmAdvanced.h"
#include "ui/frmSplash.h"
#include "ui/rich_text_pane.h"
#include "ui/tray_icon.h"
#include "ui/web_links.h"
#include "ui/write_setting.h"

namespace kestrun::ui {
namespace {

QString stored_text(modGeneral::SettingsStore& settings, const modGeneral::SettingKey& key) {
  return QString::fromStdString(settings.read(key));
}

// A box's state is kept as a whole number; anything but 1 leaves it unchecked.
bool stored_check(modGeneral::SettingsStore& settings, const modGeneral::SettingKey& key) {
  bool number = false;
  return stored_text(settings, key).trimmed().toInt(&number) == 1 && number;
}

QString check_text(const QCheckBox* box) {
  return box->isChecked() ? QStringLiteral("1") : QStringLiteral("0");
}

// Logging off or shutting down asks the application to quit, which first
// closes every window: that close must not be refused like the user's own.
class QuitWatcher : public QObject {
 public:
  QuitWatcher(bool* quitting, QObject* parent) : QObject(parent), quitting_(quitting) {
    QCoreApplication::instance()->installEventFilter(this);
  }

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == QCoreApplication::instance() && event->type() == QEvent::Quit) {
      *quitting_ = true;
    }
    return false;
  }

 private:
  bool* quitting_;
};

}  // namespace

frmMain::~frmMain() = default;

void frmMain::connect_events() {
  connect(cmdAction, &QPushButton::clicked, this, &frmMain::cmdAction_Click);
  connect(timTimer, &QTimer::timeout, this, &frmMain::timTimer_Timer);
  txtInterval->installEventFilter(this);
  connect(chkAuto, &QCheckBox::toggled, this, &frmMain::chkAuto_Click);
  connect(chkMin, &QCheckBox::toggled, this, &frmMain::chkMin_Click);
  connect(cmdRegEx, &QPushButton::clicked, this, &frmMain::cmdRegEx_Click);
  connect(Image1, &LinkLabel::clicked, this, &frmMain::Image1_Click);
  connect(Label6, &LinkLabel::clicked, this, &frmMain::Label6_Click);
  connect(tray, &TrayIcon::left_button_down, this, &frmMain::tray_left_button_down);
  connect(tray, &TrayIcon::right_button_down, this, &frmMain::tray_right_button_down);
  connect(tray->mPopRestore, &QAction::triggered, this, &frmMain::mPopRestore_Click);
  connect(tray->mPopRun, &QAction::triggered, this, &frmMain::mPopRun_Click);
  connect(tray->mPopNotify, &QAction::toggled, this, &frmMain::mPopNotify_Click);
  connect(tray->mPopMount, &QAction::triggered, this, &frmMain::mPopMount_Click);
  connect(tray->mPopLogin, &QAction::triggered, this, &frmMain::mPopLogin_Click);
  connect(tray->mPopExit, &QAction::triggered, this, &frmMain::mPopExit_Click);
  new QuitWatcher(&quitting_, this);
  context_->events = this;
  // Where the system mounts every volume itself, the item would do nothing.
  tray->mPopMount->setVisible(desktop_.can_mount_volumes());
  ejector_ = desktop_.make_ejector();
  context_->ejector = ejector_.get();
}

void frmMain::Form_Load() {
  {
    frmSplash splash(this);
    // Only its own timer closes the splash: anything else that ends its wait
    // is the program being asked to end during start-up.
    if (splash.exec() != QDialog::Accepted) return;
  }
  context_->last_drive_snapshot.clear();
  setWindowTitle(windowTitle() + QStringLiteral(" v") +
                 QString::fromStdString(modGeneral::version_text()));
  txtInterval->setText(stored_text(settings_, modGeneral::kInterval));
  saved_interval_ = txtInterval->text();
  txtAdvanced->set_text(settings_.read(modGeneral::kAdvanced));
  {
    // The boxes take the stored values; writing them straight back is needless.
    const QSignalBlocker quiet_auto(chkAuto);
    const QSignalBlocker quiet_min(chkMin);
    const QSignalBlocker quiet_notify(tray->mPopNotify);
    chkAuto->setChecked(stored_check(settings_, modGeneral::kAuto));
    chkMin->setChecked(stored_check(settings_, modGeneral::kMinimise));
    tray->mPopNotify->setChecked(stored_check(settings_, modGeneral::kNotify));
    tray->mPopMount->setChecked(stored_check(settings_, modGeneral::kMount));
  }
  set_mounting(tray->mPopMount->isChecked());
  if (chkAuto->isChecked()) cmdAction_Click();
  show();
  if (const auto problem = settings_.problem()) {
    desktop_.show_message(this,
                          QStringLiteral("Kestrun %1.\n\nUntil this is put right, Kestrun uses "
                                         "the default settings and leaves that file as it is.")
                              .arg(QString::fromStdString(problem.message)),
                          QStringLiteral("Kestrun"), true);
  }
  // Straight to the tray rather than through a minimised state: a window that
  // the program itself minimised keeps the Iconic hint on X11 while hidden,
  // and a window manager then maps it minimised again on the first restore.
  if (chkMin->isChecked() && !show_when_loaded_) minimize_to_tray();
  loaded_ = true;
}

void frmMain::cmdAction_Click() {
  if (!session_.polling()) {
    cmdAction->setText(QStringLiteral("Stop"));
    session_.start(txtInterval->text().toStdString());
  } else {
    cmdAction->setText(QStringLiteral("Start"));
    session_.stop();
  }
}

void frmMain::timTimer_Timer() {
  const auto tick = session_.tick(txtInterval->text().toStdString());
  lblTimer->setText(QString::fromStdString(tick.countdown));
}

void frmMain::txtInterval_LostFocus() {
  // Storing the stored text again changes nothing, and where the store cannot
  // be written it would blame a setting the user never touched.
  if (txtInterval->text() == saved_interval_) return;
  if (store(modGeneral::kInterval, txtInterval->text())) saved_interval_ = txtInterval->text();
  if (session_.polling()) log_interval_note();
}

// Polling with an interval that is not a number runs no timed pass; the log
// says so once, where the user looks, rather than on every tick.
void frmMain::log_interval_note() {
  const std::string note = session_.note_interval(txtInterval->text().toStdString());
  if (!note.empty()) modGeneral::log_append(*txtOutput, note);
}

void frmMain::chkAuto_Click() { store(modGeneral::kAuto, check_text(chkAuto)); }

void frmMain::chkMin_Click() { store(modGeneral::kMinimise, check_text(chkMin)); }

void frmMain::cmdRegEx_Click() {
  {
    frmAdvanced editor(*context_, desktop_);
    editor.exec();
  }
  txtAdvanced->set_text(settings_.read(modGeneral::kAdvanced));
}

// A script stored from a terminal is in use from the pass that read it; the
// view shows that script rather than the one the window last loaded.
void frmMain::script_read(const std::string& script) {
  if (script != txtAdvanced->text()) txtAdvanced->set_text(script);
}

void frmMain::Image1_Click() { open_web_page(this, desktop_, donation_page_address()); }

void frmMain::Label6_Click() { open_web_page(this, desktop_, home_page_address()); }

bool frmMain::store(const modGeneral::SettingKey& key, const QString& value) {
  // The message box takes the focus, which would store the interval again.
  if (reporting_store_failure_) return false;
  const auto failure = write_setting(settings_, key, value.toStdString());
  if (failure) report_store_failure(*failure);
  return !failure;
}

void frmMain::report_store_failure(const QString& text) {
  // A press elsewhere takes the focus from the interval box before it is
  // over: a box shown now would take its release, and the click would be lost.
  if (QGuiApplication::mouseButtons() != Qt::NoButton) {
    QTimer::singleShot(50, this, [this, text] { report_store_failure(text); });
    return;
  }
  reporting_store_failure_ = true;
  desktop_.show_message(this, text, QStringLiteral("Kestrun"), true);
  reporting_store_failure_ = false;
}

bool frmMain::eventFilter(QObject* watched, QEvent* event) {
  if (watched == txtInterval && event->type() == QEvent::FocusOut) txtInterval_LostFocus();
  return QWidget::eventFilter(watched, event);
}

}  // namespace kestrun::ui
