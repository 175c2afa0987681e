// The hardware bus against the emulated USB bus: headsets and dongles plugged in and out while the
// bus polls, through the real HID client and the real headset implementations.

#include "HeadsetPlugging.h"

#include "core/GlobalLogger.h"
#include "devices/IKestrinDeviceMain.h"
#include "devices/ISolvarineDeviceMain.h"
#include "io/KestrinHidApiClient.h"
#include "platform/HidHwBus.h"

#include "ScriptedSerialPeer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

using namespace HidEmu;
using Devices::SharedDeviceImpl;
using Platform::HidHwBus;

Q_DECLARE_METATYPE(SharedDeviceImpl)

namespace {

// Receives the bus's announcements as the application does: queued, on the test's thread.
class Recorder : public QObject {
public:
    struct Event {
        bool arrived;
        SharedDeviceImpl device;
    };

    explicit Recorder(Platform::IHwBus& bus)
    {
        connect(
            &bus, &Platform::IHwBus::deviceArrived, this,
            [this](const SharedDeviceImpl& device) {
                events.push_back({true, device});
            },
            Qt::QueuedConnection);
        connect(
            &bus, &Platform::IHwBus::deviceRemoved, this,
            [this](const SharedDeviceImpl& device) {
                events.push_back({false, device});
            },
            Qt::QueuedConnection);
        connect(
            &bus, &Platform::IHwBus::firstProbeDone, this, [this] { firstProbesAfter.push_back(events.size()); },
            Qt::QueuedConnection);
    }

    int count(bool arrived) const
    {
        int n = 0;
        for (const auto& event : events)
            n += event.arrived == arrived ? 1 : 0;
        return n;
    }
    int arrivals() const { return count(true); }
    int removals() const { return count(false); }
    SharedDeviceImpl lastArrived() const
    {
        for (auto it = events.rbegin(); it != events.rend(); ++it) {
            if (it->arrived)
                return it->device;
        }
        return {};
    }

    std::vector<Event> events;
    // For each firstProbeDone received: how many announcements had been received before it.
    std::vector<size_t> firstProbesAfter;
};

// Which threads the emulated devices received requests on.
class RequestThreads {
public:
    // The record outlives the test: the device may still be asked after it.
    static void Watch(Kestrin::State& state, const std::shared_ptr<RequestThreads>& threads)
    {
        state.refuseWhen = [threads](const Request&) {
            std::lock_guard<std::mutex> lock(threads->m_mutex);
            threads->m_threads.insert(std::this_thread::get_id());
            return uint8_t(0);
        };
    }
    bool any() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return !m_threads.empty();
    }
    bool includes(std::thread::id thread) const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_threads.count(thread) != 0;
    }

private:
    mutable std::mutex m_mutex;
    std::set<std::thread::id> m_threads;
};

QByteArray ReadLog(const QString& path)
{
    GlobalLogger::Instance()->initFile(path + ".next"); // flushes and closes `path`
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

Devices::IKestrinDeviceMain* Main(const SharedDeviceImpl& device)
{
    return device ? device->getKestrinDevice() : nullptr;
}

uint16_t Pid(const SharedDeviceImpl& device)
{
    uint16_t vid = 0;
    uint16_t pid = 0;
    if (auto* kestrin = Main(device))
        kestrin->getVidPid(vid, pid);
    return pid;
}

// Position of a product id in the order the client tries them.
int ProbeRank(uint16_t pid)
{
    static const uint16_t order[] = {0x4B1E, 0x4B1A, 0x4B2E, 0x4B2A, 0x4BAE, 0x4BAA,
                                     0x4B18, 0x4B19, 0x4B28, 0x4B29, 0x4BA8, 0x4BA9};
    for (int i = 0; i < 12; ++i) {
        if (order[i] == pid)
            return i;
    }
    return -1;
}

constexpr int EnumeratesPerEmptyProbe = 12;
// Bounds for waiting on polls; generous for a slow, sanitised CI machine.
constexpr int ArrivalTimeoutMs = 15000;

} // namespace

class TestHwBus : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void arrivesOnTheFirstProbeAfterPlugging_data();
    void arrivesOnTheFirstProbeAfterPlugging();
    void secondRunBusNeitherProbesNorPollsTwice();
    void workingDeviceIsNotProbedAgain();
    void failedTransferRemovesTheDevice();
    void wiredHeadsetReplacesAnOpenDongle();
    void firmwareOnlyFallback_data();
    void firmwareOnlyFallback();
    void firmwareOnlyDeviceIsReopenedEachPoll();
    void firmwareOnlyDeviceBecomesFullWhenItAnswers();
    void firmwareOnlyDeviceLeavesWhenUnplugged();
    void invalidDeviceIsClosedOnEveryPoll();
    void setUpIsAnnouncedOncePerPlugging_data();
    void setUpIsAnnouncedOncePerPlugging();
    void stopBusKeepsOrClosesTheDevices_data();
    void stopBusKeepsOrClosesTheDevices();
    void stopBusNeverWaitsForARunningProbe_data();
    void stopBusNeverWaitsForARunningProbe();
    void pairingOnlyOnAFirmwareOnlyDongle_data();
    void pairingOnlyOnAFirmwareOnlyDongle();
    void lateCloseNoticeOfAnEarlierHandleIsIgnored();
    void destroyingTheBusClosesTheDevice();
    void destroyingTheBusEndsASlowSetUpAtItsNextExchange_data();
    void destroyingTheBusEndsASlowSetUpAtItsNextExchange();
    void logLines();
    void firstProbeDoneFollowsItsArrivals();
    void noDeviceIoOnTheCallersThread_data();
    void noDeviceIoOnTheCallersThread();
    void unopenableDeviceIsReportedOnceAndHidesNoOther_data();
    void unopenableDeviceIsReportedOnceAndHidesNoOther();
    void firmwareOnlyDeviceSwappedForAnotherIsReplaced();
    void solvarineProbe_data();
    void solvarineProbe();

