#include "device_models/KestrinDeviceModel.h"
#include "devices/DeviceProxy.h"
#include "support/devices/TestKestrinDevice.h"
#include "ui_models/UIKesEqBandsModel.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QtTest>

using TestSupport::TestKestrinDevice;
using UIModels::UIKesEqBandsModel;

class TestUiEqBands : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init();
    void cleanup();

    void builtInPresets_data();
    void builtInPresets();
    void switchingBetweenBuiltInPresetsUpdatesRowsInPlace();
    void customPresetWithAnotherBandCountResetsTheModel();
    void setData_data();
    void setData();
    void resetEqWritesZerosOnlyWhereNeeded();
    void updateBandSignalsTheGainOnly();
    void unknownRoleGivesNothing();

private:
    void selectPreset(int index);
    QList<int> gains() const;

    Devices::DeviceProxy* m_proxy = nullptr;
    DeviceModels::KestrinDeviceModel* m_model = nullptr;
    UIKesEqBandsModel* m_bands = nullptr;
    QAbstractItemModelTester* m_tester = nullptr;
    std::shared_ptr<TestKestrinDevice> m_device;
};

void TestUiEqBands::init()
{
    m_proxy = new Devices::DeviceProxy;
    m_model = new DeviceModels::KestrinDeviceModel(m_proxy);
    m_bands = new UIKesEqBandsModel(*m_model, nullptr);
    m_tester = new QAbstractItemModelTester(m_bands, QAbstractItemModelTester::FailureReportingMode::QtTest);
    // As the settings mediator does: band changes of the current preset reach the rows.
    connect(m_model, &DeviceModels::KestrinDeviceModel::sigEqBandChanged, m_bands, [this](uchar eq, size_t band) {
        if (eq == m_model->getCurrentEqIndex())
            m_bands->updateBand(band);
    });
    TestKestrinDevice::State state;
    state.bands = TestKestrinDevice::CustomPresets();
    m_device = TestKestrinDevice::Make(DeviceType::kestrin_2, Devices::DeviceCategory::Software, state);
    QVERIFY(m_proxy->setDevice(m_device));
}

void TestUiEqBands::cleanup()
{
    delete m_tester;
    delete m_bands;
    delete m_model;
    delete m_proxy;
    m_device.reset();
}

void TestUiEqBands::selectPreset(int index)
{
    QVERIFY(m_model->setCurrentEqIndex(uint8_t(index)));
    // A custom preset's bands come from the headset on the model's worker.
    if (index >= 7 && index <= 10) {
        std::vector<DeviceData::KestrinEqBandParams> bands;
        QTRY_VERIFY(m_model->loadEqBands(uint8_t(index), bands));
    }
    m_bands->reset();
}

QList<int> TestUiEqBands::gains() const
{
    QList<int> out;
    for (int row = 0; row < m_bands->rowCount(); ++row)
        out.append(m_bands->index(row).data(UIKesEqBandsModel::gainRole).toInt());
    return out;
}

void TestUiEqBands::builtInPresets_data()
{
    QTest::addColumn<int>("preset");
    QTest::addColumn<QList<int>>("expected");

    QTest::newRow("1 Velmor") << 1 << QList<int>{0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    QTest::newRow("2 Treble Boost") << 2 << QList<int>{0, 0, 0, 0, 0, 0, 0, 1, 2, 1};
    QTest::newRow("3 Bass Boost") << 3 << QList<int>{3, 2, 0, 0, 0, 0, 0, 0, 0, 0};
    QTest::newRow("4 Immersive") << 4 << QList<int>{3, 2, 0, 0, 0, 0, 0, 1, 2, 1};
    QTest::newRow("5 Competition") << 5 << QList<int>{-5, -5, -4, -2, 0, 0, 0, 4, -3, 2};
    QTest::newRow("6 Footsteps") << 6 << QList<int>{-1, -1, 3, 0, 0, 1, 4, 3, 0, 2};
    QTest::newRow("0 has no table") << 0 << QList<int>{};
    QTest::newRow("11 has no table") << 11 << QList<int>{};
}

void TestUiEqBands::builtInPresets()
{
    QFETCH(int, preset);
    QFETCH(QList<int>, expected);

    selectPreset(preset);
    QCOMPARE(gains(), expected);
    QVERIFY(!m_bands->isEqCustom());

    const QList<int> freqs = {32, 64, 125, 250, 500, 1000, 2000, 4000, 8000, 16000};
    for (int row = 0; row < m_bands->rowCount(); ++row)
        QCOMPARE(m_bands->index(row).data(UIKesEqBandsModel::freqRole).toInt(), freqs[row]);
}

void TestUiEqBands::switchingBetweenBuiltInPresetsUpdatesRowsInPlace()
{
    selectPreset(2);
    QSignalSpy changed(m_bands, &QAbstractItemModel::dataChanged);
    QSignalSpy reset(m_bands, &QAbstractItemModel::modelReset);

    selectPreset(5);

    QCOMPARE(reset.count(), 0);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed[0][0].value<QModelIndex>().row(), 0);
    QCOMPARE(changed[0][1].value<QModelIndex>().row(), 9);
    const auto roles = changed[0][2].value<QList<int>>();
    QCOMPARE(roles, (QList<int>{UIKesEqBandsModel::freqRole, UIKesEqBandsModel::gainRole}));
    QCOMPARE(gains(), (QList<int>{-5, -5, -4, -2, 0, 0, 0, 4, -3, 2}));
}

