#include "ui_models/UINotificationsModel.h"
#include "ui_models/UINotificationsSortFilterModel.h"

#include <QAbstractItemModelTester>
#include <QQmlComponent>
#include <QQmlContext>
#include <QQmlEngine>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

#include <memory>

using UIModels::UINotificationsModel;
using UIModels::UINotificationsSortFilterModel;

namespace {

constexpr int c_builtin_rows = 2;

Notification Text(int id, const QString& text = QString())
{
    Notification n;
    n.id = id;
    n.type = Notification::Type::text;
    n.content = text.isEmpty() ? QStringLiteral("news %1").arg(id) : text;
    return n;
}

QList<Notification> TextList(const QList<int>& ids)
{
    QList<Notification> list;
    for (int id : ids)
        list.append(Text(id));
    return list;
}

QList<int> Ids(const UINotificationsModel& model)
{
    QList<int> ids;
    for (const Notification& n : model.getNotifications())
        ids.append(n.id);
    return ids;
}

// What the model tells its views, in order, in a form a table can hold.
class ChangeLog : public QObject {
public:
    explicit ChangeLog(QAbstractItemModel* model)
    {
        connect(model, &QAbstractItemModel::rowsInserted, this, [this](const QModelIndex&, int first, int last) {
            lines << QStringLiteral("insert %1-%2").arg(first).arg(last);
        });
        connect(model, &QAbstractItemModel::rowsRemoved, this, [this](const QModelIndex&, int first, int last) {
            lines << QStringLiteral("remove %1-%2").arg(first).arg(last);
        });
        connect(model, &QAbstractItemModel::modelReset, this, [this] { lines << QStringLiteral("reset"); });
        connect(model, &QAbstractItemModel::dataChanged, this,
                [this](const QModelIndex& from, const QModelIndex& to, const QList<int>& roles) {
                    QStringList names;
                    for (int role : roles)
                        names << QString::number(role);
                    lines << QStringLiteral("changed %1-%2 [%3]").arg(from.row()).arg(to.row()).arg(names.join(','));
                });
    }
    QStringList lines;
};

// The ids the proxy shows, in its order; the built-in rows as "fw" and "app".
QStringList Shown(const QAbstractItemModel& proxy)
{
    QStringList shown;
    for (int row = 0; row < proxy.rowCount(); ++row) {
        const QModelIndex index = proxy.index(row, 0);
        switch (index.data(UINotificationsModel::typeRole).toInt()) {
        case UINotificationsModel::FwUpdate: shown << QStringLiteral("fw"); break;
        case UINotificationsModel::AppUpdate: shown << QStringLiteral("app"); break;
        default: shown << index.data(UINotificationsModel::dataRole).toString();
        }
    }
    return shown;
}

// A model and its proxy, both watched by Qt's model tester, with the date fixed.
struct Fixture {
    explicit Fixture(QDate date = QDate(2026, 3, 7))
        : today(date)
    {
        model.setDateSource([this] { return today; });
        model.updateCurrentDate();
        proxy.setSourceModel(&model);
    }
    QDate today;
    UINotificationsModel model;
    UINotificationsSortFilterModel proxy;
    QAbstractItemModelTester modelTester{&model, QAbstractItemModelTester::FailureReportingMode::QtTest};
    QAbstractItemModelTester proxyTester{&proxy, QAbstractItemModelTester::FailureReportingMode::QtTest};
};

} // namespace

class TestNotificationsModel : public QObject {
    Q_OBJECT

private slots:
    void freshModelShowsNothing();
    void updateRowsLeadWhenOffered();
    void newListBecomesRowChanges_data();
    void newListBecomesRowChanges();
    void sameIdTakesNewContent();
    void recordTypes();
    void dateWindow_data();
    void dateWindow();
    void newDayShowsAndExpires();
    void dateIsCheckedEveryTenMinutes();
    void targetDevices();
    void dismissingThroughTheProxy();
    void writesThatAreRefused();
    void newestFirstUpdatesOnTop();
    void markAsSeenOnlyShownRows();
    void qmlReadsAndDismissesThroughTheProxy();
};

