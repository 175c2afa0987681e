#include "FakeAppServices.h"

#include "device_models/KestrinDeviceModel.h"
#include "devices/DeviceProxy.h"
#include "support/FullDisk.h"
#include "support/devices/TestKestrinDevice.h"
#include "ui_mediators/UIKesSettingsMediator.h"
#include "ui_models/UIKesEqBandsModel.h"

#include <QFile>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

using TestSupport::TestKestrinDevice;
using UIMediators::UIKesSettingsMediator;
using Time = UIKesSettingsMediator::Time;

class TestUiSettings : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init();
    void cleanup();

    void timeTable_data();
    void timeTable();
    void autoPowerOffFromTheHeadset_data();
    void autoPowerOffFromTheHeadset();
    void setShutdownTime();
    void volumeLimiterFromTheHeadset_data();
    void volumeLimiterFromTheHeadset();
    void volumeLimiterWritesTheAmpGain();
    void ancIndex();
    void ancIndexRefusals_data();
    void ancIndexRefusals();
    void writesOutsideAByteAreRefused();
    void writesComeBackAsNotifications();
    void modelReadyNotifiesEveryProperty();
    void customNamesAreFourLong_data();
    void customNamesAreFourLong();
    void setCustomEqNameStoresTheNames();
    void currentEqName();

    void saveWritesOneSignedBytePerBand();
    void saveAndLoadRoundTrip();
    void loadNamesThePresetUpToTheFirstDot();
    void loadRefusals_data();
    void loadRefusals();
    void saveFailureKeepsTheOldFile_data();
    void saveFailureKeepsTheOldFile();
    void saveOnAFullDiskKeepsTheOldFile();

private:
    void connectDevice(DeviceType type, TestKestrinDevice::State values = TestKestrinDevice::State(),
                       KestrinHwType hw = KestrinHwType::ps_headset);
    QUrl fileUrl(const QString& name) const { return QUrl::fromLocalFile(m_dir->filePath(name)); }
    QList<int> bandGains() const;
    void selectPreset(int index);

    FakeAppServices* m_app = nullptr;
    Devices::DeviceProxy* m_proxy = nullptr;
    DeviceModels::KestrinDeviceModel* m_model = nullptr;
    UIKesSettingsMediator* m_settings = nullptr;
    std::shared_ptr<TestKestrinDevice> m_device;
    QTemporaryDir* m_dir = nullptr;
};

void TestUiSettings::init()
{
    m_dir = new QTemporaryDir;
    QVERIFY(m_dir->isValid());
    m_app = new FakeAppServices;
    m_proxy = new Devices::DeviceProxy;
    m_model = new DeviceModels::KestrinDeviceModel(m_proxy);
    m_settings = new UIKesSettingsMediator(*m_app->getPreferences(), *m_model, nullptr);
    // As the headset UI model does.
    connect(m_model, &DeviceModels::KestrinDeviceModel::deviceReady, m_settings, &UIKesSettingsMediator::onModelReady);
}

void TestUiSettings::cleanup()
{
    delete m_settings;
    delete m_model;
    delete m_proxy;
    m_device.reset();
    // Names stored by one test must not reach the next.
    for (DeviceType type : {DeviceType::kestrin, DeviceType::kestrin_2, DeviceType::kestrin_2_anc}) {
        for (KestrinHwType hw : {KestrinHwType::ps_headset, KestrinHwType::xbox_headset})
            m_app->getPreferences()->setKestrinEqNames(type, hw, QStringList());
    }
    delete m_app;
    delete m_dir;
}

namespace {

// A simulated headset with its four custom presets, flat unless `values` gives them.
std::shared_ptr<TestKestrinDevice> SimulatedHeadset(DeviceType type, TestKestrinDevice::State values, KestrinHwType hw)
{
    TestKestrinDevice::Options options;
    options.type = type;
    options.category = Devices::DeviceCategory::Software;
    options.hwType = hw;
    const auto flat = TestKestrinDevice::CustomPresets();
    values.bands.insert(flat.begin(), flat.end());
    return std::make_shared<TestKestrinDevice>(options, values);
}

} // namespace

