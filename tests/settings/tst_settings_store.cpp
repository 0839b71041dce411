// SPDX-License-Identifier: MIT
// The settings store against real files in a temporary folder, and against
// QSettings, which wrote the files of earlier versions.
#include <sys/stat.h>
#include <unistd.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QSettings>
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

unsigned mode_of(const QString& path) {
  struct stat status {};
  return stat(QFile::encodeName(path).constData(), &status) == 0 ? status.st_mode & 07777 : 0;
}

// QSettings keeps every file it opened in a cache: each use gets a file of
// its own, starting from `bytes`.
QString fresh_copy(const QTemporaryDir& dir, const QByteArray& bytes) {
  static int copies = 0;
  const QString path = dir.filePath(QStringLiteral("qsettings-%1.conf").arg(++copies));
  write_file(path, bytes);
  return path;
}

// A value as earlier versions read it.
QString qsettings_read(const QTemporaryDir& dir, const QByteArray& bytes, const QString& key) {
  const QVariant value = QSettings(fresh_copy(dir, bytes), QSettings::IniFormat).value(key);
  if (!value.isValid()) return QStringLiteral("(absent)");
  if (value.userType() == QMetaType::QStringList) return value.toStringList().join(',');
  return value.toString();
}

// Text made of what INI files give meaning to, and a little of everything else.
QByteArray ini_noise(QRandomGenerator& random, int size) {
  static const QByteArray pieces[] = {
      "[Settings]", "[General]", "\\n",    "\\r",      "\\x4", "\\0",         "\\",
      "\\\\",       "\"",        ",",      ";",        "=",    " ",           "\t",
      "\n",         "\r\n",      "@",      "@@",       "%4",   "%U00e4",      "Interval",
      "Advanced",   "Auto",      "label:", "\xC3\xA4", "\xFF", "@ByteArray(", "@Invalid()",
      ")",          "a",         "7",      "#"};
  QByteArray text;
  while (text.size() < size) text += pieces[random.bounded(int(std::size(pieces)))];
  return text;
}