void TestNotificationsModel::freshModelShowsNothing()
{
    Fixture f;
    QCOMPARE(f.model.rowCount(), c_builtin_rows);
    QCOMPARE(f.model.index(0, 0).data(UINotificationsModel::typeRole).toInt(), int(UINotificationsModel::FwUpdate));
    QCOMPARE(f.model.index(1, 0).data(UINotificationsModel::typeRole).toInt(), int(UINotificationsModel::AppUpdate));
    QCOMPARE(f.model.index(0, 0).data(UINotificationsModel::dataRole).toString(),
             QStringLiteral("A firmware update is required for your headphones."));
    QCOMPARE(f.model.index(1, 0).data(UINotificationsModel::dataRole).toString(),
             QStringLiteral("A new version of the Velmor App is available."));
    for (int row = 0; row < c_builtin_rows; ++row) {
        const QModelIndex index = f.model.index(row, 0);
        QVERIFY(!index.data(UINotificationsModel::isVisibleRole).toBool());
        QVERIFY(!index.data(UINotificationsModel::isSeenRole).toBool());
        QVERIFY(index.data(UINotificationsModel::linkRole).toString().isEmpty());
        QCOMPARE(index.data(UINotificationsModel::dateRole).toDate(), f.today);
    }
    QCOMPARE(f.proxy.rowCount(), 0);
    QVERIFY(f.model.getNotifications().isEmpty());

    // Only the seven roles, no display role for a view to fall back on.
    const QHash<int, QByteArray> roles = f.model.roleNames();
    QCOMPARE(roles.size(), 7);
    QCOMPARE(roles.value(257), QByteArray("typeRole"));
    QCOMPARE(roles.value(263), QByteArray("isVisibleRole"));
    QVERIFY(!roles.contains(Qt::DisplayRole));
    QVERIFY(!f.model.index(0, 0).data(Qt::DisplayRole).isValid());
}

void TestNotificationsModel::updateRowsLeadWhenOffered()
{
    Fixture f;
    f.model.setNotifications({Text(1)});
    ChangeLog log(&f.model);

    f.model.setFwUpdate(true);
    QCOMPARE(log.lines, QStringList{QStringLiteral("changed 0-0 [263]")});
    QCOMPARE(Shown(f.proxy), (QStringList{"fw", "news 1"}));
    const QModelIndex first = f.proxy.index(0, 0);
    QCOMPARE(first.data(UINotificationsModel::dateRole).toDate(), f.today);
    QVERIFY(!first.data(UINotificationsModel::isSeenRole).toBool());

    f.model.setFwUpdate(true); // no change, no signal
    QCOMPARE(log.lines.size(), 1);

    f.model.setAppUpdate(true);
    QCOMPARE(log.lines.last(), QStringLiteral("changed 1-1 [263]"));
    QCOMPARE(Shown(f.proxy), (QStringList{"fw", "app", "news 1"}));

    f.model.setFwUpdate(false);
    QCOMPARE(Shown(f.proxy), (QStringList{"app", "news 1"}));
}