private:
    void startBus();
    // Waits until the bus's worker has run `polls` more probes of `device`, counted by a request
    // that each probe sends once, and the last of them has closed the device again.
    void waitForPolls(const std::shared_ptr<Headset>& device, const std::string& request, int polls);
    SharedDeviceImpl waitForArrival(int arrivals = 1);

    std::unique_ptr<Platform::KestrinHidApiClient> m_client;
    std::unique_ptr<HidHwBus> m_bus;
    std::unique_ptr<Recorder> m_recorder;
    // Emulator enumerate count when each device was announced, taken on the bus's thread.
    std::atomic<int> m_enumeratesAtArrival{-1};
    std::atomic<int> m_directArrivals{0};
    std::atomic<int> m_directRemovals{0};
    std::atomic<int> m_firstProbes{0};
    // "started", "failed" and "arrived", in the order the bus's worker announced them.
    std::mutex m_setUpMutex;
    std::vector<QString> m_setUpEvents;
    QStringList setUpEvents()
    {
        std::lock_guard<std::mutex> lock(m_setUpMutex);
        return QStringList(m_setUpEvents.begin(), m_setUpEvents.end());
    }
};

void TestHwBus::initTestCase()
{
    qRegisterMetaType<SharedDeviceImpl>("Devices::SharedDeviceImpl");
    QCoreApplication::setOrganizationName("Velmor");
    QCoreApplication::setApplicationName("Velmor");
}

void TestHwBus::init()
{
    Bus::instance().reset();
    m_client = std::make_unique<Platform::KestrinHidApiClient>();
    // The pauses before each reply only space the exchanges out; the outcome is the same.
    m_client->setReadPacing(0, 0);
    m_bus = std::make_unique<HidHwBus>(m_client.get());
    m_recorder = std::make_unique<Recorder>(*m_bus);
    m_enumeratesAtArrival = -1;
    m_directArrivals = 0;
    m_directRemovals = 0;
    m_firstProbes = 0;
    {
        std::lock_guard<std::mutex> lock(m_setUpMutex);
        m_setUpEvents.clear();
    }
    const auto record = [this](const QString& event) {
        std::lock_guard<std::mutex> lock(m_setUpMutex);
        m_setUpEvents.push_back(event);
    };
    connect(
        m_bus.get(), &Platform::IHwBus::deviceSetUpStarted, this,
        [record](DeviceType type) { record(type == DeviceType::kestrin ? "started" : "started ?"); },
        Qt::DirectConnection);
    connect(
        m_bus.get(), &Platform::IHwBus::deviceSetUpFailed, this,
        [record](DeviceType type) { record(type == DeviceType::kestrin ? "failed" : "failed ?"); },
        Qt::DirectConnection);
    connect(
        m_bus.get(), &Platform::IHwBus::deviceArrived, this, [record] { record("arrived"); }, Qt::DirectConnection);
    connect(
        m_bus.get(), &Platform::IHwBus::firstProbeDone, this, [this] { ++m_firstProbes; }, Qt::DirectConnection);
    connect(
        m_bus.get(), &Platform::IHwBus::deviceArrived, this,
        [this] {
            m_enumeratesAtArrival = Bus::instance().enumerateCalls();
            ++m_directArrivals;
        },
        Qt::DirectConnection);
    connect(
        m_bus.get(), &Platform::IHwBus::deviceRemoved, this, [this] { ++m_directRemovals; }, Qt::DirectConnection);
}

void TestHwBus::cleanup()
{
    m_recorder.reset();
    m_bus.reset();
    m_client.reset();
    Bus::instance().reset();
}

void TestHwBus::startBus()
{
    // The first probe runs on the bus's worker; its end is announced.
    const int before = m_firstProbes;
    m_bus->runBus();
    QTRY_VERIFY_WITH_TIMEOUT(m_firstProbes > before, ArrivalTimeoutMs);
}

void TestHwBus::waitForPolls(const std::shared_ptr<Headset>& device, const std::string& request, int polls)
{
    const auto count = [&] {
        const auto log = Kestrin::DecodedLog(*device);
        return int(std::count(log.begin(), log.end(), request));
    };
    const int wanted = count() + polls;
    QTRY_VERIFY_WITH_TIMEOUT(count() >= wanted, ArrivalTimeoutMs);
    QTRY_VERIFY_WITH_TIMEOUT(!m_client->hasDevice(), ArrivalTimeoutMs);
}

SharedDeviceImpl TestHwBus::waitForArrival(int arrivals)
{
    [&] { QTRY_VERIFY_WITH_TIMEOUT(m_recorder->arrivals() >= arrivals, ArrivalTimeoutMs); }();
    return m_recorder->lastArrived();
}

void TestHwBus::arrivesOnTheFirstProbeAfterPlugging_data()
{
    QTest::addColumn<int>("pid");
    QTest::addColumn<int>("type");
    QTest::addColumn<bool>("dongle");
    QTest::newRow("kestrin ps headset") << 0x4B1A << int(DeviceType::kestrin) << false;
    QTest::newRow("kestrin_2 xbox headset") << 0x4B2E << int(DeviceType::kestrin_2) << false;
    QTest::newRow("kestrin_2_anc ps headset") << 0x4BAA << int(DeviceType::kestrin_2_anc) << false;
    QTest::newRow("kestrin ps dongle") << 0x4B19 << int(DeviceType::kestrin) << true;
    QTest::newRow("kestrin_2_anc xbox dongle") << 0x4BA8 << int(DeviceType::kestrin_2_anc) << true;
}

