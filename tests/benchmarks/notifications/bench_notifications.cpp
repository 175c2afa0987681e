#include "ui_mediators/UINotificationsMediator.h"
#include "ui_models/UINotificationsModel.h"
#include "ui_models/UINotificationsSortFilterModel.h"

#include <QtTest>

using UIMediators::UINotificationsMediator;
using UIModels::UINotificationsModel;
using UIModels::UINotificationsSortFilterModel;

namespace {

QList<Notification> Feed(int count, bool reversed)
{
    QList<Notification> list;
    list.reserve(count);
    for (int i = 0; i < count; ++i) {
        Notification record;
        record.id = reversed ? count - 1 - i : i;
        record.type = Notification::Type::text;
        record.content = QStringLiteral("news %1").arg(record.id);
        record.seen = i % 2 == 0;
        list.append(record);
    }
    return list;
}

} // namespace

// What the next start does with a large cached list and a feed of the same items: the marks are
// carried over by id and the model works out its row changes, with the drawer's proxy attached.
class BenchNotifications : public QObject {
    Q_OBJECT

private slots:
    void takeFeed_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<bool>("reversed");
        for (int count : {1000, 20000, 200000}) {
            QTest::addRow("%d same order", count) << count << false;
            QTest::addRow("%d reversed", count) << count << true;
        }
    }
    void takeFeed()
    {
        QFETCH(int, count);
        QFETCH(bool, reversed);
        const QList<Notification> cached = Feed(count, false);
        const QList<Notification> feed = Feed(count, reversed);
        QBENCHMARK
        {
            UINotificationsModel model;
            UINotificationsSortFilterModel proxy;
            proxy.setSourceModel(&model);
            model.setNotifications(cached);
            QList<Notification> incoming = feed;
            UINotificationsMediator::CarryLocalMarks(incoming, model.getNotifications());
            model.setNotifications(std::move(incoming));
        }
    }
};

QTEST_GUILESS_MAIN(BenchNotifications)
#include "bench_notifications.moc"
