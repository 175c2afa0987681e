// The settings file's format against Qt's own QSettings::IniFormat, both ways, on a table of the
// values that users' files hold: the two switches and the custom EQ names (user-typed, with
// commas, quotes, non-ASCII letters, empty names, lists of one and of none), and values of other
// types that an INI file of Qt's may carry.
//
// QSettings keeps what it read of a file by the file's path for the whole process, whatever the
// format: each read here goes through a copy at a path of its own, so that it is a real read.

#include "core/SettingsFile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

using Entries = QList<QPair<QString, QVariant>>;

// A place for one file, its own for the whole run.
class Scratch {
public:
    QString path(const QString& name = QStringLiteral("settings.ini")) const { return m_dir.filePath(name); }

private:
    QTemporaryDir m_dir;
};

QByteArray ReadBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Writes `entries` into a fresh file in `format`; its bytes.
QByteArray WriteFresh(const Entries& entries, QSettings::Format format)
{
    const Scratch scratch;
    {
        const std::unique_ptr<QSettings> settings = format == QSettings::IniFormat
                                                        ? std::make_unique<QSettings>(scratch.path(), format)
                                                        : std::make_unique<SettingsFile>(scratch.path());
        for (const auto& [key, value] : entries)
            settings->setValue(key, value);
        settings->sync();
        if (settings->status() != QSettings::NoError)
            return {};
    }
    return ReadBytes(scratch.path());
}

// Every key of a file with these bytes and its value, as a reader in `format` sees them.
QVariantMap ReadAll(const QByteArray& bytes, QSettings::Format format)
{
    const Scratch scratch;
    QFile file(scratch.path());
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.flush())
        return {{QStringLiteral("(scratch file)"), QStringLiteral("not written")}};
    file.close();
    const std::unique_ptr<QSettings> settings = format == QSettings::IniFormat
                                                    ? std::make_unique<QSettings>(scratch.path(), format)
                                                    : std::make_unique<SettingsFile>(scratch.path());
    QVariantMap all;
    for (const QString& key : settings->allKeys())
        all.insert(key, settings->value(key));
    return all;
}

QString Describe(const QVariantMap& map)
{
    QString text;
    QDebug(&text) << map;
    return text;
}

} // namespace

class TestSettingsFile : public QObject {
    Q_OBJECT

private slots:
    void writesWhatQtWrites_data() { entries(); }
    void writesWhatQtWrites();
    void qtReadsWhatItWrites_data() { entries(); }
    void qtReadsWhatItWrites();
    void readsWhatQtWrote_data() { entries(); }
    void readsWhatQtWrote();
    void readsHandWrittenFilesAsQtDoes_data();
    void readsHandWrittenFilesAsQtDoes();
    void aChangeKeepsEveryOtherEntry();

private:
    void entries();
};

void TestSettingsFile::entries()
{
    QTest::addColumn<Entries>("entries");
    const auto names = [](const QStringList& list) {
        return Entries{{QStringLiteral("license_accepted"), true},
                       {QStringLiteral("minimize_to_tray"), false},
                       {QStringLiteral("kestrin/ps/eq_names"), list}};
    };
    QTest::newRow("switches") << Entries{{"license_accepted", true}, {"minimize_to_tray", true}};
    QTest::newRow("plain names") << names({"Rock", "Jazz", "Pop", "Voice"});
    QTest::newRow("commas, quotes and signs")
        << names({"Rock, loud", "\"Quoted\"", "it's", "semi;colon", "a = b", "back\\slash", "#hash", "[bracket]"});
    QTest::newRow("non-ASCII") << names(
        {"Caf\u00e9", "\u041f\u0440\u0438\u0432\u0435\u0442", "\u65e5\u672c\u8a9e", "smile \U0001F600", "\u00a0nbsp"});
    QTest::newRow("empty and one-element lists") << Entries{{"kestrin/ps/eq_names", QStringList{}},
                                                            {"kestrin/xbox/eq_names", QStringList{"Solo"}},
                                                            {"kestrin_2/ps/eq_names", QStringList{"Solo, with comma"}},
                                                            {"kestrin_2/xbox/eq_names", QStringList{""}},
                                                            {"kestrin_2_anc/ps/eq_names", QStringList{"@at"}}};
    QTest::newRow("empty names among others") << names({"", "Second", "", ""});
    QTest::newRow("blanks") << names({" leading", "trailing ", "   ", "\ttab", "in  between"});
    QTest::newRow("control characters") << names({"new\nline", "carriage\rreturn", "bell\a",
                                                  "\x01"
                                                  "1",
                                                  "del\x7f"});
    QTest::newRow("NUL in a name") << names({QString::fromUtf16(u"nul\u0000inside", 10), "next"});
    QTest::newRow("at signs") << names({"@home", "@@", "@Invalid()", "@", "mail@example"});
    QTest::newRow("every family") << Entries{{"license_accepted", false},
                                             {"minimize_to_tray", true},
                                             {"kestrin/ps/eq_names", QStringList{"a", "b", "c", "d"}},
                                             {"kestrin/xbox/eq_names", QStringList{"e", "f", "g", "h"}},
                                             {"kestrin_2/ps/eq_names", QStringList{"i", "", "k", ""}},
                                             {"kestrin_2/xbox/eq_names", QStringList{"m"}},
                                             {"kestrin_2_anc/ps/eq_names", QStringList{"o, p", "q"}},
                                             {"kestrin_2_anc/xbox/eq_names", QStringList{"\u00e9", "\"", ",", ";"}}};
    QTest::newRow("single texts") << Entries{
        {"text", "Hello, world"},    {"quoted", "\"hi\""},
        {"spaced", " x "},           {"empty", ""},
        {"at", "@Variant(nothing)"}, {"hex after escape", QString::fromUtf16(u"\u0001abc", 4)}};
    QTest::newRow("keys and groups that need escapes") << Entries{
        {"group with space/key \u00e9", 1}, {"General/key", 2}, {"general", 3}, {"a%b/c=d", 4}, {"\u65e5/\u672c", 5}};
    QTest::newRow("other types") << Entries{{"int", 42},
                                            {"double", 2.5},
                                            {"bytes", QByteArray("\x01\xff raw, bytes", 14)},
                                            {"time", QDateTime(QDate(2026, 12, 11), QTime(8, 30), Qt::UTC)},
                                            {"rect", QRect(1, 2, 30, 40)},
                                            {"size", QSize(1200, 688)},
                                            {"point", QPoint(-5, 7)},
                                            {"map", QVariantMap{{"k", 1}, {"l", "v"}}},
                                            {"invalid", QVariant()},
                                            {"mixed list", QVariantList{1, "two", QByteArray("3")}}};
}