void TestHwBus::arrivesOnTheFirstProbeAfterPlugging()
{
    QFETCH(int, pid);
    QFETCH(int, type);
    QFETCH(bool, dongle);

    startBus();
    QCOMPARE(m_directArrivals.load(), 0);
    const int enumeratesAtPlug = Bus::instance().enumerateCalls();
    PlugKestrin(uint16_t(pid));

    const SharedDeviceImpl device = waitForArrival();
    QCOMPARE(m_recorder->events.size(), size_t(1));
    QVERIFY(device->isValid());
    QCOMPARE(device->getCategory(), Devices::DeviceCategory::Hardware);
    QCOMPARE(int(device->getDeviceType()), type);
    QCOMPARE(Main(device)->isDongle(), dongle);
    QVERIFY(!Main(device)->isFwOnly());
    QCOMPARE(int(Pid(device)), pid);
    // A full device keeps its handle open.
    QVERIFY(m_client->hasDevice());

    // Within about two polls: at most one empty probe (one that had begun before the plug) came
    // between plugging and the probe that found the device.
    const int enumerates = m_enumeratesAtArrival - enumeratesAtPlug - (ProbeRank(uint16_t(pid)) + 1);
    QVERIFY2(enumerates >= 0 && enumerates <= EnumeratesPerEmptyProbe, qPrintable(QString::number(enumerates)));
}

void TestHwBus::secondRunBusNeitherProbesNorPollsTwice()
{
    startBus();
    const int afterFirst = Bus::instance().enumerateCalls();
    QCOMPARE(afterFirst, EnumeratesPerEmptyProbe); // the immediate probe
    m_bus->runBus();
    // The second call did not start another first probe.
    QVERIFY(!QTest::qWaitFor([&] { return m_firstProbes > 1; }, int(HidHwBus::PollIntervalMs / 2)));

    // Nor did it start a second poll job: once stopped, nothing polls any more.
    m_bus->stopBus(false);
    PlugKestrin(0x4B2E);
    QVERIFY(!QTest::qWaitFor([&] { return m_directArrivals > 0; }, int(3 * HidHwBus::PollIntervalMs)));
    QCOMPARE(m_recorder->arrivals(), 0);

    // And a stopped bus starts again, with its immediate probe.
    startBus();
    QCOMPARE(m_directArrivals.load(), 1);
    QCOMPARE(m_firstProbes.load(), 2);
}

void TestHwBus::workingDeviceIsNotProbedAgain()
{
    auto headset = PlugKestrin(0x4B2A);
    startBus();
    QCOMPARE(m_directArrivals.load(), 1); // found by the immediate probe
    waitForArrival();
    const size_t requests = headset->requests().size();
    const int enumerates = Bus::instance().enumerateCalls();

    // A second headset does not take over a working one either.
    PlugKestrin(0x4B1A);
    QVERIFY(!QTest::qWaitFor([&] { return m_directArrivals > 1; }, int(3 * HidHwBus::PollIntervalMs)));
    QCOMPARE(headset->requests().size(), requests);
    QCOMPARE(Bus::instance().enumerateCalls(), enumerates);
    QCOMPARE(m_recorder->events.size(), size_t(1));
}

void TestHwBus::failedTransferRemovesTheDevice()
{
    auto headset = PlugKestrin(0x4B29);
    startBus();
    const SharedDeviceImpl device = waitForArrival();

    // Polls do not notice an unplugged full device; its next failing transfer does.
    Unplug(headset);
    uint8_t level = 0;
    QVERIFY(!Main(device)->readBatteryLevel(level));
    QVERIFY(!m_client->hasDevice());
    QTRY_COMPARE_WITH_TIMEOUT(m_recorder->removals(), 1, ArrivalTimeoutMs);
    QCOMPARE(m_recorder->events.back().device->getInstanceId(), device->getInstanceId());

    // Plugged in again, it is a new device.
    auto again = PlugKestrin(0x4B29);
    const SharedDeviceImpl second = waitForArrival(2);
    QVERIFY(second->getInstanceId() != device->getInstanceId());
    QCOMPARE(int(second->getDeviceType()), int(DeviceType::kestrin_2));
}

void TestHwBus::wiredHeadsetReplacesAnOpenDongle()
{
    auto dongle = PlugKestrin(0x4B18);
    startBus();
    const SharedDeviceImpl first = waitForArrival();
    QVERIFY(Main(first)->isDongle());

    PlugKestrin(0x4BAE);
    const SharedDeviceImpl wired = waitForArrival(2);
    QCOMPARE(m_recorder->events.size(), size_t(3));
    QVERIFY(!m_recorder->events[1].arrived);
    QCOMPARE(m_recorder->events[1].device->getInstanceId(), first->getInstanceId());
    QVERIFY(!Main(wired)->isDongle());
    QCOMPARE(int(Pid(wired)), 0x4BAE);
    QCOMPARE(int(wired->getDeviceType()), int(DeviceType::kestrin_2_anc));
    QVERIFY(m_client->hasDevice());
    QVERIFY(dongle->violations().empty());
}

void TestHwBus::firmwareOnlyFallback_data()
{
    QTest::addColumn<int>("pid");
    QTest::addColumn<bool>("dongle");
    QTest::addColumn<QString>("version");
    // A dongle whose headset is switched off answers only for itself.
    QTest::newRow("dongle without headset") << 0x4B28 << true << "2.0.0";
    // A cabled headset whose settings do not answer, as with firmware that needs an update.
    QTest::newRow("headset refusing its settings") << 0x4B1E << false << "1.0.0";
}