void TestUiSettings::connectDevice(DeviceType type, TestKestrinDevice::State values, KestrinHwType hw)
{
    m_device = SimulatedHeadset(type, values, hw);
    QVERIFY(m_proxy->setDevice(m_device));
}

// As the screens do; a custom preset's bands arrive from the model's worker a moment later.
void TestUiSettings::selectPreset(int index)
{
    m_settings->setEqIndex(index);
    if (index >= 7 && index <= 10)
        QTRY_VERIFY(m_settings->eqBands()->isEqCustom());
}

QList<int> TestUiSettings::bandGains() const
{
    QList<int> out;
    auto* bands = m_settings->eqBands();
    for (int row = 0; row < bands->rowCount(); ++row)
        out.append(bands->index(row).data(UIModels::UIKesEqBandsModel::gainRole).toInt());
    return out;
}

void TestUiSettings::timeTable_data()
{
    QTest::addColumn<int>("seconds");
    QTest::addColumn<int>("time");
    QTest::addColumn<int>("stepSeconds");

    QTest::newRow("0 is never") << 0 << int(UIKesSettingsMediator::Never) << 0;
    QTest::newRow("1") << 1 << int(UIKesSettingsMediator::Minutes_5) << 300;
    QTest::newRow("300") << 300 << int(UIKesSettingsMediator::Minutes_5) << 300;
    QTest::newRow("301") << 301 << int(UIKesSettingsMediator::Minutes_10) << 600;
    QTest::newRow("900") << 900 << int(UIKesSettingsMediator::Minutes_15) << 900;
    QTest::newRow("1000") << 1000 << int(UIKesSettingsMediator::Minutes_30) << 1800;
    QTest::newRow("2700") << 2700 << int(UIKesSettingsMediator::Minutes_45) << 2700;
    QTest::newRow("3600") << 3600 << int(UIKesSettingsMediator::Hours_1) << 3600;
    QTest::newRow("3601") << 3601 << int(UIKesSettingsMediator::Hours_1_5) << 5400;
    QTest::newRow("7200") << 7200 << int(UIKesSettingsMediator::Hours_2) << 7200;
    QTest::newRow("14400") << 14400 << int(UIKesSettingsMediator::Hours_4) << 14400;
    QTest::newRow("21600") << 21600 << int(UIKesSettingsMediator::Hours_6) << 21600;
    QTest::newRow("30000") << 30000 << int(UIKesSettingsMediator::Hours_6) << 21600;
    QTest::newRow("65535") << 65535 << int(UIKesSettingsMediator::Hours_6) << 21600;
}

void TestUiSettings::timeTable()
{
    QFETCH(int, seconds);
    QFETCH(int, time);
    QFETCH(int, stepSeconds);
    QCOMPARE(int(UIKesSettingsMediator::SecondsToTime(uint16_t(seconds))), time);
    QCOMPARE(int(UIKesSettingsMediator::TimeToSeconds(Time(time))), stepSeconds);
    // Values beside the table have no seconds of their own.
    QCOMPARE(int(UIKesSettingsMediator::TimeToSeconds(Time(-1))), 0);
    QCOMPARE(int(UIKesSettingsMediator::TimeToSeconds(Time(11))), 0);
}

void TestUiSettings::autoPowerOffFromTheHeadset_data()
{
    QTest::addColumn<int>("reported");
    QTest::addColumn<int>("shown");
    QTest::addColumn<int>("written");

    QTest::newRow("between steps, rounded up") << 1000 << int(UIKesSettingsMediator::Minutes_30) << 1800;
    QTest::newRow("above the last step") << 30000 << int(UIKesSettingsMediator::Hours_6) << 21600;
    QTest::newRow("a step") << 5400 << int(UIKesSettingsMediator::Hours_1_5) << 5400;
    QTest::newRow("disabled") << 0 << int(UIKesSettingsMediator::Never) << 0;
}

