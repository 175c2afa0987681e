#include "TestHttpServer.h"
#include "core/GlobalLogger.h"
#include "core/Preferences.h"
#include "platform/NetworkUpdater.h"
#include "support/FullDisk.h"
#include "support/LogText.h"
#include "support/TestAppData.h"
#include "ui_mediators/UIAppMediator.h"
#include "ui_mediators/UINotificationsMediator.h"
#include "ui_models/UINotificationsModel.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QSortFilterProxyModel>
#include <QtTest>

#include <memory>

#include <sys/stat.h>

using UIMediators::UIAppMediator;

using TestSupport::LogText;

namespace {

// The installer service of a system that runs the maker's installer, so that an update is offered.
class DesktopInstaller final : public Platform::IAppInstaller {
public:
    QString unavailableReason() const override { return QString(); }
    bool start(const QString&) override { return false; }
};

} // namespace
using UIMediators::UINotificationsMediator;
using UIModels::UINotificationsModel;

namespace {

const QString c_feed_path = QStringLiteral("/Velmor_App/Notifications/Notifications.json");
const QString c_app_manifest = QStringLiteral("/Velmor_App/velmor_app.json");

QJsonObject Item(int id, const QString& text)
{
    return {{"id", id}, {"type", "text"}, {"text", text}};
}

QByteArray Document(const QJsonArray& items)
{
    return QJsonDocument(QJsonObject{{"notifications", items}}).toJson();
}

QByteArray ReadCache()
{
    QFile file(Notification::GetFileLocation());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteCache(const QByteArray& bytes)
{
    QFile file(Notification::GetFileLocation());
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

// The rows the drawer shows, "<text> [seen]" in its order; the update rows as "fw" and "app".
QStringList Shown(const UINotificationsMediator& mediator)
{
    const auto* proxy = qobject_cast<const QAbstractItemModel*>(mediator.getNotificationsModel());
    QStringList shown;
    for (int row = 0; row < proxy->rowCount(); ++row) {
        const QModelIndex index = proxy->index(row, 0);
        QString text;
        switch (index.data(UINotificationsModel::typeRole).toInt()) {
        case UINotificationsModel::FwUpdate: text = QStringLiteral("fw"); break;
        case UINotificationsModel::AppUpdate: text = QStringLiteral("app"); break;
        default: text = index.data(UINotificationsModel::dataRole).toString();
        }
        if (index.data(UINotificationsModel::isSeenRole).toBool())
            text += QStringLiteral(" [seen]");
        shown << text;
    }
    return shown;
}

// The network updater pointed at a local HTTPS server that the test trusts, and the app mediator
// the news follows.
struct Fixture {
    Fixture()
        : updater(Endpoints(server), nullptr)
        , appMediator(updater, preferences, std::make_unique<DesktopInstaller>(), nullptr)
    {
        updater.setSslConfiguration(TestNet::TestHttpServer::clientSslConfiguration());
    }
    static Platform::NetworkUpdater::Endpoints Endpoints(TestNet::TestHttpServer& server)
    {
        if (!server.listen())
            qFatal("The local test server does not listen");
        return {server.origin(), server.origin(), server.origin(), server.origin()};
    }

    std::unique_ptr<UINotificationsMediator> start()
    {
        return std::make_unique<UINotificationsMediator>(updater, appMediator, nullptr);
    }

    // Serves `feed` and waits until the updater has read it.
    bool deliver(const QByteArray& feed)
    {
        server.serve(c_feed_path, feed);
        QSignalSpy updated(&updater, &Platform::NetworkUpdater::sigNotificationsUpdated);
        updater.checkForNotifications();
        return updated.wait(20000);
    }

    TestNet::TestHttpServer server{true};
    Platform::NetworkUpdater updater;
    Preferences preferences;
    UIAppMediator appMediator;
};

} // namespace

class TestNotificationsMediator : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { TestSupport::UseTestAppData(); }
    void cleanup() { QFile::remove(Notification::GetFileLocation()); }
    void firstStartWithoutCache();
    void marksFollowTheItemsAcrossFeedsAndRuns();
    void feedReadBeforeStart();
    void emptyFeedKeepsTheRows();
    void updateRowsCountUntilSeen();
    void markAsSeenOnlyWhatIsShown();
    void dismissingMovesTheCount();
    void damagedCacheIsKeptUntilAFeedArrives();
    void cacheThatCannotBeOpened();
    void emptyCacheIsAnEmptyDrawer();
    void fifoCacheIsNeverOpened();
    void fullDiskKeepsTheOldCache();
    void marksCarriedByFirstRecordOfAnId();
    void marksOfALargeFeed();
};

void TestNotificationsMediator::firstStartWithoutCache()
{
    Fixture f;
    {
        auto mediator = f.start();
        QCOMPARE(mediator->getNewsCount(), 0);
        QVERIFY(Shown(*mediator).isEmpty());
        QCOMPARE(mediator->property("newNotificationsCount").toInt(), 0);
        // QML gets the sorting proxy, which carries the model's role names.
        auto* proxy = qobject_cast<QSortFilterProxyModel*>(mediator->getNotificationsModel());
        QVERIFY(proxy);
        QVERIFY(qobject_cast<UINotificationsModel*>(proxy->sourceModel()));
        QCOMPARE(proxy->roleNames().value(UINotificationsModel::isHiddenRole), QByteArray("isHiddenRole"));
        QVERIFY(!QFileInfo::exists(Notification::GetFileLocation()));
    }
    // Rewritten at shut-down, with nothing in it.
    const QJsonDocument written = QJsonDocument::fromJson(ReadCache());
    QVERIFY(written.isObject());
    QVERIFY(written.object().value("notifications").isArray());
    QCOMPARE(written.object().value("notifications").toArray().size(), 0);
}

void TestNotificationsMediator::marksFollowTheItemsAcrossFeedsAndRuns()
{
    QJsonObject seen = Item(1, "seen before");
    seen["seen"] = true;
    QJsonObject dismissed = Item(2, "dismissed before");
    dismissed["hidden"] = true;
    WriteCache(Document({seen, dismissed, Item(3, "new before")}));

    Fixture f;
    {
        auto mediator = f.start();
        QCOMPARE(Shown(*mediator), (QStringList{"seen before [seen]", "new before"}));
        QCOMPARE(mediator->getNewsCount(), 1);

        // The feed drops 1, changes the text of 2 and brings 4; the marks go by id.
        QSignalSpy count(mediator.get(), &UINotificationsMediator::newsCountChanged);
        QVERIFY(f.deliver(Document({Item(2, "dismissed, new text"), Item(3, "new before"), Item(4, "fresh")})));
        QVERIFY(count.count() >= 1);
        QCOMPARE(Shown(*mediator), (QStringList{"new before", "fresh"}));
        QCOMPARE(mediator->getNewsCount(), 2);
        mediator->markAsSeen();
        QCOMPARE(mediator->getNewsCount(), 0);
    }

    // The next run starts from what was written: every record with its marks.
    const QList<Notification> cached = Notification::FromJson(ReadCache(), true);
    QCOMPARE(cached.size(), 3);
    QCOMPARE(cached[0].content, QStringLiteral("dismissed, new text"));
    QVERIFY(cached[0].hidden);
    QVERIFY(cached[1].seen && cached[2].seen);

    auto mediator = f.start();
    QCOMPARE(Shown(*mediator), (QStringList{"new before [seen]", "fresh [seen]"}));
    // An item that left the feed comes back without its old marks.
    QVERIFY(f.deliver(Document({Item(1, "seen before"), Item(3, "new before")})));
    QCOMPARE(Shown(*mediator), (QStringList{"seen before", "new before [seen]"}));
}

void TestNotificationsMediator::feedReadBeforeStart()
{
    QJsonObject seen = Item(1, "one");
    seen["seen"] = true;
    WriteCache(Document({seen}));
    Fixture f;
    QVERIFY(f.deliver(Document({Item(1, "one"), Item(2, "two")})));

    // The feed the updater already holds replaces the cached list at once, marks carried over.
    auto mediator = f.start();
    QCOMPARE(Shown(*mediator), (QStringList{"one [seen]", "two"}));
    QCOMPARE(mediator->getNewsCount(), 1);
}

void TestNotificationsMediator::emptyFeedKeepsTheRows()
{
    WriteCache(Document({Item(1, "kept")}));
    Fixture f;
    auto mediator = f.start();
    QCOMPARE(Shown(*mediator), QStringList{"kept"});

    // A feed that arrives empty (or unreadable) never clears the drawer.
    QVERIFY(f.deliver(Document({})));
    QCOMPARE(Shown(*mediator), QStringList{"kept"});
    QVERIFY(f.deliver(QByteArrayLiteral("<html>maintenance</html>")));
    QCOMPARE(Shown(*mediator), QStringList{"kept"});
    QVERIFY(f.updater.getNotifications().isEmpty());
}

void TestNotificationsMediator::updateRowsCountUntilSeen()
{
    WriteCache(Document({Item(1, "news")}));
    Fixture f;
    auto mediator = f.start();
    QSignalSpy count(mediator.get(), &UINotificationsMediator::newsCountChanged);

    mediator->setFwUpdateAvailable(true);
    QCOMPARE(count.count(), 1);
    QCOMPARE(Shown(*mediator), (QStringList{"fw", "news"}));
    QCOMPARE(mediator->getNewsCount(), 2);

    // The app-update row follows the app mediator: shown while an update can be downloaded.
    f.server.serve(c_app_manifest, R"({"win_amd64_version": "9.0.0", "win_amd64_link": "http://127.0.0.1:1/x.exe"})");
    f.updater.checkForAppUpdate();
    QTRY_COMPARE_WITH_TIMEOUT(f.appMediator.getUpdateStatus(), UIAppMediator::CanDownload, 20000);
    QCOMPARE(Shown(*mediator), (QStringList{"fw", "app", "news"}));
    QCOMPARE(mediator->getNewsCount(), 3);

    count.clear();
    mediator->markAsSeen();
    QCOMPARE(count.count(), 1);
    QCOMPARE(mediator->getNewsCount(), 0);
    QCOMPARE(Shown(*mediator), (QStringList{"fw [seen]", "app [seen]", "news [seen]"}));

    // A new check hides the row while it runs; a failed one keeps it hidden.
    f.server.serve(c_app_manifest, "{");
    f.updater.checkForAppUpdate();
    QTRY_COMPARE_WITH_TIMEOUT(f.appMediator.getUpdateStatus(), UIAppMediator::Failed, 20000);
    QCOMPARE(Shown(*mediator), (QStringList{"fw [seen]", "news [seen]"}));

    mediator->setFwUpdateAvailable(false);
    QCOMPARE(Shown(*mediator), QStringList{"news [seen]"});
    mediator.reset();
    // The update rows are never written to the cache.
    QCOMPARE(Notification::FromJson(ReadCache(), true).size(), 1);
}

void TestNotificationsMediator::markAsSeenOnlyWhatIsShown()
{
    QJsonObject dismissed = Item(1, "dismissed");
    dismissed["hidden"] = true;
    QJsonObject future = Item(2, "future");
    future["createdAt"] = QDate::currentDate().addDays(3).toString("yyyy MM dd");
    QJsonObject forAnc = Item(3, "anc only");
    forAnc["targetModels"] = QJsonArray{"KestrinANC"};
    WriteCache(Document({dismissed, future, forAnc, Item(4, "shown")}));

    Fixture f;
    auto mediator = f.start();
    QCOMPARE(Shown(*mediator), QStringList{"shown"});
    mediator->markAsSeen();
    QCOMPARE(mediator->getNewsCount(), 0);

    QSignalSpy count(mediator.get(), &UINotificationsMediator::newsCountChanged);
    mediator->setCurrentDevice(DeviceType::kestrin_2_anc);
    QCOMPARE(count.count(), 1);
    QCOMPARE(Shown(*mediator), (QStringList{"anc only", "shown [seen]"}));
    QCOMPARE(mediator->getNewsCount(), 1);

    // The device is lost: items aimed at devices drop out of the list and the count.
    mediator->setCurrentDevice(DeviceType::none);
    QCOMPARE(Shown(*mediator), QStringList{"shown [seen]"});
    QCOMPARE(mediator->getNewsCount(), 0);

    mediator.reset();
    const QList<Notification> cached = Notification::FromJson(ReadCache(), true);
    QCOMPARE(cached.size(), 4); // dismissed and future ones are kept too
    QVERIFY(cached[0].hidden && !cached[0].seen);
    QVERIFY(!cached[1].seen && !cached[2].seen && cached[3].seen);
}

void TestNotificationsMediator::dismissingMovesTheCount()
{
    WriteCache(Document({Item(1, "one"), Item(2, "two")}));
    Fixture f;
    auto mediator = f.start();
    QCOMPARE(mediator->getNewsCount(), 2);
    QSignalSpy count(mediator.get(), &UINotificationsMediator::newsCountChanged);

    auto* proxy = qobject_cast<QAbstractItemModel*>(mediator->getNotificationsModel());
    QVERIFY(proxy->setData(proxy->index(0, 0), true, UINotificationsModel::isHiddenRole));
    QCOMPARE(count.count(), 1);
    QCOMPARE(mediator->getNewsCount(), 1);
    QCOMPARE(Shown(*mediator), QStringList{"two"});
}

void TestNotificationsMediator::damagedCacheIsKeptUntilAFeedArrives()
{
    const QByteArray damaged = QByteArrayLiteral("{\"notifications\": [ {\"id\": 1, \"type\": \"te");
    WriteCache(damaged);
    Fixture f;
    {
        auto mediator = f.start();
        QVERIFY(Shown(*mediator).isEmpty());
        // Nothing new arrived: what could not be read is not replaced by an empty list.
    }
    QCOMPARE(ReadCache(), damaged);

    {
        auto mediator = f.start();
        QVERIFY(f.deliver(Document({Item(5, "from the feed")})));
        QCOMPARE(Shown(*mediator), QStringList{"from the feed"});
    }
    const QList<Notification> cached = Notification::FromJson(ReadCache(), true);
    QCOMPARE(cached.size(), 1);
    QCOMPARE(cached[0].id, 5);

    // Nothing is left beside the cache by the atomic write.
    const QStringList entries = QFileInfo(Notification::GetFileLocation()).absoluteDir().entryList(QDir::Files);
    QCOMPARE(entries.filter(QStringLiteral("notifications")), QStringList{"notifications.json"});
}

void TestNotificationsMediator::cacheThatCannotBeOpened()
{
    // A folder where the file should be: neither readable nor replaceable.
    const QString path = Notification::GetFileLocation();
    QVERIFY(QDir().mkpath(path));
    {
        Fixture f;
        auto mediator = f.start();
        QVERIFY(Shown(*mediator).isEmpty());
        QVERIFY(f.deliver(Document({Item(1, "news")})));
        QCOMPARE(Shown(*mediator), QStringList{"news"});
    }
    QVERIFY(QFileInfo(path).isDir());
    QVERIFY(QDir(path).removeRecursively());
}

// An empty file is the cache of an empty drawer: read without a word.
void TestNotificationsMediator::emptyCacheIsAnEmptyDrawer()
{
    WriteCache(QByteArray());
    const QString logBefore = LogText();
    {
        Fixture f;
        auto mediator = f.start();
        QVERIFY(Shown(*mediator).isEmpty());
    }
    const QString log = LogText().mid(logBefore.size());
    QVERIFY2(log.count("WARN:   ") == 1, qPrintable(log)); // the test marker only
}

// A FIFO in place of the cache is refused with a log line instead of blocking the start.
void TestNotificationsMediator::fifoCacheIsNeverOpened()
{
    const QString path = Notification::GetFileLocation();
    QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    const QString logBefore = LogText();
    {
        Fixture f;
        auto mediator = f.start();
        QVERIFY(Shown(*mediator).isEmpty());
    }
    const QString log = LogText().mid(logBefore.size());
    QVERIFY2(log.contains("Cannot read the notifications cache: " + path + " is not a plain file"), qPrintable(log));
}

// On a full disk the cache is not replaced by a short file: the old one stays whole.
void TestNotificationsMediator::fullDiskKeepsTheOldCache()
{
    if (!TestSupport::IsFullDiskRun())
        VELMOR_RUN_ON_FULL_DISK(TestSupport::AppDataPath(), "TestNotificationsMediator", "fullDiskKeepsTheOldCache");
    const QByteArray old = Document({Item(1, "old news")});
    WriteCache(old);
    QVERIFY(TestSupport::FillDisk(TestSupport::AppDataPath()));
    {
        Fixture f;
        auto mediator = f.start();
        QJsonArray items;
        for (int id = 1; id <= 200; ++id)
            items.append(Item(id, QStringLiteral("news %1 ").arg(id).repeated(20)));
        QVERIFY(f.deliver(Document(items)));
        QCOMPARE(Shown(*mediator).size(), 200);
    } // saved here
    QCOMPARE(ReadCache(), old);
    QCOMPARE(QDir(TestSupport::AppDataPath()).entryList({"notifications*"}, QDir::Files | QDir::Hidden),
             QStringList{"notifications.json"});
}

namespace {

Notification Record(int id, bool seen = false, bool hidden = false)
{
    Notification record;
    record.id = id;
    record.type = Notification::Type::text;
    record.content = QStringLiteral("news %1").arg(id);
    record.seen = seen;
    record.hidden = hidden;
    return record;
}

} // namespace

void TestNotificationsMediator::marksCarriedByFirstRecordOfAnId()
{
    const QList<Notification> current{Record(1, true, false), Record(1, false, true), Record(2, false, true)};
    QList<Notification> incoming{Record(1), Record(2, true, false), Record(3, true, true), Record(1, false, true)};
    UINotificationsMediator::CarryLocalMarks(incoming, current);
    const QList<std::pair<bool, bool>> expected{{true, false}, {false, true}, {true, true}, {true, false}};
    for (int i = 0; i < incoming.size(); ++i) {
        QCOMPARE(incoming[i].seen, expected[i].first);
        QCOMPARE(incoming[i].hidden, expected[i].second);
        QCOMPARE(incoming[i].content, Record(incoming[i].id).content); // the new content stays
    }
}

void TestNotificationsMediator::marksOfALargeFeed()
{
    // 200,000 records, the new feed in the opposite order: every mark finds its record.
    constexpr int count = 200000;
    QList<Notification> current;
    QList<Notification> incoming;
    current.reserve(count);
    incoming.reserve(count);
    for (int id = 0; id < count; ++id) {
        current.append(Record(id, id % 2 == 0, id % 3 == 0));
        incoming.append(Record(count - 1 - id));
    }
    UINotificationsMediator::CarryLocalMarks(incoming, current);
    for (const Notification& record : std::as_const(incoming)) {
        QCOMPARE(record.seen, record.id % 2 == 0);
        QCOMPARE(record.hidden, record.id % 3 == 0);
    }
}

QTEST_GUILESS_MAIN(TestNotificationsMediator)
#include "tst_notifications_mediator.moc"