void TestHwBus::firmwareOnlyFallback()
{
    QFETCH(int, pid);
    QFETCH(bool, dongle);
    QFETCH(QString, version);

    std::shared_ptr<Headset> device;
    if (dongle) {
        device = PlugDongleWithoutHeadset(uint16_t(pid));
    } else {
        Kestrin::State* state = nullptr;
        device = PlugKestrin(uint16_t(pid), &state);
        state->refuseWhen = [](const Request& rq) { return Kestrin::Describe(rq) == "get earcup_balance" ? 1 : 0; };
    }
    startBus();
    const SharedDeviceImpl found = waitForArrival();

    QCOMPARE(m_recorder->events.size(), size_t(1));
    QVERIFY(found->isValid());
    QCOMPARE(found->getCategory(), Devices::DeviceCategory::Hardware);
    QVERIFY(Main(found)->isFwOnly());
    QCOMPARE(Main(found)->isDongle(), dongle);
    QCOMPARE(int(Pid(found)), pid);
    QString read;
    QVERIFY(dongle ? Main(found)->loadDongleFwVersion(read) : Main(found)->loadFwVersion(read));
    QCOMPARE(read, version);
    QVERIFY(m_bus->hasKestrinFwOnly());
    // The bus keeps its HID device closed, for the firmware updater.
    QVERIFY(!m_client->hasDevice());
    QCOMPARE(Bus::instance().openHandles(), 0);
}

void TestHwBus::firmwareOnlyDeviceIsReopenedEachPoll()
{
    auto dongle = PlugDongleWithoutHeadset(0x4B19);
    startBus();
    waitForArrival();
    dongle->clearLog();

    // Each poll opens it, tries it as a full device (the first request relayed to the headset
    // goes unanswered) and closes it again.
    waitForPolls(dongle, "get vp_level", 2);
    QCOMPARE(m_recorder->events.size(), size_t(1));
    QVERIFY(m_bus->hasKestrinFwOnly());
}

void TestHwBus::firmwareOnlyDeviceBecomesFullWhenItAnswers()
{
    auto dongle = PlugDongleWithoutHeadset(0x4BA9);
    startBus();
    const SharedDeviceImpl fwOnly = waitForArrival();
    QVERIFY(Main(fwOnly)->isFwOnly());

    // The headset is switched on: the next poll finds a full device.
    dongle->setHeadsetLinked(true);
    const SharedDeviceImpl full = waitForArrival(2);
    QCOMPARE(m_recorder->events.size(), size_t(3));
    QVERIFY(!m_recorder->events[1].arrived);
    QCOMPARE(m_recorder->events[1].device->getInstanceId(), fwOnly->getInstanceId());
    QVERIFY(!Main(full)->isFwOnly());
    QVERIFY(Main(full)->isDongle());
    QVERIFY(!m_bus->hasKestrinFwOnly());
    QVERIFY(m_client->hasDevice());

    // The bus's own closes of the firmware-only device, handled late, do not remove it.
    QTest::qWait(50);
    QCOMPARE(m_recorder->removals(), 1);
}

void TestHwBus::firmwareOnlyDeviceLeavesWhenUnplugged()
{
    auto dongle = PlugDongleWithoutHeadset(0x4B28);
    startBus();
    const SharedDeviceImpl fwOnly = waitForArrival();

    Unplug(dongle);
    QTRY_COMPARE_WITH_TIMEOUT(m_recorder->removals(), 1, ArrivalTimeoutMs);
    QCOMPARE(m_recorder->events.back().device->getInstanceId(), fwOnly->getInstanceId());
    QVERIFY(!m_bus->hasKestrinFwOnly());
    QCOMPARE(m_recorder->events.size(), size_t(2));
}

void TestHwBus::invalidDeviceIsClosedOnEveryPoll()
{
    auto headset = PlugKestrin(0x4B2E);
    headset->setSilent(true);
    startBus();
    waitForPolls(headset, "get powered_on", 2);
    QCOMPARE(m_directArrivals.load(), 0);
    QVERIFY(headset->requests().size() > 0);

    // Once it answers, it is found.
    headset->setSilent(false);
    const SharedDeviceImpl device = waitForArrival();
    QVERIFY(!Main(device)->isFwOnly());
}

void TestHwBus::setUpIsAnnouncedOncePerPlugging_data()
{
    QTest::addColumn<QString>("kind");
    // A request that each later poll sends to the device once ("": a held device is not polled).
    QTest::addColumn<QString>("pollRequest");
    QTest::addColumn<QStringList>("events");
    QTest::newRow("headset") << "headset"
                             << "" << QStringList{"started", "arrived"};
    // Reopened by every poll: announced once all the same.
    QTest::newRow("firmware-only dongle") << "dongle without headset"
                                          << "get vp_level" << QStringList{"started", "arrived"};
    // Tried again by every poll, announced again only once it has been unplugged.
    QTest::newRow("silent headset") << "silent"
                                    << "get powered_on" << QStringList{"started", "failed"};
}

// The window builds a device's screen while the device is being set up: it hears of each set-up
// before its device, and of a failed one, but not of every poll that tries the same device.
void TestHwBus::setUpIsAnnouncedOncePerPlugging()
{
    QFETCH(QString, kind);
    QFETCH(QString, pollRequest);
    QFETCH(QStringList, events);

    const auto plug = [&] {
        if (kind == "dongle without headset")
            return PlugDongleWithoutHeadset(0x4B19);
        auto headset = PlugKestrin(0x4B2E);
        headset->setSilent(kind == "silent");
        return headset;
    };
    auto device = plug();
    startBus();
    if (kind == "silent")
        waitForPolls(device, pollRequest.toStdString(), 1);
    else
        waitForArrival();
    QCOMPARE(setUpEvents(), events);
    if (pollRequest.isEmpty())
        return;

    // More polls of the same device say nothing new.
    waitForPolls(device, pollRequest.toStdString(), 2);
    QCOMPARE(setUpEvents(), events);

    if (kind != "silent")
        return;
    // Plugged in again, it is announced again.
    Unplug(device);
    const int unplugged = Bus::instance().enumerateCalls();
    QTRY_VERIFY_WITH_TIMEOUT(Bus::instance().enumerateCalls() >= unplugged + 2 * EnumeratesPerEmptyProbe,
                             ArrivalTimeoutMs);
    device = plug();
    waitForPolls(device, pollRequest.toStdString(), 1);
    QCOMPARE(setUpEvents(), events + events);
}