void TestUiSettings::autoPowerOffFromTheHeadset()
{
    QFETCH(int, reported);
    QFETCH(int, shown);
    QFETCH(int, written);

    TestKestrinDevice::State values;
    values.autoPowerOff = uint16_t(reported);
    QSignalSpy changed(m_settings, &UIKesSettingsMediator::shutdownTimeChanged);
    QSignalSpy modelChanged(m_model, &DeviceModels::KestrinDeviceModel::sigAutoPowerOffChanged);
    connectDevice(DeviceType::kestrin_2, values);

    QCOMPARE(int(m_settings->getShutdownTime()), shown);
    QCOMPARE(int(m_model->getAutoPowerOff()), written);
    // Never at start and still never: nothing to tell, nothing to write.
    QCOMPARE(changed.count(), reported == 0 ? 0 : 1);
    QCOMPARE(modelChanged.count(), reported == written ? 0 : 1);
    QTRY_COMPARE(int(m_device->headset().autoPowerOff), written);
}

void TestUiSettings::setShutdownTime()
{
    connectDevice(DeviceType::kestrin_2);
    QCOMPARE(m_settings->getShutdownTime(), UIKesSettingsMediator::Minutes_5);
    QSignalSpy changed(m_settings, &UIKesSettingsMediator::shutdownTimeChanged);

    m_settings->setShutdownTime(UIKesSettingsMediator::Hours_2);
    QCOMPARE(m_settings->getShutdownTime(), UIKesSettingsMediator::Hours_2);
    QCOMPARE(int(m_model->getAutoPowerOff()), 7200);
    QCOMPARE(changed.count(), 1);

    m_settings->setShutdownTime(UIKesSettingsMediator::Hours_2);
    QCOMPARE(changed.count(), 1);

    // A value below the table must not index it.
    m_settings->setShutdownTime(Time(-3));
    QCOMPARE(m_settings->getShutdownTime(), UIKesSettingsMediator::Hours_2);
    QCOMPARE(int(m_model->getAutoPowerOff()), 7200);
    QCOMPARE(changed.count(), 1);

    m_settings->setShutdownTime(UIKesSettingsMediator::Never);
    QCOMPARE(m_settings->getShutdownTime(), UIKesSettingsMediator::Never);
    QCOMPARE(int(m_model->getAutoPowerOff()), 0);
    QCOMPARE(changed.count(), 2);
    QTRY_COMPARE(int(m_device->headset().autoPowerOff), 0);
}

void TestUiSettings::volumeLimiterFromTheHeadset_data()
{
    QTest::addColumn<int>("ampGain");
    QTest::addColumn<bool>("limited");
    QTest::newRow("136") << 136 << true;
    QTest::newRow("100") << 100 << true;
    QTest::newRow("137") << 137 << false;
    QTest::newRow("142") << 142 << false;
}

void TestUiSettings::volumeLimiterFromTheHeadset()
{
    QFETCH(int, ampGain);
    QFETCH(bool, limited);
    TestKestrinDevice::State values;
    values.ampGain = uint8_t(ampGain);
    QSignalSpy changed(m_settings, &UIKesSettingsMediator::volumeLimiterChanged);
    connectDevice(DeviceType::kestrin, values);
    QCOMPARE(m_settings->isVolumeLimiter(), limited);
    QCOMPARE(changed.count(), 1);
}

void TestUiSettings::volumeLimiterWritesTheAmpGain()
{
    TestKestrinDevice::State values;
    values.ampGain = 142;
    connectDevice(DeviceType::kestrin_2, values);
    QVERIFY(!m_settings->isVolumeLimiter());
    QSignalSpy changed(m_settings, &UIKesSettingsMediator::volumeLimiterChanged);

    QVERIFY(m_settings->setProperty("volumeLimiter", true));
    QCOMPARE(int(m_model->getAmpGain()), 136);
    QVERIFY(m_settings->isVolumeLimiter());
    QCOMPARE(changed.count(), 1);
    QTRY_COMPARE(int(m_device->headset().ampGain), 136);

    m_settings->setVolumeLimiter(false);
    QCOMPARE(int(m_model->getAmpGain()), 142);
    QVERIFY(!m_settings->isVolumeLimiter());
    QCOMPARE(changed.count(), 2);
    QTRY_COMPARE(int(m_device->headset().ampGain), 142);
}

