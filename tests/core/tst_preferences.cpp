#include "core/GlobalLogger.h"
#include "core/Preferences.h"
#include "support/FullDisk.h"
#include "support/TestAppData.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

#include <sys/stat.h>

using Prop = Preferences::BoolProperty;

namespace {

QString SettingsPath()
{
    return TestSupport::AppDataPath(QStringLiteral("settings.ini"));
}

QByteArray ReadBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// What Qt's own reader makes of these bytes, read from a path of its own: QSettings keeps what it
// read by path for the whole process, so a reader on the settings file's path might be served
// from memory.
QVariantMap ReadWithQt(const QByteArray& bytes)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("copy.ini"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return {};
    file.close();
    QSettings settings(path, QSettings::IniFormat);
    QVariantMap all;
    for (const QString& key : settings.allKeys())
        all.insert(key, settings.value(key));
    return all;
}

// A settings file to start from: the consent, stored by settings that have ended.
bool StoreConsent(const QString& path)
{
    Preferences prefs;
    prefs.setBool(Prop::license_accepted, true);
    return QTest::qWaitFor([&] { return ReadBytes(path).contains("license_accepted=true"); }, 10000);
}

// What another reader of the file sees.
QVariant StoredValue(const QString& key)
{
    QSettings file(SettingsPath(), QSettings::IniFormat);
    return file.value(key);
}

} // namespace