void TestHwBus::stopBusKeepsOrClosesTheDevices_data()
{
    QTest::addColumn<bool>("fwOnly");
    QTest::addColumn<bool>("closeDevices");
    QTest::newRow("full device, kept") << false << false;
    QTest::newRow("full device, closed") << false << true;
    QTest::newRow("firmware-only device, kept") << true << false;
    QTest::newRow("firmware-only device, closed") << true << true;
}

void TestHwBus::stopBusKeepsOrClosesTheDevices()
{
    QFETCH(bool, fwOnly);
    QFETCH(bool, closeDevices);

    auto plugged = fwOnly ? PlugDongleWithoutHeadset(0x4B19) : PlugKestrin(0x4B2A);
    startBus();
    const SharedDeviceImpl device = waitForArrival();
    QCOMPARE(Main(device)->isFwOnly(), fwOnly);

    m_bus->stopBus(closeDevices);
    QCOMPARE(m_client->hasDevice(), !closeDevices && !fwOnly);
    if (closeDevices && fwOnly) {
        // Announced at once: there is no handle whose close could announce it.
        QCOMPARE(m_directRemovals.load(), 1);
    } else if (closeDevices) {
        // Announced through the client's close notice, handled on the bus's thread.
        QCOMPARE(m_directRemovals.load(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(m_directRemovals.load(), 1, ArrivalTimeoutMs);
    }
    if (closeDevices) {
        QTRY_COMPARE_WITH_TIMEOUT(m_recorder->removals(), 1, ArrivalTimeoutMs);
        QCOMPARE(m_recorder->events.back().device->getInstanceId(), device->getInstanceId());
        QVERIFY(!m_bus->hasKestrinFwOnly());
    }

    // Stopped: nothing is probed or announced any more, and a kept device stays.
    const int enumerates = Bus::instance().enumerateCalls();
    QVERIFY(!QTest::qWaitFor([&] { return m_recorder->events.size() != (closeDevices ? 2u : 1u); },
                             int(2 * HidHwBus::PollIntervalMs + 500)));
    QCOMPARE(Bus::instance().enumerateCalls(), enumerates);
    QCOMPARE(m_bus->hasKestrinFwOnly(), fwOnly && !closeDevices);

    // Restarted, a closed device is found again; a kept one is not announced twice.
    m_bus->runBus();
    if (closeDevices) {
        const SharedDeviceImpl again = waitForArrival(2);
        QVERIFY(again->getInstanceId() != device->getInstanceId());
        QCOMPARE(Main(again)->isFwOnly(), fwOnly);
    } else {
        QVERIFY(!QTest::qWaitFor([&] { return m_recorder->events.size() != 1; }, int(2 * HidHwBus::PollIntervalMs)));
    }
}

void TestHwBus::stopBusNeverWaitsForARunningProbe_data()
{
    QTest::addColumn<bool>("closeDevices");
    QTest::addColumn<bool>("restart");
    QTest::newRow("kept") << false << false;
    QTest::newRow("closed") << true << false;
    QTest::newRow("closed, restarted before the probe ends") << true << true;
}

// The firmware updater stops the bus from the GUI thread; a probe that is setting a device up
// at that moment holds the bus for a dozen exchanges, and the window must not wait for them.
void TestHwBus::stopBusNeverWaitsForARunningProbe()
{
    QFETCH(bool, closeDevices);
    QFETCH(bool, restart);

    // The device holds its first reply until the test lets it go.
    struct Gate {
        std::mutex mutex;
        std::condition_variable changed;
        bool entered = false;
        bool open = false;
    };
    const auto gate = std::make_shared<Gate>();
    Kestrin::State* state = nullptr;
    auto headset = PlugKestrin(0x4B2A, &state);
    state->refuseWhen = [gate](const Request&) {
        std::unique_lock<std::mutex> lock(gate->mutex);
        gate->entered = true;
        gate->changed.notify_all();
        gate->changed.wait(lock, [&] { return gate->open; });
        return uint8_t(0);
    };
    const auto openGate = [gate] {
        std::lock_guard<std::mutex> lock(gate->mutex);
        gate->open = true;
        gate->changed.notify_all();
    };
    // Should a call wait for the probe after all, this lets the probe end so the test fails
    // instead of hanging.
    std::thread safety([gate, openGate] {
        std::unique_lock<std::mutex> lock(gate->mutex);
        if (!gate->changed.wait_for(lock, std::chrono::seconds(20), [&] { return gate->open; })) {
            lock.unlock();
            openGate();
        }
    });
    const auto isOpen = [gate] {
        std::lock_guard<std::mutex> lock(gate->mutex);
        return gate->open;
    };

    std::atomic<int> stops{0};
    std::atomic<bool> stoppedWhileHeld{false};
    QObject listening; // the connection ends with this test
    connect(
        m_bus.get(), &Platform::IHwBus::busStopped, &listening,
        [&](bool closed) {
            stoppedWhileHeld = stoppedWhileHeld || !isOpen();
            if (closed == closeDevices)
                ++stops;
        },
        Qt::DirectConnection);

    m_bus->runBus();
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
            std::lock_guard<std::mutex> l(gate->mutex);
            return gate->entered;
        }(),
        ArrivalTimeoutMs);
    m_bus->stopBus(closeDevices);
    const bool stopReturnedFirst = !isOpen();
    if (restart)
        m_bus->runBus();
    const bool runReturnedFirst = !isOpen();
    openGate();
    safety.join();
    QVERIFY(stopReturnedFirst);
    QVERIFY(runReturnedFirst);

    // The probe ends and announces its device; the stop follows it, and only then says so.
    const SharedDeviceImpl device = waitForArrival();
    QTRY_COMPARE_WITH_TIMEOUT(stops.load(), 1, ArrivalTimeoutMs);
    QVERIFY(!stoppedWhileHeld);
    if (closeDevices)
        QTRY_COMPARE_WITH_TIMEOUT(m_recorder->removals(), 1, ArrivalTimeoutMs);
    QTRY_COMPARE_WITH_TIMEOUT(m_client->hasDevice(), !closeDevices, ArrivalTimeoutMs);

    if (restart) {
        // The later call wins: polling goes on and finds the closed device again.
        QVERIFY(waitForArrival(2)->getInstanceId() != device->getInstanceId());
        return;
    }
    // Stopped: nothing is probed or announced any more.
    const int enumerates = Bus::instance().enumerateCalls();
    const size_t events = m_recorder->events.size();
    QVERIFY(
        !QTest::qWaitFor([&] { return m_recorder->events.size() != events; }, int(2 * HidHwBus::PollIntervalMs + 500)));
    QCOMPARE(Bus::instance().enumerateCalls(), enumerates);
}