void TestUiSettings::ancIndex()
{
    TestKestrinDevice::State values;
    values.ancMode = DeviceData::AncMode::transparency;
    connectDevice(DeviceType::kestrin_2_anc, values);
    QCOMPARE(m_settings->getAncModes(), (QStringList{"On", "Off", "Transparency"}));
    QCOMPARE(m_settings->getAncIndex(), 2);

    QSignalSpy changed(m_settings, &UIKesSettingsMediator::ancIndexChanged);
    m_settings->setAncIndex(1);
    QCOMPARE(m_model->getAncMode(), DeviceData::AncMode::off);
    QCOMPARE(m_settings->getAncIndex(), 1);
    QCOMPARE(changed.count(), 1);
    QTRY_COMPARE(m_device->headset().ancMode, DeviceData::AncMode::off);
}

void TestUiSettings::ancIndexRefusals_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("index");
    QTest::newRow("5 on the ANC model") << int(DeviceType::kestrin_2_anc) << 5;
    QTest::newRow("3 on the ANC model") << int(DeviceType::kestrin_2_anc) << 3;
    QTest::newRow("-1 on the ANC model") << int(DeviceType::kestrin_2_anc) << -1;
    QTest::newRow("a valid index without ANC") << int(DeviceType::kestrin_2) << 1;
}

void TestUiSettings::ancIndexRefusals()
{
    QFETCH(int, type);
    QFETCH(int, index);
    connectDevice(DeviceType(type));
    const int before = m_settings->getAncIndex();
    QSignalSpy changed(m_settings, &UIKesSettingsMediator::ancIndexChanged);
    m_settings->setAncIndex(index);
    QCOMPARE(m_settings->getAncIndex(), before);
    QCOMPARE(changed.count(), 0);
}

void TestUiSettings::writesOutsideAByteAreRefused()
{
    TestKestrinDevice::State values;
    values.sidetoneLevel = 3;
    connectDevice(DeviceType::kestrin_2, values);
    QSignalSpy changed(m_settings, &UIKesSettingsMediator::sidetoneLevelChanged);
    // 259 would wrap to 3, a level the headset takes.
    m_settings->setSidetoneLevel(259);
    m_settings->setSidetoneLevel(-1);
    QCOMPARE(m_settings->getSidetoneLevel(), 3);
    QCOMPARE(changed.count(), 0);
}

void TestUiSettings::writesComeBackAsNotifications()
{
    connectDevice(DeviceType::kestrin_2);

    struct Case {
        const char* property;
        const char* signal;
        QVariant value;
    };
    const QList<Case> cases = {
        {"gameChatMix", SIGNAL(gameChatMixChanged()), 15}, {"vpLevel", SIGNAL(vpLevelChanged()), 4},
        {"balance", SIGNAL(balanceChanged()), 130},        {"sidetoneLevel", SIGNAL(sidetoneLevelChanged()), 9},
        {"micLevel", SIGNAL(micLevelChanged()), 12},       {"micFilter", SIGNAL(micFilterChanged()), 2},
        {"sidetone", SIGNAL(sidetoneChanged()), true},     {"currentEqIndex", SIGNAL(eqIndexChanged()), 8},
    };
    for (const Case& c : cases) {
        QSignalSpy spy(m_settings, c.signal);
        QVERIFY2(m_settings->setProperty(c.property, c.value), c.property);
        // The balance is shown once the headset took it, the others at once.
        QTRY_COMPARE(spy.count(), 1);
        QCOMPARE(m_settings->property(c.property), c.value);
    }

    // The device model refuses these: the property stays and nothing is notified.
    const QList<Case> refused = {
        {"gameChatMix", SIGNAL(gameChatMixChanged()), 21},
        {"vpLevel", SIGNAL(vpLevelChanged()), 16},
        {"balance", SIGNAL(balanceChanged()), 121},
        {"micFilter", SIGNAL(micFilterChanged()), 3},
    };
    for (const Case& c : refused) {
        const QVariant before = m_settings->property(c.property);
        QSignalSpy spy(m_settings, c.signal);
        m_settings->setProperty(c.property, c.value);
        QCOMPARE(spy.count(), 0);
        QCOMPARE(m_settings->property(c.property), before);
    }
    QTRY_COMPARE(int(m_device->headset().gameChatMix), 15);
    QTRY_COMPARE(int(m_device->headset().micLevel), 12);
}

