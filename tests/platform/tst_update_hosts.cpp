#include "platform/NetworkUpdater.h"

#include <QFile>
#include <QtTest>

using Platform::NetworkUpdater;

namespace {

const QStringList c_maker_hosts{
    QStringLiteral("https://downloads.velmor.com"), QStringLiteral("https://kestrin-fw.velmor.com"),
    QStringLiteral("https://kestrin2-fw.velmor.com"), QStringLiteral("https://solvarine-fw.velmor.com")};

QByteArray ReadProgram(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("Cannot read %s", qPrintable(path));
    return file.readAll();
}

// Whether `program` holds `text`, as 8-bit or as UTF-16 characters.
bool Holds(const QByteArray& program, const QString& text)
{
    const QByteArray utf16(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    return program.contains(text.toLatin1()) || program.contains(utf16);
}

} // namespace

// The application always talks to the maker's hosts; only the test programs that run the whole
// application are linked with a closed local port or a local server instead.
class TestUpdateHosts : public QObject {
    Q_OBJECT

private slots:
    void updaterNamesTheMakersHosts()
    {
        const NetworkUpdater updater;
        const NetworkUpdater::Endpoints& hosts = updater.endpoints();
        QCOMPARE(QStringList({hosts.software, hosts.kestrin, hosts.kestrin2, hosts.solvarine}), c_maker_hosts);
    }

    void productProgramNamesTheMakersHosts()
    {
        const QByteArray program = ReadProgram(QStringLiteral(VELMOR_PRODUCT_BIN));
        for (const QString& host : c_maker_hosts)
            QVERIFY2(Holds(program, host), qPrintable(host));
        QVERIFY(!Holds(program, QStringLiteral("127.0.0.1:9")));
    }

    void testProgramsOfTheWholeApplicationStayLocal_data()
    {
        QTest::addColumn<QString>("path");
        const QStringList programs = QStringLiteral(VELMOR_APP_TEST_BINS).split(QLatin1Char('|'));
        for (const QString& path : programs)
            QTest::newRow(qPrintable(QFileInfo(path).fileName())) << path;
    }
    void testProgramsOfTheWholeApplicationStayLocal()
    {
        QFETCH(QString, path);
        const QByteArray program = ReadProgram(path);
        // A closed local port, or a local server of the test's own that stands for every host.
        QVERIFY(Holds(program, QStringLiteral("https://127.0.0.1:9")) ||
                Holds(program, QStringLiteral("The local product hosts do not listen")));
        for (const QString& host : c_maker_hosts)
            QVERIFY2(!Holds(program, host), qPrintable(host));
    }
};

QTEST_GUILESS_MAIN(TestUpdateHosts)
#include "tst_update_hosts.moc"