void TestHwBus::pairingOnlyOnAFirmwareOnlyDongle_data()
{
    QTest::addColumn<int>("pid");
    QTest::addColumn<bool>("linked");
    QTest::addColumn<bool>("refuseSettings");
    QTest::addColumn<int>("pairings");
    QTest::newRow("firmware-only dongle") << 0x4B28 << false << false << 1;
    QTest::newRow("full dongle") << 0x4B28 << true << false << 0;
    QTest::newRow("firmware-only headset") << 0x4B2E << true << true << 0;
}

void TestHwBus::pairingOnlyOnAFirmwareOnlyDongle()
{
    QFETCH(int, pid);
    QFETCH(bool, linked);
    QFETCH(bool, refuseSettings);
    QFETCH(int, pairings);

    Kestrin::State* state = nullptr;
    auto device = PlugKestrin(uint16_t(pid), &state);
    device->setHeadsetLinked(linked);
    if (refuseSettings)
        state->refuseWhen = [](const Request& rq) { return Kestrin::Describe(rq) == "get earcup_balance" ? 1 : 0; };
    startBus();
    const SharedDeviceImpl found = waitForArrival();
    QCOMPARE(Main(found)->isFwOnly(), !linked || refuseSettings);

    m_bus->tryPairKestrinDongle();
    if (pairings > 0) {
        QTRY_COMPARE_WITH_TIMEOUT(state->pairings, pairings, ArrivalTimeoutMs);
        const auto log = Kestrin::DecodedLog(*device);
        QCOMPARE(std::count(log.begin(), log.end(), "pairing @dongle"), 1);
    } else if (Main(found)->isFwOnly()) {
        // The job and the polls share one worker: once a later poll ran, so had the job.
        waitForPolls(device, "get powered_on", 1);
        QCOMPARE(state->pairings, 0);
    } else {
        QVERIFY(!QTest::qWaitFor([&] { return state->pairings != 0; }, int(HidHwBus::PollIntervalMs)));
    }
    // The job leaves the device as it found it: closed for a firmware-only one, open for a full one.
    QTRY_COMPARE_WITH_TIMEOUT(m_client->hasDevice(), !Main(found)->isFwOnly(), ArrivalTimeoutMs);
    QCOMPARE(m_recorder->events.size(), size_t(1));
}

void TestHwBus::lateCloseNoticeOfAnEarlierHandleIsIgnored()
{
    // The allocator may give a new handle the address of one closed a moment earlier, so the close
    // notice of the earlier handle, handled late, can carry the held device's handle. Here the
    // device is closed and opened again before the bus gets to the notice: the notice names the
    // held handle, but the device is open.
    auto headset = PlugKestrin(0x4B2E);
    startBus();
    const SharedDeviceImpl device = waitForArrival();

    void* closed = nullptr;
    connect(
        m_client.get(), &Platform::KestrinHidApiClient::deviceGone, this, [&](void* handle) { closed = handle; },
        Qt::DirectConnection);
    QVERIFY(m_client->closeDevice());
    QVERIFY(closed);
    QVERIFY(m_client->openDevice());

    QCoreApplication::sendPostedEvents(); // delivers the queued notice; no poll holds the mutex
    QCOMPARE(m_recorder->removals(), 0);
    QCOMPARE(m_directRemovals.load(), 0);
    uint8_t level = 0;
    QVERIFY(Main(device)->readBatteryLevel(level));
}

void TestHwBus::destroyingTheBusClosesTheDevice()
{
    auto headset = PlugKestrin(0x4B1E);
    startBus();
    waitForArrival();
    QVERIFY(m_client->hasDevice());
    m_bus.reset();
    QVERIFY(!m_client->hasDevice());
    QCOMPARE(Bus::instance().openHandles(), 0);
}

void TestHwBus::destroyingTheBusEndsASlowSetUpAtItsNextExchange_data()
{
    QTest::addColumn<int>("pid");
    QTest::addColumn<int>("latency");
    QTest::newRow("dongle, slow replies") << 0x4BA9 << 12;
    QTest::newRow("cabled, slow replies") << 0x4B2E << 40;
}