void TestUiSettings::modelReadyNotifiesEveryProperty()
{
    connectDevice(DeviceType::kestrin_2);
    m_settings->setMicLevel(12);
    QCOMPARE(m_settings->getMicLevel(), 12);

    const QList<const char*> signalNames = {
        SIGNAL(gameChatMixChanged()), SIGNAL(vpLevelChanged()),          SIGNAL(balanceChanged()),
        SIGNAL(eqIndexChanged()),     SIGNAL(maxSidetoneLevelChanged()), SIGNAL(micLevelChanged()),
        SIGNAL(micFilterChanged()),   SIGNAL(ancIndexChanged()),         SIGNAL(sidetoneLevelChanged()),
        SIGNAL(sidetoneChanged()),    SIGNAL(volumeLimiterChanged()),
    };
    std::vector<std::unique_ptr<QSignalSpy>> spies;
    for (const char* name : signalNames)
        spies.push_back(std::make_unique<QSignalSpy>(m_settings, name));

    // Another headset with other values: the screens must see every one of them.
    TestKestrinDevice::State values;
    values.micLevel = 4;
    values.ancMode = DeviceData::AncMode::off;
    m_device = SimulatedHeadset(DeviceType::kestrin_2_anc, values, KestrinHwType::ps_headset);
    QVERIFY(m_proxy->setDevice(m_device));

    for (size_t i = 0; i < spies.size(); ++i)
        QVERIFY2(spies[i]->count() >= 1, signalNames[int(i)]);
    QCOMPARE(m_settings->getMicLevel(), 4);
    QCOMPARE(m_settings->getAncIndex(), 1);
}

void TestUiSettings::customNamesAreFourLong_data()
{
    QTest::addColumn<QStringList>("stored");
    QTest::addColumn<QStringList>("shown");
    QTest::newRow("six cut to four") << QStringList{"a", "b", "c", "d", "e", "f"} << QStringList{"a", "b", "c", "d"};
    QTest::newRow("two padded to four") << QStringList{"a", "b"} << QStringList{"a", "b", "", ""};
    QTest::newRow("none") << QStringList() << QStringList{"", "", "", ""};
}

void TestUiSettings::customNamesAreFourLong()
{
    QFETCH(QStringList, stored);
    QFETCH(QStringList, shown);
    QCOMPARE(m_settings->getCustomEqsNamesModel()->stringList(), QStringList(4, QString()));
    m_app->getPreferences()->setKestrinEqNames(DeviceType::kestrin_2, KestrinHwType::xbox_dongle, stored);
    connectDevice(DeviceType::kestrin_2, TestKestrinDevice::State(), KestrinHwType::xbox_headset);
    QCOMPARE(m_settings->getCustomEqsNamesModel()->stringList(), shown);
}

void TestUiSettings::setCustomEqNameStoresTheNames()
{
    connectDevice(DeviceType::kestrin_2_anc, TestKestrinDevice::State(), KestrinHwType::ps_headset);
    m_settings->setCustomEqName(1, "Night");
    m_settings->setCustomEqName(4, "Nowhere");
    m_settings->setCustomEqName(-1, "Nowhere");
    const QStringList expected = {"", "Night", "", ""};
    QCOMPARE(m_settings->getCustomEqsNamesModel()->stringList(), expected);
    QCOMPARE(m_app->getPreferences()->readKestrinEqNames(DeviceType::kestrin_2_anc, KestrinHwType::ps_dongle),
             expected);
}