void TestNotificationsModel::newListBecomesRowChanges_data()
{
    QTest::addColumn<QList<int>>("before");
    QTest::addColumn<QList<int>>("after");
    QTest::addColumn<QStringList>("changes");

    // The first downloaded record is model row 2.
    QTest::newRow("new at both ends") << QList<int>{1, 2, 3} << QList<int>{0, 1, 2, 3, 4}
                                      << QStringList{"insert 2-2", "changed 3-5 []", "insert 6-6"};
    QTest::newRow("reversed") << QList<int>{1, 2, 3} << QList<int>{3, 2, 1} << QStringList{"reset"};
    QTest::newRow("first dropped") << QList<int>{1, 2, 3} << QList<int>{2, 3}
                                   << QStringList{"remove 2-2", "changed 2-3 []"};
    QTest::newRow("middle dropped") << QList<int>{1, 2, 3} << QList<int>{1, 3}
                                    << QStringList{"remove 3-3", "changed 2-3 []"};
    QTest::newRow("first feed") << QList<int>{} << QList<int>{1, 2} << QStringList{"insert 2-3"};
    QTest::newRow("appended") << QList<int>{1, 2} << QList<int>{1, 2, 3} << QStringList{"insert 4-4", "changed 2-3 []"};
    QTest::newRow("prepended") << QList<int>{2, 3} << QList<int>{0, 1, 2, 3}
                               << QStringList{"insert 2-3", "changed 4-5 []"};
    QTest::newRow("all replaced") << QList<int>{1, 2} << QList<int>{5, 6}
                                  << QStringList{"remove 3-3", "remove 2-2", "insert 2-3"};
    QTest::newRow("new one between kept ones") << QList<int>{1, 3} << QList<int>{1, 2, 3} << QStringList{"reset"};
    QTest::newRow("emptied") << QList<int>{1, 2} << QList<int>{} << QStringList{"remove 3-3", "remove 2-2", "reset"};
    QTest::newRow("unchanged") << QList<int>{1, 2} << QList<int>{1, 2} << QStringList{"changed 2-3 []"};
    QTest::newRow("empty to empty") << QList<int>{} << QList<int>{} << QStringList{"reset"};
    // The kept run is found after a start that fails on its last id.
    QTest::newRow("run after a false start") << QList<int>{1, 1, 2} << QList<int>{0, 1, 1, 1, 2, 3}
                                             << QStringList{"insert 2-3", "changed 4-6 []", "insert 7-7"};
    // Hundreds of rows leaving at once replace the list instead of leaving one by one.
    QList<int> many;
    for (int id = 1; id <= 300; ++id)
        many.append(id);
    QTest::newRow("many leave") << many << QList<int>{300, 301} << QStringList{"reset"};
    QTest::newRow("a few leave") << many.mid(0, 5) << QList<int>{5}
                                 << QStringList{"remove 5-5", "remove 4-4", "remove 3-3", "remove 2-2",
                                                "changed 2-2 []"};
}

void TestNotificationsModel::newListBecomesRowChanges()
{
    QFETCH(QList<int>, before);
    QFETCH(QList<int>, after);
    QFETCH(QStringList, changes);

    Fixture f;
    f.model.setNotifications(TextList(before));
    QCOMPARE(Ids(f.model), before);

    ChangeLog log(&f.model);
    f.model.setNotifications(TextList(after));
    QCOMPARE(log.lines, changes);
    QCOMPARE(Ids(f.model), after);
    QCOMPARE(f.model.rowCount(), c_builtin_rows + after.size());
    for (int i = 0; i < after.size(); ++i) {
        QCOMPARE(f.model.getRow(i), c_builtin_rows + i);
        QCOMPARE(f.model.getIndex(i).data(UINotificationsModel::dataRole).toString(),
                 QStringLiteral("news %1").arg(after[i]));
        QCOMPARE(f.model.getIndex(i).data(UINotificationsModel::typeRole).toInt(), int(UINotificationsModel::Text));
    }
}

void TestNotificationsModel::sameIdTakesNewContent()
{
    Fixture f;
    f.model.setNotifications({Text(1, "old text"), Text(2)});
    QSignalSpy changed(&f.model, &QAbstractItemModel::dataChanged);

    Notification edited = Text(1, "new text");
    edited.link = QStringLiteral("https://example.com/more");
    f.model.setNotifications({edited, Text(2)});

    QCOMPARE(changed.count(), 1);
    QCOMPARE(f.model.getIndex(0).data(UINotificationsModel::dataRole).toString(), QStringLiteral("new text"));
    QCOMPARE(f.model.getIndex(0).data(UINotificationsModel::linkRole).toString(),
             QStringLiteral("https://example.com/more"));
    QCOMPARE(Shown(f.proxy), (QStringList{"new text", "news 2"}));
}

void TestNotificationsModel::recordTypes()
{
    Fixture f;
    Notification image;
    image.id = 5;
    image.type = Notification::Type::image;
    image.content = QStringLiteral("https://example.com/a.png");
    f.model.setNotifications({Text(4), image});
    QCOMPARE(f.model.getIndex(0).data(UINotificationsModel::typeRole).toInt(), int(UINotificationsModel::Text));
    QCOMPARE(f.model.getIndex(1).data(UINotificationsModel::typeRole).toInt(), int(UINotificationsModel::Image));
    QCOMPARE(f.model.getIndex(1).data(UINotificationsModel::dataRole).toString(), image.content);

    // The types follow the records through removals and insertions.
    f.model.setNotifications({image, Text(6)});
    QCOMPARE(f.model.getIndex(0).data(UINotificationsModel::typeRole).toInt(), int(UINotificationsModel::Image));
    QCOMPARE(f.model.getIndex(1).data(UINotificationsModel::typeRole).toInt(), int(UINotificationsModel::Text));
}

