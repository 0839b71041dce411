// SPDX-License-Identifier: MIT
// The one-instance lock and the socket a running Kestrun answers on, within
// one process; tests/ui/single_instance_test.sh starts real programs.
#include <QLocalSocket>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "instance/single_instance.h"

using kestrun::instance::Role;
using kestrun::instance::SingleInstance;

namespace {

QLocalSocket* connect_to(const QTemporaryDir& folder, QObject* parent) {
  auto* socket = new QLocalSocket(parent);
  socket->connectToServer(folder.filePath("kestrun.socket"));
  return socket;
}

}  // namespace

class TestSingleInstance : public QObject {
  Q_OBJECT

 private slots:
  void aSecondClaimNamesTheHolderAndTheHolderAnswersOnlyTheRequest() {
    QTemporaryDir folder;
    SingleInstance first(Role::window, folder.path());
    QCOMPARE(first.claim(), SingleInstance::Claim::first);
    SingleInstance second(Role::window, folder.path());
    QCOMPARE(second.claim(), SingleInstance::Claim::taken);
    QCOMPARE(second.other_pid(), QCoreApplication::applicationPid());
    QCOMPARE(kestrun::instance::already_running(42), "Kestrun is already running (process 42)");

    QSignalSpy shown(&first, &SingleInstance::show_requested);
    QObject sockets;
    QLocalSocket* chatter = connect_to(folder, &sockets);
    chatter->write(QByteArray(200, 'x'));
    QTRY_COMPARE(chatter->state(), QLocalSocket::UnconnectedState);
    QLocalSocket* stranger = connect_to(folder, &sockets);
    stranger->write("open\n");
    QTRY_COMPARE(stranger->state(), QLocalSocket::UnconnectedState);
    QCOMPARE(shown.count(), 0);

    QLocalSocket* kestrun = connect_to(folder, &sockets);
    kestrun->write("show\n");
    QTRY_VERIFY(kestrun->canReadLine());
    QCOMPARE(kestrun->readLine(), "window\n");
    QTRY_COMPARE(shown.count(), 1);
  }

  void aHeadlessHolderSaysSoAndShowsNothing() {
    QTemporaryDir folder;
    SingleInstance service(Role::headless, folder.path());
    QCOMPARE(service.claim(), SingleInstance::Claim::first);
    QSignalSpy shown(&service, &SingleInstance::show_requested);
    QObject sockets;
    QLocalSocket* kestrun = connect_to(folder, &sockets);
    kestrun->write("show\n");
    QTRY_VERIFY(kestrun->canReadLine());
    QCOMPARE(kestrun->readLine(), "headless\n");
    QCOMPARE(shown.count(), 0);
  }

  // Kestrun still starts, and --headless still runs, where no lock can be made.
  void aLockThatCannotBeMadeLeavesTheStartUnguarded() {
    QTemporaryDir folder;
    SingleInstance missing(Role::window, folder.filePath("gone"));
    QCOMPARE(missing.claim(), SingleInstance::Claim::unguarded);
    QVERIFY2(missing.error().contains("kestrun.lock"), qPrintable(missing.error()));
    SingleInstance nowhere(Role::headless, QString());
    QCOMPARE(nowhere.claim_or_refusal(), std::nullopt);
  }
};

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "tst_single_instance.moc"