// The program's end destroys the bus while a slow device is being set up (a dozen exchanges of
// half a second each): the set-up ends at its next exchange, so the end does not wait for it and
// the instance lock is not held by a process without a window.
void TestHwBus::destroyingTheBusEndsASlowSetUpAtItsNextExchange()
{
    QFETCH(int, pid);
    QFETCH(int, latency);
    m_client->setReadPacing(10, 50); // the product's pacing: each reply takes `latency` paced reads
    auto device = PlugKestrin(uint16_t(pid));
    device->setReplyLatency(latency);
    m_bus->runBus();
    QTRY_VERIFY_WITH_TIMEOUT(device->requests().size() >= 2, ArrivalTimeoutMs);

    QElapsedTimer timer;
    timer.start();
    const size_t asked = device->requests().size();
    m_bus.reset();
    const qint64 elapsed = timer.elapsed();
    qInfo("The bus went %lld ms after its destruction began, %zu requests into the set-up.",
          static_cast<long long>(elapsed), asked);
    // At most the exchange under way when the end began was finished.
    QVERIFY2(device->requests().size() <= asked + 1, qPrintable(QString::number(device->requests().size())));
    QCOMPARE(m_recorder->arrivals(), 0);
    QVERIFY(!m_client->hasDevice());
    QCOMPARE(Bus::instance().openHandles(), 0);
    // The client serves a later bus as before.
    m_bus = std::make_unique<HidHwBus>(m_client.get());
    m_recorder = std::make_unique<Recorder>(*m_bus);
    device->setReplyLatency(0);
    m_client->setReadPacing(0, 0);
    m_bus->runBus();
    waitForArrival();
}

void TestHwBus::logLines()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath("bus.log");
    GlobalLogger::Instance()->initFile(path);

    // A device that answers nothing, then a firmware-only dongle, then a full headset that is
    // pulled out.
    auto silent = PlugKestrin(0x4B1A);
    silent->setSilent(true);
    startBus();
    Unplug(silent);
    auto dongle = PlugDongleWithoutHeadset(0x4B29);
    waitForArrival();
    Unplug(dongle);
    QTRY_COMPARE_WITH_TIMEOUT(m_recorder->removals(), 1, ArrivalTimeoutMs);
    auto headset = PlugKestrin(0x4B2E);
    const SharedDeviceImpl device = waitForArrival(2);
    Unplug(headset);
    uint8_t level = 0;
    Main(device)->readBatteryLevel(level);
    QTRY_COMPARE_WITH_TIMEOUT(m_recorder->removals(), 2, ArrivalTimeoutMs);

    GlobalLogger::Instance()->initFile(dir.filePath("after.log")); // flushes bus.log
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray log = file.readAll();
    QVERIFY2(log.contains("Kestrin device seems to be invalid, closing..."), log.constData());
    QCOMPARE(log.count("Kestrin device for FW update only found."), 1);
    QCOMPARE(log.count("deviceArrived"), 2);
    // The firmware-only device leaves when it no longer opens, not through a close notice.
    QCOMPARE(log.count("Kestrin device removed"), 1);
    QVERIFY(log.indexOf("Kestrin device for FW update only found.") < log.indexOf("deviceArrived"));
    QVERIFY(log.lastIndexOf("deviceArrived") < log.indexOf("Kestrin device removed"));
}

void TestHwBus::firstProbeDoneFollowsItsArrivals()
{
    PlugKestrin(0x4B2A);
    startBus();
    QTRY_COMPARE_WITH_TIMEOUT(m_recorder->firstProbesAfter.size(), size_t(1), ArrivalTimeoutMs);
    // Received queued, after the arrival that the same probe announced.
    QCOMPARE(m_recorder->firstProbesAfter.front(), size_t(1));
    QCOMPARE(m_recorder->arrivals(), 1);

    // Later polls are no first probes.
    QVERIFY(!QTest::qWaitFor([&] { return m_firstProbes > 1; }, int(2 * HidHwBus::PollIntervalMs)));
}

void TestHwBus::noDeviceIoOnTheCallersThread_data()
{
    QTest::addColumn<int>("pid");
    QTest::addColumn<bool>("pair");
    // The first probe sets a cabled headset up: a dozen exchanges.
    QTest::newRow("headset set up") << 0x4B2A << false;
    // A dongle without its headset, paired.
    QTest::newRow("dongle paired") << 0x4B28 << true;
}

void TestHwBus::noDeviceIoOnTheCallersThread()
{
    QFETCH(int, pid);
    QFETCH(bool, pair);

    Kestrin::State* state = nullptr;
    auto device = pair ? PlugDongleWithoutHeadset(uint16_t(pid), &state) : PlugKestrin(uint16_t(pid), &state);
    const auto threads = std::make_shared<RequestThreads>();
    RequestThreads::Watch(*state, threads);

    m_bus->runBus();
    const SharedDeviceImpl found = waitForArrival();
    QCOMPARE(Main(found)->isFwOnly(), pair);
    if (pair) {
        m_bus->tryPairKestrinDongle();
        QTRY_COMPARE_WITH_TIMEOUT(state->pairings, 1, ArrivalTimeoutMs);
    }

    QVERIFY(threads->any());
    QVERIFY(!threads->includes(std::this_thread::get_id()));
}

void TestHwBus::unopenableDeviceIsReportedOnceAndHidesNoOther_data()
{
    QTest::addColumn<QString>("reason");
    QTest::addColumn<bool>("namesTheRule");
    QTest::newRow("no permission") << "Permission denied" << true;
    QTest::newRow("busy") << "Device or resource busy" << false;
}