void TestNotificationsModel::dateWindow_data()
{
    QTest::addColumn<int>("startsIn");  // days from today; 999 = no start date
    QTest::addColumn<int>("expiresIn"); // days from today; 999 = no end date
    QTest::addColumn<bool>("visible");

    QTest::newRow("no dates") << 999 << 999 << true;
    QTest::newRow("starts today") << 0 << 999 << true;
    QTest::newRow("starts tomorrow") << 1 << 999 << false;
    QTest::newRow("started last year") << -365 << 999 << true;
    QTest::newRow("expires today") << 999 << 0 << true;
    QTest::newRow("expired yesterday") << 999 << -1 << false;
    QTest::newRow("one-day window today") << 0 << 0 << true;
    QTest::newRow("window in the past") << -10 << -5 << false;
    QTest::newRow("window in the future") << 5 << 10 << false;
}

void TestNotificationsModel::dateWindow()
{
    QFETCH(int, startsIn);
    QFETCH(int, expiresIn);
    QFETCH(bool, visible);

    Fixture f;
    Notification n = Text(1);
    if (startsIn != 999)
        n.createdAt = f.today.addDays(startsIn);
    if (expiresIn != 999)
        n.expiresAt = f.today.addDays(expiresIn);
    f.model.setNotifications({n});

    QCOMPARE(f.model.getIndex(0).data(UINotificationsModel::isVisibleRole).toBool(), visible);
    QCOMPARE(f.proxy.rowCount(), visible ? 1 : 0);
    // A record without a start date is dated today.
    QCOMPARE(f.model.getIndex(0).data(UINotificationsModel::dateRole).toDate(),
             n.createdAt.isValid() ? n.createdAt : f.today);
}

void TestNotificationsModel::newDayShowsAndExpires()
{
    Fixture f;
    Notification tomorrow = Text(1, "from tomorrow");
    tomorrow.createdAt = f.today.addDays(1);
    Notification lastDay = Text(2, "until today");
    lastDay.expiresAt = f.today;
    f.model.setNotifications({tomorrow, lastDay});
    f.model.setFwUpdate(true);
    QCOMPARE(Shown(f.proxy), (QStringList{"fw", "until today"}));

    QSignalSpy visibles(&f.model, &UINotificationsModel::visiblesChanged);
    f.model.updateCurrentDate(); // same day: nothing
    QCOMPARE(visibles.count(), 0);

    ChangeLog log(&f.model);
    f.today = f.today.addDays(1);
    f.model.updateCurrentDate();
    QCOMPARE(visibles.count(), 1);
    // Every row is dated anew, the update notices included.
    QCOMPARE(log.lines, QStringList{QStringLiteral("changed 0-3 [260,263]")});
    QCOMPARE(Shown(f.proxy), (QStringList{"fw", "from tomorrow"}));
    QCOMPARE(f.proxy.index(0, 0).data(UINotificationsModel::dateRole).toDate(), f.today);
}

void TestNotificationsModel::dateIsCheckedEveryTenMinutes()
{
    UINotificationsModel model;
    const QList<QTimer*> timers = model.findChildren<QTimer*>();
    QCOMPARE(timers.size(), 1);
    QCOMPARE(timers.first()->interval(), 10 * 60 * 1000);
    QVERIFY(timers.first()->isActive());
    QVERIFY(!timers.first()->isSingleShot());

    // The timer's tick is what moves the date on.
    QDate today(2030, 1, 1);
    model.setDateSource([&] { return today; });
    QSignalSpy visibles(&model, &UINotificationsModel::visiblesChanged);
    QVERIFY(QMetaObject::invokeMethod(timers.first(), "timeout"));
    QCOMPARE(visibles.count(), 1);
    QCOMPARE(model.index(0, 0).data(UINotificationsModel::dateRole).toDate(), today);
}