void TestUiEqBands::customPresetWithAnotherBandCountResetsTheModel()
{
    TestKestrinDevice::State state;
    state.bands = TestKestrinDevice::CustomPresets();
    state.bands[8] = {{100, 1}, {1000, -2}, {10000, 3}};
    m_device = TestKestrinDevice::Make(DeviceType::kestrin_2, Devices::DeviceCategory::Software, state);
    QVERIFY(m_proxy->setDevice(m_device));
    selectPreset(2);
    QSignalSpy reset(m_bands, &QAbstractItemModel::modelReset);
    QSignalSpy custom(m_bands, &UIKesEqBandsModel::isEqCustomChanged);

    selectPreset(8);

    QCOMPARE(reset.count(), 1);
    QCOMPARE(custom.count(), 1);
    QVERIFY(m_bands->isEqCustom());
    QCOMPARE(gains(), (QList<int>{1, -2, 3}));

    // Back to a built-in preset: the flag drops again.
    selectPreset(3);
    QCOMPARE(custom.count(), 2);
    QVERIFY(!m_bands->isEqCustom());
}

void TestUiEqBands::setData_data()
{
    QTest::addColumn<int>("preset");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("role");
    QTest::addColumn<bool>("accepted");

    const int gain = UIKesEqBandsModel::gainRole;
    const int freq = UIKesEqBandsModel::freqRole;
    QTest::newRow("custom gain") << 7 << 3 << 4 << gain << true;
    QTest::newRow("custom lowest gain") << 7 << 0 << -12 << gain << true;
    QTest::newRow("custom gain too high") << 7 << 3 << 20 << gain << false;
    QTest::newRow("custom gain too low") << 7 << 3 << -13 << gain << false;
    QTest::newRow("custom frequency") << 7 << 3 << 4 << freq << false;
    QTest::newRow("custom display role") << 7 << 3 << 4 << int(Qt::DisplayRole) << false;
    QTest::newRow("built-in gain") << 2 << 3 << 4 << gain << false;
}

void TestUiEqBands::setData()
{
    QFETCH(int, preset);
    QFETCH(int, row);
    QFETCH(int, value);
    QFETCH(int, role);
    QFETCH(bool, accepted);

    selectPreset(preset);
    const QList<int> before = gains();
    QSignalSpy changed(m_bands, &QAbstractItemModel::dataChanged);

    QCOMPARE(m_bands->setData(m_bands->index(row), value, role), accepted);

    QList<int> expected = before;
    if (accepted) {
        expected[row] = value;
        QCOMPARE(changed.count(), 1);
        QCOMPARE(changed[0][2].value<QList<int>>(), QList<int>{UIKesEqBandsModel::gainRole});
        // The write reaches the headset through the device model's queue.
        QTRY_COMPARE(m_device->headset().bands.at(uint8_t(preset)).at(size_t(row)).getGain(), value);
    } else {
        QCOMPARE(changed.count(), 0);
    }
    QCOMPARE(gains(), expected);
}

void TestUiEqBands::resetEqWritesZerosOnlyWhereNeeded()
{
    selectPreset(9);
    QSignalSpy bandChanged(m_model, &DeviceModels::KestrinDeviceModel::sigEqBandChanged);

    m_bands->resetEq(); // already all 0 dB
    QCOMPARE(bandChanged.count(), 0);

    QVERIFY(m_bands->setData(m_bands->index(2), 5, UIKesEqBandsModel::gainRole));
    QVERIFY(m_bands->setData(m_bands->index(6), -7, UIKesEqBandsModel::gainRole));
    bandChanged.clear();

    m_bands->resetEq();
    QCOMPARE(bandChanged.count(), 2);
    QCOMPARE(gains(), QList<int>(10, 0));
    QTRY_VERIFY(m_device->headset().bands.at(9) == TestKestrinDevice::CustomPresets(0).at(9));
}

void TestUiEqBands::updateBandSignalsTheGainOnly()
{
    selectPreset(10);
    QSignalSpy changed(m_bands, &QAbstractItemModel::dataChanged);
    QVERIFY(m_model->setEqBandGain(4, 6));
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed[0][0].value<QModelIndex>().row(), 4);
    QCOMPARE(changed[0][1].value<QModelIndex>().row(), 4);
    QCOMPARE(changed[0][2].value<QList<int>>(), QList<int>{UIKesEqBandsModel::gainRole});
    QCOMPARE(m_bands->index(4).data(UIKesEqBandsModel::gainRole).toInt(), 6);
}

void TestUiEqBands::unknownRoleGivesNothing()
{
    selectPreset(1);
    QVERIFY(!m_bands->index(0).data(UIKesEqBandsModel::gainRole + 1).isValid());
    QVERIFY(!m_bands->data(QModelIndex(), UIKesEqBandsModel::gainRole).isValid());
    const auto names = m_bands->roleNames();
    QCOMPARE(names.size(), 2);
    QCOMPARE(names.value(257), QByteArray("freqRole"));
    QCOMPARE(names.value(258), QByteArray("gainRole"));
    QCOMPARE(m_bands->getMinGain(), -12);
    QCOMPARE(m_bands->getMaxGain(), 12);
}

QTEST_GUILESS_MAIN(TestUiEqBands)
#include "tst_ui_eqbands.moc"