// A fresh file is the very bytes Qt writes.
void TestSettingsFile::writesWhatQtWrites()
{
    QFETCH(Entries, entries);
    const QByteArray qt = WriteFresh(entries, QSettings::IniFormat);
    QVERIFY(!qt.isEmpty());
    QCOMPARE(WriteFresh(entries, SettingsFile::IniFormat()), qt);
}

void TestSettingsFile::qtReadsWhatItWrites()
{
    QFETCH(Entries, entries);
    const QVariantMap expected = ReadAll(WriteFresh(entries, QSettings::IniFormat), QSettings::IniFormat);
    const QVariantMap read = ReadAll(WriteFresh(entries, SettingsFile::IniFormat()), QSettings::IniFormat);
    QVERIFY2(read == expected, qPrintable(Describe(read) + "\n" + Describe(expected)));
}

void TestSettingsFile::readsWhatQtWrote()
{
    QFETCH(Entries, entries);
    const QByteArray file = WriteFresh(entries, QSettings::IniFormat);
    const QVariantMap expected = ReadAll(file, QSettings::IniFormat);
    const QVariantMap read = ReadAll(file, SettingsFile::IniFormat());
    QVERIFY2(read == expected, qPrintable(Describe(read) + "\n" + Describe(expected)));
}

// Files as a person might have edited them.
void TestSettingsFile::readsHandWrittenFilesAsQtDoes_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::newRow("comments and blank lines")
        << QByteArray("; a comment\n\n[General]\nlicense_accepted = true ; trailing comment\n\n"
                      "[kestrin]\n; another\nps\\eq_names=a, b,c , \"d, e\"\n");
    QTest::newRow("Windows line ends and a byte-order mark")
        << QByteArray("\xef\xbb\xbf[General]\r\nminimize_to_tray=true\r\n[kestrin_2]\r\nxbox\\eq_names=x, y\r\n");
    QTest::newRow("continued lines") << QByteArray("[General]\nkey=one, \\\n  two\nquoted=\"multi\nline\"\n");
    QTest::newRow("escapes") << QByteArray("[General]\nk=\\x41\\101\\t\\q\\\"\nhex=\\x263a\nend=trailing\\\n");
    QTest::newRow("keys with odd spellings") << QByteArray("[%General]\nx=1\n[Group%20One]\nk%U00e9y=2\nbad%zz=3\n");
    QTest::newRow("section and general twice")
        << QByteArray("[g]\na=1\n[General]\nb=2\n[g]\na=3\nc=4\n[general]\nb=5\n");
    QTest::newRow("broken lines") << QByteArray("no equals sign\n[unclosed\nk=v\n=no key\n  \t \n");
    QTest::newRow("raw non-ASCII") << QByteArray("[General]\nname=Caf\xc3\xa9, \xe6\x97\xa5\n");
}

void TestSettingsFile::readsHandWrittenFilesAsQtDoes()
{
    QFETCH(QByteArray, file);
    const QVariantMap expected = ReadAll(file, QSettings::IniFormat);
    const QVariantMap read = ReadAll(file, SettingsFile::IniFormat());
    QVERIFY2(read == expected, qPrintable(Describe(read) + "\n" + Describe(expected)));
}

// An existing user's file, written by Qt, takes one change and keeps everything else.
void TestSettingsFile::aChangeKeepsEveryOtherEntry()
{
    const Entries entries{{"license_accepted", true},
                          {"kestrin/ps/eq_names", QStringList{"Rock, loud", "\"Q\"", "\u00e9t\u00e9", ""}},
                          {"kestrin_2_anc/xbox/eq_names", QStringList{"One"}},
                          {"unknown/kept", QByteArray("\x02\x80", 2)}};
    const QByteArray original = WriteFresh(entries, QSettings::IniFormat);
    const Scratch scratch;
    {
        QFile file(scratch.path());
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(original), original.size());
    }
    {
        SettingsFile settings(scratch.path());
        settings.setValue(QStringLiteral("minimize_to_tray"), true);
        settings.sync();
        QCOMPARE(settings.status(), QSettings::NoError);
    }
    QVariantMap expected = ReadAll(original, QSettings::IniFormat);
    expected.insert(QStringLiteral("minimize_to_tray"), QStringLiteral("true"));
    const QVariantMap read = ReadAll(ReadBytes(scratch.path()), QSettings::IniFormat);
    QVERIFY2(read == expected, qPrintable(Describe(read) + "\n" + Describe(expected)));
}

QTEST_GUILESS_MAIN(TestSettingsFile)
#include "tst_settings_file.moc"