void TestHwBus::unopenableDeviceIsReportedOnceAndHidesNoOther()
{
    QFETCH(QString, reason);
    QFETCH(bool, namesTheRule);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath("bus.log");
    GlobalLogger::Instance()->initFile(path);

    // A cabled headset comes first in the client's order and would win over the dongle.
    auto headset = PlugKestrin(0x4B2E);
    headset->refuseOpen(reason.toStdString());
    auto dongle = PlugKestrin(0x4B29);
    startBus();
    const SharedDeviceImpl found = waitForArrival();
    QCOMPARE(int(Pid(found)), 0x4B29);
    QVERIFY(!Main(found)->isFwOnly());

    // Several polls later the dongle is still in use, and the headset was reported once.
    const int enumerates = Bus::instance().enumerateCalls();
    QTRY_VERIFY_WITH_TIMEOUT(Bus::instance().enumerateCalls() > enumerates + 12, ArrivalTimeoutMs);
    QCOMPARE(m_recorder->events.size(), size_t(1));
    QVERIFY(m_client->hasDevice());
    uint8_t level = 0;
    QVERIFY(Main(found)->readBatteryLevel(level));

    const QByteArray log = ReadLog(path);
    QCOMPARE(log.count("Cannot open"), 1);
    const int line = log.indexOf("Cannot open");
    const QByteArray message = log.mid(line, log.indexOf('\n', line) - line);
    QVERIFY2(message.contains("PID 0x4B2E"), message.constData());
    QVERIFY2(message.contains(reason.toUtf8()), message.constData());
    QCOMPARE(message.contains("\"60-velmor-kestrin.rules\""), namesTheRule);
    QVERIFY(!log.contains("Failed to open VID"));
    QVERIFY(!log.contains("with error:"));

    // Access granted in place (the rule applied, the other program gone; or the headset plugged
    // in again at the same node): the cabled headset takes over, as one just plugged in does.
    headset->refuseOpen("");
    const SharedDeviceImpl wired = waitForArrival(2);
    QCOMPARE(int(Pid(wired)), 0x4B2E);
    QVERIFY(!Main(wired)->isDongle());
    QCOMPARE(ReadLog(path).count("Cannot open"), 1);
}

void TestHwBus::firmwareOnlyDeviceSwappedForAnotherIsReplaced()
{
    auto dongle = PlugDongleWithoutHeadset(0x4B28);
    startBus();
    const SharedDeviceImpl old = waitForArrival();
    QVERIFY(Main(old)->isFwOnly());

    // Swapped between two probes: a firmware-only headset where the dongle was.
    m_bus->stopBus(false);
    Unplug(dongle);
    Kestrin::State* state = nullptr;
    PlugKestrin(0x4B1E, &state);
    state->refuseWhen = [](const Request& rq) { return Kestrin::Describe(rq) == "get earcup_balance" ? 1 : 0; };
    startBus();

    const SharedDeviceImpl replacement = waitForArrival(2);
    QCOMPARE(m_recorder->events.size(), size_t(3));
    QVERIFY(!m_recorder->events[1].arrived);
    QCOMPARE(m_recorder->events[1].device->getInstanceId(), old->getInstanceId());
    QVERIFY(Main(replacement)->isFwOnly());
    QVERIFY(!Main(replacement)->isDongle());
    QCOMPARE(int(Pid(replacement)), 0x4B1E);
    QVERIFY(m_bus->hasKestrinFwOnly());

    // And it stays: later polls find the same device.
    QVERIFY(!QTest::qWaitFor([&] { return m_recorder->events.size() > 3; }, int(2 * HidHwBus::PollIntervalMs)));
}

void TestHwBus::solvarineProbe_data()
{
    QTest::addColumn<bool>("answers");
    QTest::newRow("unit in its bootloader") << true;
    QTest::newRow("silent unit") << false;
}

void TestHwBus::solvarineProbe()
{
    QFETCH(bool, answers);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath("bus.log");
    GlobalLogger::Instance()->initFile(path);

    // A serial client that holds a port (the product's never does), on a bus of its own.
    ScriptedSerialPeer serial;
    if (answers)
        ScriptedSerialPeer::ScriptUnitInBootloader(serial, "SLV 3.1.4");
    m_recorder.reset();
    m_bus = std::make_unique<HidHwBus>(m_client.get(), &serial);
    m_recorder = std::make_unique<Recorder>(*m_bus);
    m_bus->runBus();

    if (answers) {
        const SharedDeviceImpl found = waitForArrival();
        QCOMPARE(int(found->getDeviceType()), int(DeviceType::solvarine));
        QCOMPARE(found->getCategory(), Devices::DeviceCategory::Hardware);
        QString version;
        QVERIFY(found->getSolvarineDevice()->loadFwVersion(version));
        QCOMPARE(version, QStringLiteral("SLV 3.1.4"));
    } else {
        QTRY_COMPARE_WITH_TIMEOUT(m_recorder->firstProbesAfter.size(), size_t(1), ArrivalTimeoutMs);
    }
    // A held device is not probed again; a failed one is tried on every poll. Each poll
    // enumerates the headsets too, which counts the polls.
    const int enumerates = Bus::instance().enumerateCalls();
    QTRY_VERIFY_WITH_TIMEOUT(Bus::instance().enumerateCalls() >= enumerates + 2 * EnumeratesPerEmptyProbe,
                             ArrivalTimeoutMs);
    m_bus->stopBus(false);
    const int resets = int(serial.writes().count("SRST"));
    QCOMPARE(m_recorder->arrivals(), answers ? 1 : 0);
    QVERIFY2(answers ? resets == 1 : resets >= 2, qPrintable(QString::number(resets)));

    const QByteArray log = ReadLog(path);
    QCOMPARE(log.count("deviceArrived"), answers ? 1 : 0);
    QCOMPARE(log.count("Solvarine device seems to be invalid, closing...") >= 2, !answers);
    m_bus.reset(); // before the serial client goes
}

QTEST_GUILESS_MAIN(TestHwBus)
#include "tst_hwbus.moc"
