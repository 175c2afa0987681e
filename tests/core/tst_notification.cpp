#include "core/GlobalLogger.h"
#include "core/Notification.h"
#include "support/TestAppData.h"

#include <QtTest>

namespace {

// Test documents are written with ' for " to stay readable.
QByteArray Json(QByteArray text)
{
    return text.replace('\'', '"');
}

QByteArray Feed(const QByteArray& items)
{
    return "{ \"notifications\": [" + Json(items) + "] }";
}

QList<Notification> Read(const QByteArray& items, bool readLocalFlags = false)
{
    return Notification::FromJson(Feed(items), readLocalFlags);
}

QString LogText()
{
    QDir logs(TestSupport::AppDataPath(QStringLiteral("Logs")));
    QString text;
    for (const QString& name : logs.entryList(QDir::Files)) {
        QFile file(logs.absoluteFilePath(name));
        if (file.open(QIODevice::ReadOnly))
            text += QString::fromUtf8(file.readAll());
    }
    return text;
}

} // namespace

class TestNotification : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { TestSupport::UseTestAppData(); }

    void defaultRecord()
    {
        const Notification n;
        QVERIFY(n.content.isEmpty() && n.link.isEmpty() && n.devices.isEmpty());
        QVERIFY(n.createdAt.isNull() && n.expiresAt.isNull());
        QVERIFY(!n.seen && !n.hidden);
        QCOMPARE(uint(Enumer<Notification::Type>::Invalid()), 2u);
        QCOMPARE(Enumer<Notification::Type>::NameOrNull(Notification::Type::text), QStringLiteral("text"));
    }

    void plainTextItem()
    {
        const auto list = Read("{ 'id': 7, 'type': 'text', 'text': 'New firmware' }");
        QCOMPARE(list.size(), 1);
        const Notification& n = list[0];
        QCOMPARE(n.id, 7);
        QCOMPARE(n.type, Notification::Type::text);
        QCOMPARE(n.content, QStringLiteral("New firmware"));
        QVERIFY(n.link.isEmpty());
        QVERIFY(n.devices.isEmpty());
        QVERIFY(!n.createdAt.isValid() && !n.expiresAt.isValid());
        QVERIFY(!n.seen && !n.hidden);
    }

    void fullImageItem()
    {
        const auto list = Read(
            "{ 'id': 3, 'type': 'image', 'imageUrl': 'https://example.com/a.png', 'link': 'https://example.com/news', "
            "'createdAt': '2025 03 07', 'expiresAt': '2025 12 31', 'targetModels': ['Kestrin2'] }");
        QCOMPARE(list.size(), 1);
        const Notification& n = list[0];
        QCOMPARE(n.type, Notification::Type::image);
        QCOMPARE(n.content, QStringLiteral("https://example.com/a.png"));
        QCOMPARE(n.link, QStringLiteral("https://example.com/news"));
        QCOMPARE(n.createdAt, QDate(2025, 3, 7));
        QCOMPARE(n.expiresAt, QDate(2025, 12, 31));
        QCOMPARE(n.devices, QSet<DeviceType>{DeviceType::kestrin_2});
    }

    void localFlags_data()
    {
        QTest::addColumn<bool>("readLocalFlags");
        QTest::addColumn<bool>("expected");
        QTest::newRow("feed ignores them") << false << false;
        QTest::newRow("cache reads them") << true << true;
    }
    void localFlags()
    {
        QFETCH(bool, readLocalFlags);
        QFETCH(bool, expected);
        const auto list =
            Read("{ 'id': 1, 'type': 'text', 'text': 't', 'seen': true, 'hidden': true }", readLocalFlags);
        QCOMPARE(list.size(), 1);
        QCOMPARE(list[0].seen, expected);
        QCOMPARE(list[0].hidden, expected);
    }

    void skippedItems_data()
    {
        QTest::addColumn<QByteArray>("item");
        QTest::newRow("type in other capitals") << QByteArray("{ 'type': 'Text', 'text': 't' }");
        QTest::newRow("unknown type") << QByteArray("{ 'type': 'video', 'text': 't' }");
        QTest::newRow("missing type") << QByteArray("{ 'text': 't' }");
        QTest::newRow("type not a string") << QByteArray("{ 'type': 1, 'text': 't' }");
        QTest::newRow("text item with only imageUrl")
            << QByteArray("{ 'type': 'text', 'imageUrl': 'https://example.com/a.png' }");
        QTest::newRow("empty text") << QByteArray("{ 'type': 'text', 'text': '' }");
        QTest::newRow("text not a string") << QByteArray("{ 'type': 'text', 'text': 12 }");
        QTest::newRow("image with only text") << QByteArray("{ 'type': 'image', 'text': 't' }");
        QTest::newRow("image url invalid")
            << QByteArray("{ 'type': 'image', 'imageUrl': 'http://exa mple.com/a.png' }");
        QTest::newRow("link invalid") << QByteArray("{ 'type': 'text', 'text': 't', 'link': 'http://[::1/broken' }");
        QTest::newRow("element not an object") << QByteArray("'text'");
        QTest::newRow("element null") << QByteArray("null");
    }
    void skippedItems()
    {
        QFETCH(QByteArray, item);
        const auto list = Read(item + ", { 'id': 2, 'type': 'text', 'text': 'survivor' }");
        QCOMPARE(list.size(), 1);
        QCOMPARE(list[0].id, 2);
        QCOMPARE(list[0].content, QStringLiteral("survivor"));
    }

    void acceptedLinks_data()
    {
        QTest::addColumn<QString>("link");
        QTest::newRow("empty") << "";
        QTest::newRow("https") << "https://example.com/a?b=c#d";
        QTest::newRow("http upper case") << "HTTP://example.com/";
        // Kept with their item; the cards show no Open button for them.
        QTest::newRow("mail") << "mailto:news@example.com";
        QTest::newRow("local program") << "file:///C:/Windows/System32/calc.exe";
        QTest::newRow("without scheme") << "setup.exe";
    }
    void acceptedLinks()
    {
        QFETCH(QString, link);
        const auto list = Read("{ 'type': 'text', 'text': 't', 'link': '" + link.toUtf8() + "\" }");
        QCOMPARE(list.size(), 1);
        QCOMPARE(list[0].link, link);
    }

    void dates_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QDate>("date");
        QTest::newRow("blanks") << "2025 03 07" << QDate(2025, 3, 7);
        QTest::newRow("dashes") << "2025-03-07" << QDate();
        QTest::newRow("no such day") << "2025 02 30" << QDate();
        QTest::newRow("empty") << "" << QDate();
    }
    void dates()
    {
        QFETCH(QString, text);
        QFETCH(QDate, date);
        const auto list = Read("{ 'type': 'text', 'text': 't', 'createdAt': '" + text.toUtf8() + "', 'expiresAt': '" +
                               text.toUtf8() + "\" }");
        QCOMPARE(list.size(), 1);
        QCOMPARE(list[0].createdAt.isValid(), date.isValid());
        QCOMPARE(list[0].expiresAt.isValid(), date.isValid());
        if (date.isValid()) {
            QCOMPARE(list[0].createdAt, date);
            QCOMPARE(list[0].expiresAt, date);
        }
    }

    void targetModels_data()
    {
        QTest::addColumn<QByteArray>("models");
        QTest::addColumn<QList<uint>>("expected");
        QTest::newRow("feed names and code names")
            << QByteArray("['Kestrin', 'kestrin_2', 'none', 'Zephyr', 'KestrinANC']") << QList<uint>{1, 2, 3};
        QTest::newRow("repeats collapse") << QByteArray("['Kestrin', 'kestrin', 'Kestrin']") << QList<uint>{1};
        QTest::newRow("solvarine by code name") << QByteArray("['solvarine']") << QList<uint>{4};
        QTest::newRow("case matters") << QByteArray("['KESTRIN', 'Kestrin_2']") << QList<uint>{};
        QTest::newRow("non-strings dropped") << QByteArray("[1, null, {}, 'Kestrin2']") << QList<uint>{2};
        QTest::newRow("not an array") << QByteArray("'Kestrin'") << QList<uint>{};
    }
    void targetModels()
    {
        QFETCH(QByteArray, models);
        QFETCH(QList<uint>, expected);
        const auto list = Read("{ 'type': 'text', 'text': 't', 'targetModels': " + models + " }");
        QCOMPARE(list.size(), 1);
        QSet<DeviceType> want;
        for (uint value : expected)
            want.insert(DeviceType(value));
        QCOMPARE(list[0].devices, want);
    }

    void idsAndDuplicates()
    {
        const auto list = Read("{ 'type': 'text', 'text': 'a' }, { 'id': 5, 'type': 'text', 'text': 'b' }, { 'id': 5, "
                               "'type': 'text', 'text': 'c' }, { 'id': '9', 'type': 'text', 'text': 'd' }");
        QCOMPARE(list.size(), 4);
        QCOMPARE(list[0].id, 0);
        QCOMPARE(list[1].id, 5);
        QCOMPARE(list[2].id, 5);
        QCOMPARE(list[2].content, QStringLiteral("c"));
        QCOMPARE(list[3].id, 0);
    }

    void badDocuments_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<bool>("logged");
        QTest::newRow("empty input") << QByteArray() << true;
        QTest::newRow("not json") << QByteArray("<html>") << true;
        QTest::newRow("truncated") << QByteArray("{ 'notifications': [ { 'type': ") << true;
        QTest::newRow("root is an array") << QByteArray("[]") << true;
        QTest::newRow("no notifications member") << QByteArray("{ 'items': [] }") << false;
        QTest::newRow("notifications not an array") << QByteArray("{ 'notifications': {} }") << false;
    }
    void badDocuments()
    {
        QFETCH(QByteArray, json);
        QFETCH(bool, logged);
        const QString before = LogText();
        QVERIFY(Notification::FromJson(Json(json), true).isEmpty());
        GlobalLogger::Instance()->message(QtWarningMsg, "marker"); // flushes what came before
        const QString added = LogText().mid(before.size());
        QCOMPARE(added.contains(QStringLiteral("WARN:   ")) && added.contains("Reading notifications JSON error "),
                 logged);
    }

    void writerLeavesOutEmptyParts()
    {
        Notification n;
        n.id = 4;
        n.type = Notification::Type::text;
        n.content = QStringLiteral("hello");
        const QByteArray json = Notification::ToJson({n});
        const QJsonObject item = QJsonDocument::fromJson(json).object().value("notifications").toArray()[0].toObject();
        QCOMPARE(item.keys(), (QStringList{"id", "text", "type"}));
        QCOMPARE(item.value("id").toInt(), 4);
        QCOMPARE(item.value("type").toString(), QStringLiteral("text"));
        QVERIFY(json.contains("\n    ")); // indented
    }

    void writerFullRecord()
    {
        Notification n;
        n.id = -3;
        n.type = Notification::Type::image;
        n.content = QStringLiteral("https://example.com/a.png");
        n.link = QStringLiteral("https://example.com");
        n.devices = {DeviceType::kestrin_2_anc, DeviceType::kestrin};
        n.createdAt = QDate(2025, 3, 7);
        n.expiresAt = QDate(2026, 1, 1);
        n.seen = true;
        n.hidden = true;
        const QJsonObject item =
            QJsonDocument::fromJson(Notification::ToJson({n})).object().value("notifications").toArray()[0].toObject();
        QCOMPARE(item.value("imageUrl").toString(), n.content);
        QVERIFY(!item.contains("text"));
        QCOMPARE(item.value("targetModels").toArray(), (QJsonArray{"kestrin", "kestrin_2_anc"}));
        QCOMPARE(item.value("createdAt").toString(), QStringLiteral("2025 03 07"));
        QCOMPARE(item.value("expiresAt").toString(), QStringLiteral("2026 01 01"));
        QCOMPARE(item.value("seen"), QJsonValue(true));
        QCOMPARE(item.value("hidden"), QJsonValue(true));
    }

    void roundTrip()
    {
        const auto original =
            Read("{ 'id': 1, 'type': 'text', 'text': 'one', 'seen': true }, { 'id': 2, 'type': 'image', 'imageUrl': "
                 "'https://example.com/b.png', 'link': 'https://example.com', 'targetModels': ['Kestrin', "
                 "'KestrinANC', 'solvarine'], 'createdAt': '2024 01 31', 'hidden': true }, { 'id': 3, 'type': 'text', "
                 "'text': 'three \\u00e9\\u4e2d \\'quoted\\'\\n', 'expiresAt': '2030 12 01' }",
                 true);
        QCOMPARE(original.size(), 3);
        QCOMPARE(original[0].seen, true);
        QCOMPARE(original[1].hidden, true);
        const QList<Notification> back = Notification::FromJson(Notification::ToJson(original), true);
        QCOMPARE(back.size(), original.size());
        for (int i = 0; i < back.size(); ++i)
            QVERIFY2(back[i] == original[i], qPrintable(QString::number(i)));
        QVERIFY(Notification::FromJson(Notification::ToJson({}), true).isEmpty());
    }

    void cacheLocation()
    {
        QVERIFY(TestSupport::ClearAppData());
        const QString path = Notification::GetFileLocation();
        QCOMPARE(path, TestSupport::AppDataPath(QStringLiteral("notifications.json")));
        QVERIFY(QFileInfo(TestSupport::AppDataPath()).isDir());
    }
};

QTEST_GUILESS_MAIN(TestNotification)
#include "tst_notification.moc"
