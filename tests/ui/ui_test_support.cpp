// SPDX-License-Identifier: MIT
#include "tests/ui/ui_test_support.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QListWidget>
#include <QMenu>
#include <QTest>
#include <QTimer>

#include "ui/rich_text_pane.h"

namespace kestrun::testing {
namespace {

int override_cursor_shape() {
  const QCursor* cursor = QGuiApplication::overrideCursor();
  return cursor ? cursor->shape() : -1;
}

}  // namespace

bool FakeDesktop::ask_yes_no(QWidget*, const QString& text, const QString& title) {
  questions.push_back({text, title, false, override_cursor_shape()});
  return answer_yes;
}

void FakeDesktop::show_message(QWidget*, const QString& text, const QString& title, bool warning) {
  messages.push_back({text, title, warning, override_cursor_shape()});
}

std::optional<platform::SystemError> FakeDesktop::open_url(const QUrl& url) {
  opened.push_back(url);
  cursor_while_opening.push_back(override_cursor_shape());
  return open_failure;
}

std::unique_ptr<modGeneral::Ejector> FakeDesktop::make_ejector() {
  struct Ejector : modGeneral::Ejector {
    explicit Ejector(FakeDesktop& desktop) : desktop(desktop) {}
    void eject(const modGeneral::LaunchRequest&, Done done) override { done(desktop.eject_answer); }
    FakeDesktop& desktop;
  };
  return std::make_unique<Ejector>(*this);
}

std::unique_ptr<QObject> FakeDesktop::mount_volumes(std::function<std::string()>,
                                                    std::function<void(const std::string&)> log) {
  mount_log = std::move(log);
  ++mounters;
  auto mounter = std::make_unique<QObject>();
  QObject::connect(mounter.get(), &QObject::destroyed, [this] {
    --mounters;
    mount_log = {};
  });
  return mounter;
}

MainWindowRig::MainWindowRig(modGeneral::DriveApi* drives)
    : settings_path(folder.filePath("Kestrun.conf")),
      settings(settings_path),
      window(
          std::make_unique<ui::frmMain>(drives ? *drives : machine, launcher, settings, desktop)),
      controls(*window) {}

modGeneral::Context& MainWindowRig::context() { return *window->context_; }

EditorRig::EditorRig(MainWindowRig& main)
    : owned(std::make_unique<ui::frmAdvanced>(main.context(), main.desktop)),
      window(*owned),
      controls(window) {}

EditorRig::EditorRig(ui::frmAdvanced& open) : window(open), controls(open) {}

bool EditorRig::show() {
  window.show();
  return QTest::qWaitForWindowExposed(&window);
}

int EditorRig::advanced_width() const { return window.advanced_span_.width; }

void choose_from_row_menu(const EditorRig& editor, int row, const QString& action) {
  QListWidget* list = editor.controls.lstDrives;
  const QPoint at = list->visualItemRect(list->item(row)).center();
  QContextMenuEvent press(QContextMenuEvent::Mouse, at, list->viewport()->mapToGlobal(at));
  QApplication::sendEvent(list->viewport(), &press);
  QMenu* menu = nullptr;
  QTRY_VERIFY((menu = editor.window.findChild<QMenu*>()) && menu->isVisible());
  QStringList captions;
  for (QAction* item : menu->actions()) captions << item->text();
  QVERIFY2(captions.contains(action), qPrintable(captions.join(", ")));
  menu->actions().at(captions.indexOf(action))->trigger();
  menu->close();
  QTRY_VERIFY(editor.window.findChild<QMenu*>() == nullptr);
}

void fire(QTimer* timer) { QVERIFY(QMetaObject::invokeMethod(timer, "timeout")); }

void when_modal_shown(const std::function<void(QWidget*)>& work) {
  // Polls rather than waits a fixed time: the dialog opens inside the code
  // under test, after this returns.
  auto* poll = new QTimer;
  poll->setInterval(5);
  QObject::connect(poll, &QTimer::timeout, poll, [poll, work] {
    if (QWidget* modal = QApplication::activeModalWidget()) {
      poll->stop();
      poll->deleteLater();
      work(modal);
    }
  });
  poll->start();
}

void MainWindowRig::load(const std::function<void()>& during_splash) {
  when_modal_shown([during_splash](QWidget* modal) {
    auto* splash = qobject_cast<ui::frmSplash*>(modal);
    QVERIFY(splash != nullptr);
    if (during_splash) during_splash();
    fire(SplashRig(*splash).controls.timTimer1);
  });
  window->Form_Load();
}

void MainWindowRig::store(const modGeneral::SettingKey& key, const std::string& value) {
  QVERIFY(settings.write(key, value, nullptr));
}

std::string MainWindowRig::stored(const modGeneral::SettingKey& key) { return settings.read(key); }

std::string MainWindowRig::log() const { return controls.txtOutput->text(); }

}  // namespace kestrun::testing