void TestNotificationsModel::targetDevices()
{
    Fixture f;
    Notification forKestrin2 = Text(1, "kestrin 2 only");
    forKestrin2.devices = {DeviceType::kestrin_2};
    Notification forAll = Text(2, "everyone");
    f.model.setNotifications({forKestrin2, forAll});
    QCOMPARE(Shown(f.proxy), QStringList{"everyone"});

    ChangeLog log(&f.model);
    f.model.setCurrentDevice(DeviceType::kestrin);
    QCOMPARE(log.lines, QStringList{QStringLiteral("changed 2-3 [263]")});
    QCOMPARE(Shown(f.proxy), QStringList{"everyone"});

    f.model.setCurrentDevice(DeviceType::kestrin_2);
    QCOMPARE(Shown(f.proxy), (QStringList{"kestrin 2 only", "everyone"}));

    f.model.setCurrentDevice(DeviceType::none);
    QCOMPARE(Shown(f.proxy), QStringList{"everyone"});
}

void TestNotificationsModel::dismissingThroughTheProxy()
{
    Fixture f;
    f.model.setNotifications({Text(1), Text(2)});
    QCOMPARE(f.proxy.rowCount(), 2);
    QSignalSpy visibles(&f.model, &UINotificationsModel::visiblesChanged);
    ChangeLog log(&f.model);

    QVERIFY(f.proxy.setData(f.proxy.index(0, 0), true, UINotificationsModel::isHiddenRole));
    QCOMPARE(visibles.count(), 1);
    QCOMPARE(log.lines, QStringList{QStringLiteral("changed 2-2 [262,263]")});
    QCOMPARE(Shown(f.proxy), QStringList{"news 2"});
    QVERIFY(f.model.getNotifications().at(0).hidden);

    // Seen: a write of the value it already has is accepted and says nothing.
    log.lines.clear();
    const QModelIndex row = f.proxy.index(0, 0);
    QVERIFY(f.proxy.setData(row, false, UINotificationsModel::isSeenRole));
    QVERIFY(log.lines.isEmpty());
    QVERIFY(f.proxy.setData(row, true, UINotificationsModel::isSeenRole));
    QCOMPARE(log.lines, QStringList{QStringLiteral("changed 3-3 [261]")});
    QVERIFY(f.model.getNotifications().at(1).seen);

    // Hiding is written even when unchanged; the built-in rows take it too.
    QVERIFY(f.model.setData(f.model.index(0, 0), true, UINotificationsModel::isHiddenRole));
    f.model.setFwUpdate(true);
    QCOMPARE(Shown(f.proxy), QStringList{"news 2"});
}

void TestNotificationsModel::writesThatAreRefused()
{
    Fixture f;
    f.model.setNotifications({Text(1)});
    QSignalSpy changed(&f.model, &QAbstractItemModel::dataChanged);
    const QModelIndex row = f.model.getIndex(0);

    QVERIFY(!f.model.setData(row, QStringLiteral("other"), UINotificationsModel::dataRole));
    QVERIFY(!f.model.setData(row, true, UINotificationsModel::isVisibleRole));
    QVERIFY(!f.model.setData(row, true, Qt::DisplayRole));
    QVERIFY(!f.model.setData(QModelIndex(), true, UINotificationsModel::isSeenRole));
    QVERIFY(!f.model.setData(f.proxy.index(0, 0), true, UINotificationsModel::isSeenRole)); // another model's index
    QCOMPARE(changed.count(), 0);

    QVERIFY(!f.model.data(QModelIndex(), UINotificationsModel::typeRole).isValid());
    QVERIFY(!f.model.data(f.model.index(3, 0), UINotificationsModel::typeRole).isValid());
    QVERIFY(!f.model.data(row, Qt::UserRole + 100).isValid());
}

void TestNotificationsModel::newestFirstUpdatesOnTop()
{
    Fixture f;
    Notification older = Text(1, "older");
    older.createdAt = f.today.addDays(-3);
    Notification oldest = Text(2, "oldest");
    oldest.createdAt = f.today.addDays(-30);
    Notification todayA = Text(3, "today a");
    todayA.createdAt = f.today;
    Notification undated = Text(4, "undated");
    f.model.setNotifications({oldest, todayA, older, undated});
    f.model.setAppUpdate(true);
    f.model.setFwUpdate(true);

    QCOMPARE(Shown(f.proxy), (QStringList{"fw", "app", "today a", "undated", "older", "oldest"}));

    // A new list keeps the order rule.
    Notification newest = Text(5, "new today");
    f.model.setNotifications({newest, oldest, todayA, older, undated});
    QCOMPARE(Shown(f.proxy), (QStringList{"fw", "app", "new today", "today a", "undated", "older", "oldest"}));
}