const modGeneral::SettingKey* const kEveryKey[] = {&kInterval, &kAdvanced, &kAuto, &kMinimise};

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
    QTest::newRow("at signs") << "@@Invalid()";
    QTest::newRow("ini syntax") << "[x]\n;a=b#c";
    QTest::newRow("script") << "label:My USB Pen Drive\r\nexec:wscript \"c:\\x.vbs\" \"%1\"\r\n";
    QTest::newRow("non-ascii") << QString::fromUtf8("label:Fotos Müller \xF0\x9F\x93\xB7");
    QTest::newRow("trailing backslash") << "E:\\";
    QTest::newRow("codes then hex digits") << QString::fromUtf8(
        "a\x01"
        "fe\x7f"
        "1\t\v\a\b\f");
    QTest::newRow("nul") << QString(QChar(0)) + "1";
    QRandomGenerator random(13);
    for (int row = 0; row < 40; ++row) {
      QTest::addRow("random %d", row) << QString::fromUtf8(ini_noise(random, row));
    }
  }
  // ...and in the very bytes QSettings wrote for earlier versions, which read
  // them back.
  void valuesComeBackVerbatim() {
    QFETCH(QString, value);
    const QByteArray before = "[Other]\nKept=\"a, b\"\n\n[Settings]\nInterval=7\nZ=@@z\n";
    const QString path = dir_->filePath("Kestrun.conf");
    write_file(path, before);
    const std::string text = value.toStdString();
    std::string error;
    QVERIFY(QtSettingsStore(path).write(kAdvanced, text, &error));
    QCOMPARE(QtSettingsStore(path).read(kAdvanced), text);

    const QString earlier = fresh_copy(*dir_, before);
    QSettings(earlier, QSettings::IniFormat).setValue("Settings/Advanced", value);
    QCOMPARE(file_bytes(path), file_bytes(earlier));
    QCOMPARE(qsettings_read(*dir_, file_bytes(path), "Settings/Advanced"), value);
  }

  // Files written by hand, damaged, or by any QSettings: every key reads as
  // it did, and a save changes no other key.
  void everyFileReadsAsItAlwaysDid() {
    QList<QByteArray> files = {
        "; a comment\n[General]\nx=1\n[Settings]\nInterval = 5 ; seconds\nAuto=1\n",
        "[Settings]\nAdvanced=label:A, exec:b\nInterval=\"7\" , 8\n",
        "[Settings]\nAdvanced=\"label:A\\r\\nexec:b\nInterval=9\n",
        "[Settings]\r\nInterval=\\x41\\101\\q\\\r\n continued\r\nAuto=@Invalid()\r\n",
        "\xEF\xBB\xBF[Settings]\nMinimise=@ByteArray(1)\nAuto=@String(1)\nInterval=@Rect(1 2 3 "
        "4)\n",
        "[General]\nSettings\\Interval=3\n[%General]\nAuto=1\n[Settings]\nInter%76al=4\n",
        "[Settings]\nAdvanced=@x, y\nAuto=@@x, y\nInterval=\"a\"\"b\"  \n[Settings]\nMinimise=1\n",
        "[settings]\ninterval=2\n[Settings\nInterval=6\n[Settings]x\nAuto=1=2\n",
        "[Settings]\nAuto=\"1\" 2 \t\nInterval=\" 3 \"\nAdvanced=a\\\"\" b\" , \"c\"\n",
    };
    QRandomGenerator random(29);
    for (int i = 0; i < 150; ++i) files.append(ini_noise(random, 1 + i % 80));

    for (const QByteArray& before : files) {
      const QString path = fresh_copy(*dir_, before);
      QtSettingsStore store(path);
      for (const auto* key : kEveryKey) {
        const QString name =
            "Settings/" + QString::fromUtf8(key->name.data(), qsizetype(key->name.size()));
        const QString earlier = qsettings_read(*dir_, before, name);
        const QString wanted =
            earlier == "(absent)"
                ? QString::fromUtf8(key->default_value.data(), qsizetype(key->default_value.size()))
                : earlier;
        const QString got = QString::fromStdString(store.read(*key));
        QVERIFY2(got == wanted, qPrintable(name + ": '" + got + "', not '" + wanted + "', in " +
                                           before.toPercentEncoding()));
      }
      QVERIFY(store.write(kMinimise, "1", nullptr));
      const QByteArray after = file_bytes(path);
      for (const auto* key : {&kInterval, &kAdvanced, &kAuto}) {
        const QString name =
            "Settings/" + QString::fromUtf8(key->name.data(), qsizetype(key->name.size()));
        QCOMPARE(qsettings_read(*dir_, after, name), qsettings_read(*dir_, before, name));
      }
      QCOMPARE(qsettings_read(*dir_, after, "Settings/Minimise"), "1");
    }
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

  // A file that is there but cannot be read is no first run: the store says
  // why, gives the defaults, and never saves over it.
  void aStoreThatCannotBeReadIsAProblem_data() {
    QTest::addColumn<QString>("relative_path");
    QTest::addColumn<QString>("reason");
    QTest::newRow("a folder") << "folder"
                              << "Is a directory";
    QTest::newRow("a file in the way") << "plain/Kestrun.conf"
                                       << "Not a directory";
    QTest::newRow("no permission") << "locked.conf"
                                   << "Permission denied";
  }
  void aStoreThatCannotBeReadIsAProblem() {
    QFETCH(QString, relative_path);
    QFETCH(QString, reason);
    if (relative_path == "locked.conf" && geteuid() == 0)
      QSKIP("permissions do not hold root back");
    write_file(dir_->filePath("plain"), "x");
    QVERIFY(QDir(dir_->path()).mkpath("folder"));
    const QString locked = dir_->filePath("locked.conf");
    write_file(locked, "[Settings]\nInterval=20\n");
    QFile::setPermissions(locked, {});

    const QString path = dir_->filePath(relative_path);
    QtSettingsStore store(path);
    QCOMPARE(store.read(kInterval), "10");
    const auto problem = store.problem();
    QCOMPARE(problem.kind, modGeneral::StoreProblem::Kind::unreadable);
    QCOMPARE(QString::fromStdString(problem.message),
             "cannot read the settings '" + path + "': " + reason);
    std::string error;
    QVERIFY(!store.write(kInterval, "45", &error));
    QCOMPARE(error, problem.message);
    QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner);
    QCOMPARE(file_bytes(locked), "[Settings]\nInterval=20\n");
    QVERIFY(!QtSettingsStore(dir_->filePath("absent/Kestrun.conf")).problem());
  }

  // As ssh treats a key: settings that another user could change, or put in
  // place, are not used and not written.
  void aStoreOthersCouldChangeIsRefused_data() {
    QTest::addColumn<int>("folder_mode");
    QTest::addColumn<int>("file_mode");
    QTest::addColumn<QString>("chown");  // "", "file" or "folder": given to uid 65534
    QTest::addColumn<int>("group");      // -1, or the group the file is given to
    QTest::addColumn<QString>("reason");
    QTest::newRow("folder open to all")
        << 0777 << 0600 << "" << -1 << "its folder '%1' can be written by other users";
    QTest::newRow("file open to all")
        << 0700 << 0646 << "" << -1 << "the file can be written by other users";
    QTest::newRow("file of another user")
        << 0700 << 0600 << "file" << -1 << "the file is owned by another user (uid 65534)";
    QTest::newRow("folder of another user")
        << 0755 << 0600 << "folder" << -1 << "its folder '%1' is owned by another user (uid 65534)";
    QTest::newRow("file open to a group") << 0700 << 0660 << "" << 100
                                          << "the file can be written by the members of group "
                                             "'users'";
  }
  void aStoreOthersCouldChangeIsRefused() {
    QFETCH(int, folder_mode);
    QFETCH(int, file_mode);
    QFETCH(QString, chown);
    QFETCH(int, group);
    QFETCH(QString, reason);
    if ((!chown.isEmpty() || group >= 0) && geteuid() != 0) QSKIP("only root can give files away");
    const QString folder = dir_->filePath("Kestrun");
    const QString path = folder + "/Kestrun.conf";
    QVERIFY(QDir(dir_->path()).mkpath("Kestrun"));
    const QByteArray bytes = "[Settings]\nInterval=20\n";
    write_file(path, bytes);
    const auto native = [](const QString& name) { return QFile::encodeName(name); };
    QCOMPARE(::chmod(native(folder).constData(), mode_t(folder_mode)), 0);
    QCOMPARE(::chmod(native(path).constData(), mode_t(file_mode)), 0);
    if (!chown.isEmpty()) {
      QCOMPARE(::chown(native(chown == "file" ? path : folder).constData(), 65534, 65534), 0);
    }
    if (group >= 0) QCOMPARE(::chown(native(path).constData(), 0, gid_t(group)), 0);

    QtSettingsStore store(path);
    QCOMPARE(store.read(kInterval), "10");
    const auto problem = store.problem();
    QCOMPARE(problem.kind, modGeneral::StoreProblem::Kind::insecure);
    QCOMPARE(QString::fromStdString(problem.message),
             "will not use the settings '" + path + "': " + QString(reason).replace("%1", folder));
    std::string error;
    QVERIFY(!store.write(kInterval, "45", &error));
    QCOMPARE(error, problem.message);
    QCOMPARE(file_bytes(path), bytes);

    // Put right, the same store uses it again.
    QCOMPARE(::chmod(native(folder).constData(), 0700), 0);
    QCOMPARE(::chown(native(folder).constData(), geteuid(), getegid()), 0);
    QCOMPARE(::chown(native(path).constData(), geteuid(), getegid()), 0);
    QCOMPARE(::chmod(native(path).constData(), 0600), 0);
    QCOMPARE(store.read(kInterval), "20");
  }

  // A new store is the user's alone; an older version's, readable by all (or
  // writable by the user's own private group, after a umask of 002), is used,
  // and becomes the user's alone at the next save.
  void aNewStoreIsPrivateAndAnOldOneBecomesSoWhenSaved_data() {
    QTest::addColumn<int>("folder_mode");
    QTest::addColumn<int>("file_mode");
    QTest::newRow("umask 022") << 0755 << 0644;
    // root's group is root's alone on Debian; other users' depend on the machine.
    if (geteuid() == 0) QTest::newRow("umask 002, a private group") << 0775 << 0664;
  }
  void aNewStoreIsPrivateAndAnOldOneBecomesSoWhenSaved() {
    QFETCH(int, folder_mode);
    QFETCH(int, file_mode);
    const QString path = dir_->filePath("config/Kestrun/Kestrun.conf");
    QVERIFY(QtSettingsStore(path).write(kAuto, "1", nullptr));
    QCOMPARE(mode_of(dir_->filePath("config")), 0700u);
    QCOMPARE(mode_of(dir_->filePath("config/Kestrun")), 0700u);
    QCOMPARE(mode_of(path), 0600u);

    const QString old_folder = dir_->filePath("old");
    const QString old_path = old_folder + "/Kestrun.conf";
    QVERIFY(QDir(dir_->path()).mkpath("old"));
    write_file(old_path, "[Settings]\nInterval=20\n");
    QCOMPARE(::chmod(QFile::encodeName(old_folder).constData(), mode_t(folder_mode)), 0);
    QCOMPARE(::chmod(QFile::encodeName(old_path).constData(), mode_t(file_mode)), 0);
    QtSettingsStore old(old_path);
    QCOMPARE(old.read(kInterval), "20");
    QVERIFY(!old.problem());
    QVERIFY(old.write(kAuto, "1", nullptr));
    QCOMPARE(mode_of(old_path), 0600u);
    QCOMPARE(mode_of(old_folder), unsigned(folder_mode));
  }

  // Reading needs no temporary folder and leaves no trace, and a file
  // rewritten or replaced is seen at the next read, however little its size
  // and time tell.
  void readsWriteNothingAndSeeEveryChange() {
    const QString path = dir_->filePath("Kestrun.conf");
    const QDateTime hour_ago = QDateTime::currentDateTime().addSecs(-3600);
    const auto put = [&](const QString& file, const QByteArray& bytes) {
      write_file(file, bytes);
      QFile opened(file);
      QVERIFY(opened.open(QIODevice::ReadWrite));
      QVERIFY(opened.setFileTime(hour_ago, QFileDevice::FileModificationTime));
    };
    put(path, "[Settings]\nInterval=11\n");
    // Nowhere to make a temporary folder.
    write_file(dir_->filePath("not a folder"), "");
    const QByteArray saved_tmpdir = qgetenv("TMPDIR");
    qputenv("TMPDIR", dir_->filePath("not a folder").toUtf8());
    QtSettingsStore store(path);
    QCOMPARE(store.read(kInterval), "11");
    put(path, "[Settings]\nInterval=22\n");
    QCOMPARE(store.read(kInterval), "22");
    put(path + ".new", "[Settings]\nInterval=33\n");
    QCOMPARE(
        ::rename(QFile::encodeName(path + ".new").constData(), QFile::encodeName(path).constData()),
        0);
    QCOMPARE(store.read(kInterval), "33");
    qputenv("TMPDIR", saved_tmpdir);
    QCOMPARE(QDir(dir_->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList({"Kestrun.conf", "not a folder"}));
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
