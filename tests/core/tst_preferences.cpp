#include "core/Preferences.h"
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
};

QTEST_GUILESS_MAIN(TestPreferences)
#include "tst_preferences.moc"
