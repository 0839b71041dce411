// The settings store against real files in a temporary folder.
#include <unistd.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "settings/qt_settings_store.h"

using kestrun::QtSettingsStore;
using modGeneral::kAdvanced;
using modGeneral::kAuto;
using modGeneral::kInterval;
using modGeneral::kMinimise;

namespace {

void write_file(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  QVERIFY(file.open(QIODevice::WriteOnly));
  file.write(bytes);
}

QByteArray file_bytes(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

class TestSettingsStore : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
  }

  void absentKeysGiveTheirDefaults() {
    const QString path = dir_->filePath("none/Kestrun.conf");
    QtSettingsStore store(path);
    QCOMPARE(store.read(kInterval), "10");
    QCOMPARE(store.read(kAdvanced), "");
    QCOMPARE(store.read(kAuto), "0");
    QCOMPARE(store.read(kMinimise), "0");
    QVERIFY2(!QFile::exists(path), "reading must not create the store");
  }

  void valuesComeBackVerbatim_data() {
    QTest::addColumn<QString>("value");
    QTest::newRow("empty") << "";
    QTest::newRow("outer spaces") << " 10 ";
    QTest::newRow("fraction") << "10.5";
    QTest::newRow("commas") << "ignore:d:\\,e:\\,g:\\";
    QTest::newRow("at sign") << "@Variant(x)";
    QTest::newRow("ini syntax") << "[x]\n;a=b#c";
    QTest::newRow("script") << "label:My USB Pen Drive\r\nexec:wscript \"c:\\x.vbs\" \"%1\"\r\n";
    QTest::newRow("non-ascii") << QString::fromUtf8("label:Fotos Müller \xF0\x9F\x93\xB7");
    QTest::newRow("trailing backslash") << "E:\\";
  }
  void valuesComeBackVerbatim() {
    QFETCH(QString, value);
    const QString path = dir_->filePath("Kestrun.conf");
    const std::string text = value.toStdString();
    std::string error;
    QVERIFY(QtSettingsStore(path).write(kAdvanced, text, &error));
    QCOMPARE(QtSettingsStore(path).read(kAdvanced), text);
    QVERIFY(file_bytes(path).startsWith("[Settings]\n"));
  }

  void everyReadSeesTheFileAsItIsNow() {
    const QString path = dir_->filePath("Kestrun.conf");
    QtSettingsStore store(path);
    QVERIFY(store.write(kInterval, "30", nullptr));
    QVERIFY(store.write(kAuto, "1", nullptr));
    QCOMPARE(store.read(kInterval), "30");

    write_file(path, "[Settings]\nInterval=25\n[Other]\nKept=yes\n");
    QCOMPARE(store.read(kInterval), "25");
    QCOMPARE(store.read(kAuto), "0");

    QVERIFY(store.write(kMinimise, "1", nullptr));
    const QByteArray bytes = file_bytes(path);
    QVERIFY2(
        bytes.contains("Interval=25") && bytes.contains("Minimise=1") && bytes.contains("Kept=yes"),
        bytes.constData());

    QFile::remove(path);
    QCOMPARE(store.read(kInterval), "10");
  }

  void anUnparseableFileGivesTheDefaults() {
    const QString path = dir_->filePath("Kestrun.conf");
    write_file(path, QByteArray("\x01\xff[[[Settings\n=\n\0Interval", 24));
    QtSettingsStore store(path);
    QCOMPARE(store.read(kInterval), "10");
    QCOMPARE(store.read(kAuto), "0");
    QVERIFY(store.write(kAuto, "1", nullptr));
    QCOMPARE(store.read(kAuto), "1");
  }

  void aStoreThatCannotBeWrittenSaysWhy_data() {
    QTest::addColumn<QString>("relative_path");
    QTest::addColumn<QString>("reason");
    QTest::newRow("folder is a file") << "plain/Kestrun.conf"
                                      << "Not a directory";
    QTest::newRow("store is a folder") << "folder"
                                       << "directory";
  }
  void aStoreThatCannotBeWrittenSaysWhy() {
    QFETCH(QString, relative_path);
    QFETCH(QString, reason);
    write_file(dir_->filePath("plain"), "x");
    QVERIFY(QDir(dir_->path()).mkpath("folder"));
    QtSettingsStore store(dir_->filePath(relative_path));
    std::string error;
    QVERIFY(!store.write(kInterval, "45", &error));
    QVERIFY2(QString::fromStdString(error).contains(reason), error.c_str());
    QCOMPARE(store.read(kInterval), "10");
  }

  // The value that could not be written must not show up at the next read.
  void aFailedWriteLeavesTheStoredValue() {
    const QString folder = dir_->filePath("locked");
    QVERIFY(QDir(dir_->path()).mkpath("locked"));
    const bool root = geteuid() == 0;
    if (root) {
      if (QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=1m", "tmpfs", folder}) != 0) {
        QSKIP("cannot mount a tmpfs here");
      }
      mounted_ = folder;
    }
    const QString path = folder + "/Kestrun.conf";
    QtSettingsStore store(path);
    QVERIFY(store.write(kInterval, "20", nullptr));
    if (root) {
      QCOMPARE(QProcess::execute("mount", {"-o", "remount,ro", folder}), 0);
    } else {
      QFile::setPermissions(path, QFile::ReadOwner);
      QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner);
    }

    std::string error;
    QVERIFY(!store.write(kInterval, "45", &error));
    QCOMPARE(QString::fromStdString(error),
             root ? QString("Read-only file system") : QString("Permission denied"));
    QCOMPARE(store.read(kInterval), "20");
    QCOMPARE(QtSettingsStore(path).read(kInterval), "20");
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  }

  void theUsersStoreFollowsXdgConfigHome() {
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", dir_->path().toUtf8());
    QtSettingsStore store;
    const QString expected = dir_->filePath("Kestrun/Kestrun.conf");
    QCOMPARE(store.location("Kestrun"), expected);
    QVERIFY(store.write(kAuto, "1", nullptr));
    QCOMPARE(file_bytes(expected), "[Settings]\nAuto=1\n");
    qputenv("XDG_CONFIG_HOME", saved);
  }

  void cleanup() {
    if (!mounted_.isEmpty()) QProcess::execute("umount", {mounted_});
    mounted_.clear();
    dir_.reset();
  }

 private:
  std::unique_ptr<QTemporaryDir> dir_;
  QString mounted_;
};

QTEST_GUILESS_MAIN(TestSettingsStore)
#include "tst_settings_store.moc"