void TestNotificationsModel::markAsSeenOnlyShownRows()
{
    Fixture f;
    Notification hidden = Text(1);
    hidden.hidden = true;
    Notification future = Text(2);
    future.createdAt = f.today.addDays(2);
    Notification otherDevice = Text(3);
    otherDevice.devices = {DeviceType::kestrin_2_anc};
    f.model.setNotifications({hidden, future, otherDevice, Text(4), Text(5)});
    f.model.setAppUpdate(true);

    f.proxy.markAsSeen();

    QList<bool> seen;
    for (const Notification& n : f.model.getNotifications())
        seen.append(n.seen);
    QCOMPARE(seen, (QList<bool>{false, false, false, true, true}));
    QVERIFY(f.model.index(UINotificationsModel::AppUpdateId, 0).data(UINotificationsModel::isSeenRole).toBool());
    QVERIFY(!f.model.index(UINotificationsModel::FwUpdateId, 0).data(UINotificationsModel::isSeenRole).toBool());
    QCOMPARE(f.proxy.rowCount(), 3);
}

void TestNotificationsModel::qmlReadsAndDismissesThroughTheProxy()
{
    UINotificationsModel::RegisterType();
    Fixture f;
    Notification link = Text(1, "with a link");
    link.link = QStringLiteral("https://example.com/news");
    f.model.setNotifications({link, Text(2, "plain")});
    f.model.setFwUpdate(true);

    QQmlEngine engine;
    engine.rootContext()->setContextProperty(QStringLiteral("news"), &f.proxy);
    QQmlComponent component(&engine);
    component.setData(R"(
        import QtQml
        import QtQml.Models
        import Velmor.Enums 1.0
        Instantiator {
            model: news
            delegate: QtObject {
                readonly property bool isFwNotice: model.typeRole === UINotificationsModel.FwUpdate
                readonly property bool isImage: model.typeRole === UINotificationsModel.Image
                readonly property string text: model.dataRole
                readonly property string link: model.linkRole
                readonly property string date: Qt.formatDate(model.dateRole, "dd MMM yyyy")
                function dismiss() { model.isHiddenRole = true }
            }
        }
    )",
                      QUrl());
    std::unique_ptr<QObject> instantiator(component.create());
    QVERIFY2(instantiator, qPrintable(component.errorString()));
    QCOMPARE(instantiator->property("count").toInt(), 3);

    auto delegate = [&](int i) {
        QObject* object = nullptr;
        QMetaObject::invokeMethod(instantiator.get(), "objectAt", Q_RETURN_ARG(QObject*, object), Q_ARG(int, i));
        return object;
    };
    QVERIFY(delegate(0)->property("isFwNotice").toBool());
    QCOMPARE(delegate(1)->property("text").toString(), QStringLiteral("with a link"));
    QCOMPARE(delegate(1)->property("link").toString(), QStringLiteral("https://example.com/news"));
    QVERIFY(!delegate(1)->property("isImage").toBool());
    QCOMPARE(delegate(1)->property("date").toString(), QLocale().toString(f.today, QStringLiteral("dd MMM yyyy")));

    // Closing a card writes the hidden mark through the proxy, which then drops the row.
    QSignalSpy visibles(&f.model, &UINotificationsModel::visiblesChanged);
    QVERIFY(QMetaObject::invokeMethod(delegate(1), "dismiss"));
    QCOMPARE(visibles.count(), 1);
    QVERIFY(f.model.getNotifications().at(0).hidden);
    QTRY_COMPARE(instantiator->property("count").toInt(), 2);
    QCOMPARE(delegate(1)->property("text").toString(), QStringLiteral("plain"));
}

QTEST_GUILESS_MAIN(TestNotificationsModel)
#include "tst_notifications_model.moc"