void TestUiSettings::currentEqName()
{
    m_app->getPreferences()->setKestrinEqNames(DeviceType::kestrin_2, KestrinHwType::ps_headset,
                                               {"First", "Second", "Third", "Fourth"});
    connectDevice(DeviceType::kestrin_2);
    m_settings->setEqIndex(3);
    QCOMPARE(m_settings->getCurrentEqName(), QString());
    m_settings->setEqIndex(8);
    QCOMPARE(m_settings->getCurrentEqName(), QString("Second"));
    m_settings->setEqIndex(10);
    QCOMPARE(m_settings->getCurrentEqName(), QString("Fourth"));
    m_settings->setEqIndex(11);
    QCOMPARE(m_settings->getCurrentEqName(), QString());
}

void TestUiSettings::saveWritesOneSignedBytePerBand()
{
    TestKestrinDevice::State values;
    values.bands[7] = TestKestrinDevice::Bands({3, 2, 0, -5, 12, -12, 1, 0, 0, 7});
    connectDevice(DeviceType::kestrin_2, values);
    selectPreset(7);

    QVERIFY(m_settings->saveEqToFile(fileUrl("preset.lvreq")));
    QFile file(m_dir->filePath("preset.lvreq"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray::fromHex("030200fb0cf4010000"
                                                 "07"));
}

void TestUiSettings::saveAndLoadRoundTrip()
{
    connectDevice(DeviceType::kestrin_2);
    selectPreset(7);
    const QList<int> gains = {1, -2, 3, -4, 5, -6, 7, -8, 9, -10};
    for (int band = 0; band < gains.size(); ++band)
        QVERIFY(m_model->setEqBandGain(size_t(band), gains[band]));
    QVERIFY(m_settings->saveEqToFile(fileUrl("Warm.lvreq")));

    selectPreset(9);
    QCOMPARE(bandGains(), QList<int>(10, 0));
    QSignalSpy bandsChanged(m_settings->eqBands(), &QAbstractItemModel::dataChanged);
    QVERIFY(m_settings->loadEqFromFile(fileUrl("Warm.lvreq")));
    QCOMPARE(bandGains(), gains);
    QCOMPARE(bandsChanged.count(), 10);
    QCOMPARE(m_settings->getCurrentEqName(), QString("Warm"));
    QCOMPARE(m_app->getPreferences()->readKestrinEqNames(DeviceType::kestrin_2, KestrinHwType::ps_headset),
             (QStringList{"", "", "Warm", ""}));
    QTRY_COMPARE(m_device->headset().bands.at(9).at(9).getGain(), -10);
}

void TestUiSettings::loadNamesThePresetUpToTheFirstDot()
{
    connectDevice(DeviceType::kestrin_2);
    selectPreset(10);
    QFile file(m_dir->filePath("club.mix.v2.lvreq"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(10, char(2)));
    file.close();
    QVERIFY(m_settings->loadEqFromFile(fileUrl("club.mix.v2.lvreq")));
    QCOMPARE(m_settings->getCurrentEqName(), QString("club"));
    QCOMPARE(bandGains(), QList<int>(10, 2));
}

void TestUiSettings::loadRefusals_data()
{
    QTest::addColumn<int>("preset");
    QTest::addColumn<QByteArray>("content");
    // What stands at the chosen name: a file with the content, nothing, or a FIFO that nobody
    // writes to (opening it would keep the window waiting for good).
    QTest::addColumn<QString>("kind");

    QTest::newRow("eleven bytes for ten bands") << 8 << QByteArray(11, char(1)) << "file";
    QTest::newRow("nine bytes") << 8 << QByteArray(9, char(1)) << "file";
    QTest::newRow("empty") << 8 << QByteArray() << "file";
    QTest::newRow("a gain of 13") << 8 << QByteArray::fromHex("01010101010101010d01") << "file";
    QTest::newRow("a gain of -13") << 8 << QByteArray::fromHex("f3010101010101010101") << "file";
    QTest::newRow("no such file") << 8 << QByteArray() << "missing";
    QTest::newRow("a FIFO") << 8 << QByteArray() << "fifo";
    QTest::newRow("a built-in preset") << 4 << QByteArray(10, char(1)) << "file";
}

void TestUiSettings::loadRefusals()
{
    QFETCH(int, preset);
    QFETCH(QByteArray, content);
    QFETCH(QString, kind);

    m_app->getPreferences()->setKestrinEqNames(DeviceType::kestrin_2, KestrinHwType::ps_headset, {"A", "B", "C", "D"});
    connectDevice(DeviceType::kestrin_2);
    selectPreset(preset);
    const QList<int> gainsBefore = bandGains();
    if (kind == "file") {
        QFile file(m_dir->filePath("Bad.lvreq"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    } else if (kind == "fifo") {
        QCOMPARE(::mkfifo(QFile::encodeName(m_dir->filePath("Bad.lvreq")).constData(), 0600), 0);
    }
    QSignalSpy bandChanged(m_model, &DeviceModels::KestrinDeviceModel::sigEqBandChanged);

    QVERIFY(!m_settings->loadEqFromFile(fileUrl("Bad.lvreq")));

    QCOMPARE(bandGains(), gainsBefore);
    QCOMPARE(bandChanged.count(), 0);
    QCOMPARE(m_settings->getCustomEqsNamesModel()->stringList(), (QStringList{"A", "B", "C", "D"}));
    QCOMPARE(m_app->getPreferences()->readKestrinEqNames(DeviceType::kestrin_2, KestrinHwType::ps_headset),
             (QStringList{"A", "B", "C", "D"}));
}

void TestUiSettings::saveFailureKeepsTheOldFile_data()
{
    QTest::addColumn<int>("preset");
    QTest::newRow("a built-in preset has no bands to write") << 2;
}

void TestUiSettings::saveFailureKeepsTheOldFile()
{
    QFETCH(int, preset);
    connectDevice(DeviceType::kestrin_2);
    selectPreset(preset);
    const QByteArray old = QByteArray::fromHex("01020304050607080900");
    {
        QFile file(m_dir->filePath("Mine.lvreq"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(old);
    }
    QVERIFY(!m_settings->saveEqToFile(fileUrl("Mine.lvreq")));
    QFile file(m_dir->filePath("Mine.lvreq"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), old);

    // A folder that does not exist, and a URL that is no local file, are refused too.
    selectPreset(7);
    QVERIFY(!m_settings->saveEqToFile(fileUrl("no/such/folder/x.lvreq")));
    QVERIFY(!m_settings->saveEqToFile(QUrl("https://example.invalid/x.lvreq")));
    QVERIFY(m_settings->saveEqToFile(fileUrl("Mine.lvreq")));
}

// On a full disk the save fails and the preset saved before stays whole.
void TestUiSettings::saveOnAFullDiskKeepsTheOldFile()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation) + "/presets";
    if (!TestSupport::IsFullDiskRun())
        VELMOR_RUN_ON_FULL_DISK(folder, "TestUiSettings", "saveOnAFullDiskKeepsTheOldFile");
    connectDevice(DeviceType::kestrin_2);
    selectPreset(7);
    const QString path = folder + "/Mine.lvreq";
    const QByteArray old = QByteArray::fromHex("01020304050607080900");
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(old), old.size());
    }
    QVERIFY(TestSupport::FillDisk(folder));
    QVERIFY(!m_settings->saveEqToFile(QUrl::fromLocalFile(path)));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), old);
}

QTEST_GUILESS_MAIN(TestUiSettings)
#include "tst_ui_settings.moc"