class TestPreferences : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        TestSupport::UseTestAppData();
        qRegisterMetaType<Preferences::BoolProperty>();
    }

    void init() { TestSupport::ClearAppData(); }

    void firstStartGivesDefaults()
    {
        Preferences prefs;
        QVERIFY(!prefs.getBool(Prop::license_accepted));
        QVERIFY(!prefs.getBool(Prop::minimize_to_tray));
        QVERIFY(QFileInfo(SettingsPath()).dir().exists());
        QVERIFY(!QFileInfo::exists(SettingsPath()));
    }

    void changeIsStoredAndAnnounced()
    {
        {
            Preferences prefs;
            QSignalSpy changed(&prefs, &Preferences::boolChanged);
            prefs.setBool(Prop::minimize_to_tray, true);
            QCOMPARE(changed.size(), 1);
            QCOMPARE(changed[0][0].value<Preferences::BoolProperty>(), Prop::minimize_to_tray);
            QVERIFY(prefs.getBool(Prop::minimize_to_tray));
            QVERIFY(!prefs.getBool(Prop::license_accepted));
        }
        QCOMPARE(StoredValue("minimize_to_tray").toBool(), true);
        QVERIFY(!StoredValue("license_accepted").isValid());

        Preferences again;
        QVERIFY(again.getBool(Prop::minimize_to_tray));
        QVERIFY(!again.getBool(Prop::license_accepted));
    }

    void sameValueWritesAndSignalsNothing_data()
    {
        QTest::addColumn<bool>("stored");
        QTest::newRow("default false") << false;
        QTest::newRow("stored true") << true;
    }
    void sameValueWritesAndSignalsNothing()
    {
        QFETCH(bool, stored);
        if (stored) {
            Preferences prefs;
            prefs.setBool(Prop::license_accepted, true);
        }
        const QByteArray before = [] {
            QFile file(SettingsPath());
            return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("absent");
        }();
        {
            Preferences prefs;
            QSignalSpy changed(&prefs, &Preferences::boolChanged);
            prefs.setBool(Prop::license_accepted, stored);
            QCOMPARE(changed.size(), 0);
        }
        QFile file(SettingsPath());
        QCOMPARE(file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("absent"), before);
    }

    void valuesAreReadOnceAtStart()
    {
        Preferences prefs;
        {
            QSettings other(SettingsPath(), QSettings::IniFormat);
            other.setValue("license_accepted", true);
        }
        QVERIFY(!prefs.getBool(Prop::license_accepted));
    }

    void readsWhatTheFileSays_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("true") << QByteArray("license_accepted=true\n") << true;
        QTest::newRow("false") << QByteArray("license_accepted=false\n") << false;
        // Every row's file differs in size: QSettings caches a parsed file per process and takes it as
        // unchanged when both its size and its modification second are the same.
        QTest::newRow("garbage") << QByteArray("license_accepted=perhaps\n") << true;
        QTest::newRow("empty value") << QByteArray("license_accepted=\n") << false;
        QTest::newRow("not ini") << QByteArray("\x00\x01\x02 nonsense [[[", 17) << false;
        QTest::newRow("in a group") << QByteArray("[General2]\nlicense_accepted=true\n") << false;
    }
    void readsWhatTheFileSays()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, accepted);
        QDir().mkpath(QFileInfo(SettingsPath()).absolutePath());
        QFile file(SettingsPath());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
        file.close();
        Preferences prefs;
        QCOMPARE(prefs.getBool(Prop::license_accepted), accepted);
        QVERIFY(!prefs.getBool(Prop::minimize_to_tray));
    }

    void eqNamesAreKeptPerModelAndFamily_data()
    {
        QTest::addColumn<uint>("type");
        QTest::addColumn<uint>("hw");
        QTest::addColumn<QString>("key");
        QTest::newRow("kestrin ps headset") << 1u << 0u << "kestrin/ps/eq_names";
        QTest::newRow("kestrin ps dongle") << 1u << 1u << "kestrin/ps/eq_names";
        QTest::newRow("kestrin xbox headset") << 1u << 2u << "kestrin/xbox/eq_names";
        QTest::newRow("kestrin_2 xbox dongle") << 2u << 3u << "kestrin_2/xbox/eq_names";
        QTest::newRow("anc ps") << 3u << 0u << "kestrin_2_anc/ps/eq_names";
        QTest::newRow("unknown hardware") << 2u << 4u << "kestrin_2/xbox/eq_names";
        QTest::newRow("far out hardware") << 3u << 0xFFFFFFFFu << "kestrin_2_anc/xbox/eq_names";
    }
    void eqNamesAreKeptPerModelAndFamily()
    {
        QFETCH(uint, type);
        QFETCH(uint, hw);
        QFETCH(QString, key);
        const QStringList names{"Bass", "", "Night, late", "Voix \u00e9t\u00e9 = \"ok\""};
        {
            Preferences prefs;
            prefs.setKestrinEqNames(DeviceType(type), KestrinHwType(hw), names);
            QCOMPARE(prefs.readKestrinEqNames(DeviceType(type), KestrinHwType(hw)), names);
        }
        QCOMPARE(StoredValue(key).toStringList(), names);
        QSettings file(SettingsPath(), QSettings::IniFormat);
        QCOMPARE(file.allKeys(), QStringList{key});

        Preferences again;
        QCOMPARE(again.readKestrinEqNames(DeviceType(type), KestrinHwType(hw)), names);
    }

    void familiesDoNotShareNames()
    {
        Preferences prefs;
        prefs.setKestrinEqNames(DeviceType::kestrin, KestrinHwType::ps_headset, {"P1", "P2", "P3", "P4"});
        prefs.setKestrinEqNames(DeviceType::kestrin, KestrinHwType::xbox_dongle, {"X1", "X2", "X3", "X4"});
        QCOMPARE(prefs.readKestrinEqNames(DeviceType::kestrin, KestrinHwType::ps_dongle),
                 (QStringList{"P1", "P2", "P3", "P4"}));
        QCOMPARE(prefs.readKestrinEqNames(DeviceType::kestrin, KestrinHwType::xbox_headset),
                 (QStringList{"X1", "X2", "X3", "X4"}));
        QVERIFY(prefs.readKestrinEqNames(DeviceType::kestrin_2, KestrinHwType::ps_headset).isEmpty());
    }

    void emptyNamesRemoveTheKey_data()
    {
        QTest::addColumn<QStringList>("names");
        QTest::newRow("four empty") << QStringList{"", "", "", ""};
        QTest::newRow("none") << QStringList{};
    }
    void emptyNamesRemoveTheKey()
    {
        QFETCH(QStringList, names);
        Preferences prefs;
        prefs.setKestrinEqNames(DeviceType::kestrin_2, KestrinHwType::xbox_headset, {"A", "B", "C", "D"});
        prefs.setKestrinEqNames(DeviceType::kestrin_2, KestrinHwType::ps_headset, {"E", "F", "G", "H"});
        prefs.setKestrinEqNames(DeviceType::kestrin_2, KestrinHwType::xbox_headset, names);
        QVERIFY(prefs.readKestrinEqNames(DeviceType::kestrin_2, KestrinHwType::xbox_headset).isEmpty());
        QSettings file(SettingsPath(), QSettings::IniFormat);
        QCOMPARE(file.allKeys(), QStringList{"kestrin_2/ps/eq_names"});
    }

    // Clearing names that were never stored leaves nothing to write: no failure to report either,
    // or the log would send whoever reads it looking for a full disk.
    void nothingToWriteLogsNoFailure()
    {
        const QTemporaryDir logs;
        QVERIFY(logs.isValid());
        const QString logPath = logs.filePath(QStringLiteral("run.log"));
        GlobalLogger::Instance()->initFile(logPath);
        const QString path = SettingsPath();
        QVERIFY(StoreConsent(path));
        const QByteArray before = ReadBytes(path);
        {
            Preferences prefs;
            prefs.setKestrinEqNames(DeviceType::kestrin, KestrinHwType::ps_headset, {"", "", "", ""});
            QCoreApplication::sendPostedEvents();
        }
        GlobalLogger::Instance()->message(QtDebugMsg, "-- end of test --");
        const QString log = QString::fromUtf8(ReadBytes(logPath));
        QVERIFY(log.contains(QStringLiteral("-- end of test --")));
        QVERIFY2(!log.contains(QStringLiteral("could not be written")), qPrintable(log));
        QCOMPARE(ReadBytes(path), before);
    }

    void unknownDeviceTypeIsRefused()
    {
        Preferences prefs;
        prefs.setKestrinEqNames(DeviceType(9), KestrinHwType::ps_headset, {"A"});
        QVERIFY(prefs.readKestrinEqNames(DeviceType(9), KestrinHwType::ps_headset).isEmpty());
        QSettings file(SettingsPath(), QSettings::IniFormat);
        QVERIFY(file.allKeys().isEmpty());
    }

    void bothSwitchesAndNamesLiveSideBySide()
    {
        {
            Preferences prefs;
            prefs.setBool(Prop::license_accepted, true);
            prefs.setKestrinEqNames(DeviceType::kestrin, KestrinHwType::ps_headset, {"A"});
            prefs.setBool(Prop::minimize_to_tray, true);
            prefs.setBool(Prop::minimize_to_tray, false);
        }
        Preferences again;
        QVERIFY(again.getBool(Prop::license_accepted));
        QVERIFY(!again.getBool(Prop::minimize_to_tray));
        QCOMPARE(again.readKestrinEqNames(DeviceType::kestrin, KestrinHwType::ps_headset), QStringList{"A"});
    }

    // A link in place of the settings file is replaced by a plain file with the same settings; the
    // file it pointed to is never written.
    void linkedSettingsFileIsReplaced()
    {
        QTemporaryDir outside;
        const QString target = outside.filePath("settings.ini");
        {
            QFile file(target);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("[General]\nlicense_accepted=true\n");
        }
        const QString path = TestSupport::AppDataPath("settings.ini");
        QVERIFY(QDir().mkpath(TestSupport::AppDataPath()));
        QVERIFY(QFile::link(target, path));
        {
            Preferences preferences;
            QVERIFY(preferences.getBool(Preferences::BoolProperty::license_accepted));
            preferences.setBool(Preferences::BoolProperty::minimize_to_tray, true);
        }
        QVERIFY(!QFileInfo(path).isSymLink());
        QFile file(target);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("[General]\nlicense_accepted=true\n"));
        Preferences again;
        QVERIFY(again.getBool(Preferences::BoolProperty::license_accepted));
        QVERIFY(again.getBool(Preferences::BoolProperty::minimize_to_tray));
    }

    // A FIFO in place of the settings file is never opened: the settings start from their
    // defaults and live in memory for the run.
    void fifoSettingsFileIsRefused()
    {
        const QString path = TestSupport::AppDataPath("settings.ini");
        QVERIFY(QDir().mkpath(TestSupport::AppDataPath()));
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        Preferences preferences;
        QVERIFY(!preferences.getBool(Preferences::BoolProperty::license_accepted));
        preferences.setBool(Preferences::BoolProperty::license_accepted, true);
        QVERIFY(preferences.getBool(Preferences::BoolProperty::license_accepted));
        QVERIFY(QFileInfo(path).exists() && !QFileInfo(path).isFile());
    }

    // A change made while the disk is full leaves the old file as it was, with a warning in the
    // log; it stays in memory and is written whole, with everything else, by the next change once
    // there is room again. Either no block is free at all, or one: room for QSettings' lock file
    // but not for the settings, where Qt's own INI writer would rename a short file over the old.
    void fullDiskKeepsTheOldSettings_data()
    {
        QTest::addColumn<int>("freeBytes");
        QTest::newRow("not a block free") << 0;
        QTest::newRow("room for the lock file only") << 4096;
    }
    void fullDiskKeepsTheOldSettings()
    {
        const QString folder = TestSupport::AppDataPath();
        if (!TestSupport::IsFullDiskRun())
            VELMOR_RUN_ON_FULL_DISK(folder, "TestPreferences", "fullDiskKeepsTheOldSettings");
        QFETCH(int, freeBytes);
        // The log lies beside the small file system, where it can still be written.
        const QString logPath = QDir::cleanPath(folder + QStringLiteral("/../full-disk-%1.log").arg(freeBytes));
        GlobalLogger::Instance()->initFile(logPath);
        const QString path = SettingsPath();
        const QStringList psNames{"Rock, loud", "\"Jazz\"", "Caf\u00e9", ""};

        Preferences prefs;
        prefs.setBool(Prop::license_accepted, true);
        prefs.setKestrinEqNames(DeviceType::kestrin, KestrinHwType::ps_headset, psNames);
        QTRY_VERIFY_WITH_TIMEOUT(ReadBytes(path).contains("license_accepted=true"), 10000);
        const QByteArray before = ReadBytes(path);

        QVERIFY(TestSupport::FillDisk(folder));
        const QString filler = folder + QStringLiteral("/filler");
        QVERIFY(QFile::resize(filler, QFileInfo(filler).size() - freeBytes));
        prefs.setBool(Prop::minimize_to_tray, true);
        prefs.setKestrinEqNames(DeviceType::kestrin, KestrinHwType::xbox_headset, {"Late"});
        const QString warning = QStringLiteral("The settings file %1 could not be written").arg(path);
        QTRY_VERIFY_WITH_TIMEOUT(QString::fromUtf8(ReadBytes(logPath)).contains(warning), 10000);
        QCOMPARE(ReadBytes(path), before);
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name),
                 (QStringList{"filler", "settings.ini"}));
        QVERIFY(prefs.getBool(Prop::minimize_to_tray));
        QCOMPARE(prefs.readKestrinEqNames(DeviceType::kestrin, KestrinHwType::xbox_headset), QStringList{"Late"});

        QVERIFY(QFile::remove(filler));
        prefs.setBool(Prop::license_accepted, false);
        QTRY_VERIFY_WITH_TIMEOUT(ReadBytes(path).contains("license_accepted=false"), 10000);
        const QVariantMap stored = ReadWithQt(ReadBytes(path));
        QCOMPARE(stored.keys(),
                 (QStringList{"kestrin/ps/eq_names", "kestrin/xbox/eq_names", "license_accepted", "minimize_to_tray"}));
        QCOMPARE(stored.value("license_accepted").toBool(), false);
        QCOMPARE(stored.value("minimize_to_tray").toBool(), true);
        QCOMPARE(stored.value("kestrin/ps/eq_names").toStringList(), psNames);
        QCOMPARE(stored.value("kestrin/xbox/eq_names").toStringList(), QStringList{"Late"});
    }

    // The last changes are written as the settings end (the application quits before QSettings
    // wrote them): with no block free, that fails with the same warning, and the old file stays.
    void fullDiskAtTheEndIsLogged()
    {
        const QString folder = TestSupport::AppDataPath();
        if (!TestSupport::IsFullDiskRun())
            VELMOR_RUN_ON_FULL_DISK(folder, "TestPreferences", "fullDiskAtTheEndIsLogged");
        const QString logPath = QDir::cleanPath(folder + QStringLiteral("/../full-disk-at-end.log"));
        GlobalLogger::Instance()->initFile(logPath);
        const QString path = SettingsPath();
        QVERIFY(StoreConsent(path));
        const QByteArray before = ReadBytes(path);
        QVERIFY(TestSupport::FillDisk(folder));
        {
            Preferences prefs;
            prefs.setBool(Prop::minimize_to_tray, true);
        }
        const QString warning = QStringLiteral("The settings file %1 could not be written").arg(path);
        QVERIFY2(QString::fromUtf8(ReadBytes(logPath)).contains(warning), ReadBytes(logPath).constData());
        QCOMPARE(ReadBytes(path), before);
    }
};

QTEST_GUILESS_MAIN(TestPreferences)
#include "tst_preferences.moc"
