#include "core/SettingsFile.h"

#include "core/GlobalLogger.h"

#include <QCoreApplication>
#include <QDataStream>
#include <QDateTime>
#include <QEvent>
#include <QFileDevice>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QStringDecoder>
#include <QStringEncoder>

#include <iterator>
#include <map>
#include <vector>

namespace {

// The rules below are those of QSettings::IniFormat in Qt 6: keep them in step with it (the
// tests compare both ways).

constexpr char HexDigits[] = "0123456789ABCDEF";
#ifdef Q_OS_WIN
constexpr char Eol[] = "\r\n";
#else
constexpr char Eol[] = "\n";
#endif

bool IsHexDigit(uint ch)
{
    return (ch >= '0' && ch <= '9') || (ch >= 'a' && ch <= 'f') || (ch >= 'A' && ch <= 'F');
}

uint HexValue(uint ch)
{
    return ch <= '9' ? ch - '0' : (ch | 0x20) - 'a' + 10;
}

// ---- Writing --------------------------------------------------------------------------------

// Letters, digits, '_', '-' and '.' as they are, '/' as '\', other characters as %XX or %UXXXX.
void AppendEscapedKey(QStringView key, QByteArray& result)
{
    for (const QChar qch : key) {
        uint ch = qch.unicode();
        if (ch == '/') {
            result += '\\';
        } else if ((ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9') || ch == '_' ||
                   ch == '-' || ch == '.') {
            result += char(ch);
        } else if (ch <= 0xFF) {
            result += '%';
            result += HexDigits[ch / 16];
            result += HexDigits[ch % 16];
        } else {
            result += "%U";
            char hex[4];
            for (int i = 3; i >= 0; --i) {
                hex[i] = HexDigits[ch % 16];
                ch >>= 4;
            }
            result.append(hex, 4);
        }
    }
}

// C-style escapes for control characters, UTF-8 for the rest (except in the binary "@" forms,
// whose characters above 0x7E are escaped too), in quotes when the text holds ';', ',' or '=' or
// begins or ends with a blank.
void AppendEscapedString(const QString& text, QByteArray& result)
{
    bool needsQuotes = false;
    bool escapeNextIfDigit = false;
    const bool utf8 = !(text.startsWith(QLatin1String("@ByteArray(")) || text.startsWith(QLatin1String("@Variant(")) ||
                        text.startsWith(QLatin1String("@DateTime(")));
    const qsizetype start = result.size();
    QStringEncoder toUtf8(QStringEncoder::Utf8);

    for (qsizetype i = 0; i < text.size(); ++i) {
        const uint ch = text.at(i).unicode();
        if (ch == ';' || ch == ',' || ch == '=')
            needsQuotes = true;
        if (escapeNextIfDigit && IsHexDigit(ch)) {
            result += "\\x" + QByteArray::number(ch, 16);
            continue;
        }
        escapeNextIfDigit = false;
        switch (ch) {
        case '\0':
            result += "\\0";
            escapeNextIfDigit = true;
            break;
        case '\a': result += "\\a"; break;
        case '\b': result += "\\b"; break;
        case '\f': result += "\\f"; break;
        case '\n': result += "\\n"; break;
        case '\r': result += "\\r"; break;
        case '\t': result += "\\t"; break;
        case '\v': result += "\\v"; break;
        case '"':
        case '\\':
            result += '\\';
            result += char(ch);
            break;
        default:
            if (ch <= 0x1F || (ch >= 0x7F && !utf8)) {
                result += "\\x" + QByteArray::number(ch, 16);
                escapeNextIfDigit = true;
            } else if (utf8) {
                result += QByteArray(toUtf8(QStringView(text).sliced(i, 1)));
            } else {
                result += char(ch);
            }
        }
    }

    if (needsQuotes || (start < result.size() && (result.at(start) == ' ' || result.at(result.size() - 1) == ' '))) {
        result.insert(start, '"');
        result += '"';
    }
}

// An empty list is "@Invalid()", which reads back as no value: as an empty list, too.
void AppendEscapedStringList(const QStringList& texts, QByteArray& result)
{
    if (texts.isEmpty()) {
        result += "@Invalid()";
        return;
    }
    for (qsizetype i = 0; i < texts.size(); ++i) {
        if (i != 0)
            result += ", ";
        AppendEscapedString(texts.at(i), result);
    }
}

QString VariantToString(const QVariant& value)
{
    switch (value.metaType().id()) {
    case QMetaType::UnknownType: return QStringLiteral("@Invalid()");
    case QMetaType::QByteArray:
        return QLatin1String("@ByteArray(") + QLatin1String(value.toByteArray()) + QLatin1Char(')');
    case QMetaType::QString:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Bool:
    case QMetaType::Float:
    case QMetaType::Double: {
        QString text = value.toString();
        if (text.contains(QChar::Null))
            return QLatin1String("@String(") + text + QLatin1Char(')');
        if (text.startsWith(QLatin1Char('@')))
            text.prepend(QLatin1Char('@'));
        return text;
    }
    case QMetaType::QRect: {
        const QRect r = value.toRect();
        return QStringLiteral("@Rect(%1 %2 %3 %4)").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
    }
    case QMetaType::QSize: {
        const QSize s = value.toSize();
        return QStringLiteral("@Size(%1 %2)").arg(s.width()).arg(s.height());
    }
    case QMetaType::QPoint: {
        const QPoint p = value.toPoint();
        return QStringLiteral("@Point(%1 %2)").arg(p.x()).arg(p.y());
    }
    default: {
        const bool dateTime = value.metaType().id() == QMetaType::QDateTime;
        QByteArray bytes;
        {
            QDataStream stream(&bytes, QIODevice::WriteOnly);
            stream.setVersion(dateTime ? QDataStream::Qt_5_6 : QDataStream::Qt_4_0);
            stream << value;
        }
        return QLatin1String(dateTime ? "@DateTime(" : "@Variant(") + QLatin1String(bytes) + QLatin1Char(')');
    }
    }
}

QStringList VariantListToStringList(const QVariantList& values)
{
    QStringList texts;
    texts.reserve(values.size());
    for (const QVariant& value : values)
        texts.append(VariantToString(value));
    return texts;
}

// The whole file: a section per first key component ("[General]" for the keys without one),
// sections and keys in the map's order.
QByteArray IniBytes(const QSettings::SettingsMap& map)
{
    std::map<QString, std::vector<QSettings::SettingsMap::const_iterator>> sections;
    for (auto it = map.cbegin(); it != map.cend(); ++it) {
        const qsizetype slash = it.key().indexOf(QLatin1Char('/'));
        sections[slash == -1 ? QString() : it.key().left(slash)].push_back(it);
    }

    QByteArray result;
    for (auto section = sections.cbegin(); section != sections.cend(); ++section) {
        QByteArray header;
        AppendEscapedKey(section->first, header);
        if (header.isEmpty())
            header = "[General]";
        else if (header.compare("general", Qt::CaseInsensitive) == 0)
            header = "[%General]";
        else
            header = '[' + header + ']';
        if (section != sections.cbegin())
            result += Eol;
        result += header + Eol;

        const qsizetype prefix = section->first.isEmpty() ? 0 : section->first.size() + 1;
        for (const auto& entry : section->second) {
            AppendEscapedKey(QStringView(entry.key()).sliced(prefix), result);
            result += '=';
            const QVariant& value = entry.value();
            const int type = value.metaType().id();
            // A list of one is written as its one value (it reads back as that text).
            if (type == QMetaType::QStringList || (type == QMetaType::QVariantList && value.toList().size() != 1))
                AppendEscapedStringList(VariantListToStringList(value.toList()), result);
            else
                AppendEscapedString(VariantToString(value), result);
            result += Eol;
        }
    }
    return result;
}

// ---- Reading --------------------------------------------------------------------------------

bool IsSpace(char ch)
{
    return ch == ' ' || ch == '\t' || ch == '\n' || ch == '\r';
}

bool IsSpecial(char ch)
{
    return ch == '\n' || ch == '\r' || ch == '"' || ch == ';' || ch == '=' || ch == '\\';
}

// The next logical line from `pos` on: blanks before it skipped, comment lines (';') skipped,
// a line ending inside quotes or after a backslash continued, and a ';' outside quotes ending
// the line's text. `equalsPos` is the first '=' outside quotes, or -1.
bool ReadIniLine(const QByteArray& data, qsizetype& pos, qsizetype& lineStart, qsizetype& lineLen, qsizetype& equalsPos)
{
    const qsizetype size = data.size();
    bool inQuotes = false;
    equalsPos = -1;
    lineStart = pos;
    while (lineStart < size && IsSpace(data.at(lineStart)))
        ++lineStart;

    qsizetype i = lineStart;
    while (i < size) {
        char ch = data.at(i);
        while (!IsSpecial(ch)) {
            if (++i == size)
                goto done;
            ch = data.at(i);
        }
        ++i;
        if (ch == '=') {
            if (!inQuotes && equalsPos == -1)
                equalsPos = i - 1;
        } else if (ch == '\n' || ch == '\r') {
            if (i == lineStart + 1) {
                ++lineStart;
            } else if (!inQuotes) {
                --i;
                goto done;
            }
        } else if (ch == '\\') {
            if (i < size) {
                const char next = data.at(i++);
                if (i < size) {
                    const char after = data.at(i);
                    if ((next == '\n' && after == '\r') || (next == '\r' && after == '\n'))
                        ++i;
                }
            }
        } else if (ch == '"') {
            inQuotes = !inQuotes;
        } else { // ';'
            if (i == lineStart + 1) {
                while (i < size && data.at(i) != '\n' && data.at(i) != '\r')
                    ++i;
                while (i < size && IsSpace(data.at(i)))
                    ++i;
                lineStart = i;
            } else if (!inQuotes) {
                --i;
                goto done;
            }
        }
    }
done:
    pos = i;
    lineLen = i - lineStart;
    return lineLen > 0;
}

// %XX and %UXXXX escapes and '\' for '/'; a '%' that starts no escape stands for itself.
void AppendUnescapedKey(const QByteArray& key, QString& result)
{
    const qsizetype size = key.size();
    qsizetype i = 0;
    while (i < size) {
        const auto ch = char16_t(uchar(key.at(i)));
        if (ch == '\\') {
            result += QLatin1Char('/');
            ++i;
            continue;
        }
        if (ch != '%' || i == size - 1) {
            result += QChar(ch);
            ++i;
            continue;
        }
        qsizetype first = i + 1;
        qsizetype digits = 2;
        if (key.at(first) == 'U') {
            ++first;
            digits = 4;
        }
        bool ok = false;
        const ushort code = first + digits > size ? 0 : key.mid(first, digits).toUShort(&ok, 16);
        if (!ok) {
            result += QLatin1Char('%');
            ++i;
            continue;
        }
        result += QChar(code);
        i = first + digits;
    }
}

void ChopTrailingSpaces(QString& text, qsizetype limit)
{
    qsizetype n = text.size() - 1;
    while (n >= limit && (text.at(n) == QLatin1Char(' ') || text.at(n) == QLatin1Char('\t')))
        text.truncate(n--);
}

// A value: its escapes undone, quotes removed, unquoted blanks around it dropped; split at the
// commas outside quotes. True, with `list` filled, when it is a list.
bool UnescapedStringList(const QByteArray& text, QString& single, QStringList& list)
{
    static const char escapes[][2] = {{'a', '\a'}, {'b', '\b'}, {'f', '\f'}, {'n', '\n'},  {'r', '\r'}, {'t', '\t'},
                                      {'v', '\v'}, {'"', '"'},  {'?', '?'},  {'\'', '\''}, {'\\', '\\'}};
    bool isList = false;
    bool inQuotes = false;
    bool quoted = false;
    char16_t code = 0;
    qsizetype i = 0;
    qsizetype chopLimit = 0;
    const qsizetype size = text.size();
    QStringDecoder fromUtf8(QStringDecoder::Utf8);

skipSpaces:
    while (i < size && (text.at(i) == ' ' || text.at(i) == '\t'))
        ++i;
normal:
    chopLimit = single.size();
    while (i < size) {
        char ch = text.at(i);
        switch (ch) {
        case '\\': {
            ++i;
            if (i >= size)
                goto end;
            ch = text.at(i++);
            for (const auto& escape : escapes) {
                if (ch == escape[0]) {
                    single += QLatin1Char(escape[1]);
                    goto normal;
                }
            }
            if (ch == 'x') {
                code = 0;
                if (i >= size)
                    goto end;
                if (IsHexDigit(uchar(text.at(i))))
                    goto hexEscape;
            } else if (ch >= '0' && ch <= '7') {
                code = char16_t(ch - '0');
                goto octEscape;
            } else if (ch == '\n' || ch == '\r') {
                if (i < size) {
                    const char next = text.at(i);
                    if ((next == '\n' || next == '\r') && next != ch)
                        ++i;
                }
            }
            // Any other escaped character is dropped.
            chopLimit = single.size();
            break;
        }
        case '"':
            ++i;
            quoted = true;
            inQuotes = !inQuotes;
            if (!inQuotes)
                goto skipSpaces;
            break;
        case ',':
            if (!inQuotes) {
                if (!quoted)
                    ChopTrailingSpaces(single, chopLimit);
                if (!isList) {
                    isList = true;
                    list.clear();
                }
                list.append(single);
                single.clear();
                quoted = false;
                ++i;
                goto skipSpaces;
            }
            Q_FALLTHROUGH();
        default: {
            qsizetype j = i + 1;
            while (j < size && text.at(j) != '\\' && text.at(j) != '"' && text.at(j) != ',')
                ++j;
            single += QString(fromUtf8(QByteArrayView(text).sliced(i, j - i)));
            i = j;
        }
        }
    }
    if (!quoted)
        ChopTrailingSpaces(single, chopLimit);
    goto end;

hexEscape:
    if (i >= size) {
        single += QChar(code);
        goto end;
    }
    if (IsHexDigit(uchar(text.at(i)))) {
        code = char16_t((code << 4) + HexValue(uchar(text.at(i))));
        ++i;
        goto hexEscape;
    }
    single += QChar(code);
    goto normal;

octEscape:
    if (i >= size) {
        single += QChar(code);
        goto end;
    }
    if (text.at(i) >= '0' && text.at(i) <= '7') {
        code = char16_t((code << 3) + (text.at(i) - '0'));
        ++i;
        goto octEscape;
    }
    single += QChar(code);
    goto normal;

end:
    if (isList)
        list.append(single);
    return isList;
}

// "@ByteArray(...)", "@String(...)", "@Variant(...)", "@DateTime(...)", "@Rect(...)", "@Size(...)",
// "@Point(...)" and "@Invalid()" as the values they stand for, "@@" as "@", anything else as text.
QStringList SplitArgs(const QString& text, qsizetype open)
{
    QStringList args;
    QString item;
    for (qsizetype i = open + 1; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char(')')) {
            args.append(item);
        } else if (c == QLatin1Char(' ')) {
            args.append(item);
            item.clear();
        } else {
            item.append(c);
        }
    }
    return args;
}

QVariant StringToVariant(const QString& text)
{
    if (!text.startsWith(QLatin1Char('@')))
        return text;
    if (text.endsWith(QLatin1Char(')'))) {
        if (text.startsWith(QLatin1String("@ByteArray(")))
            return QStringView(text).sliced(11).chopped(1).toLatin1();
        if (text.startsWith(QLatin1String("@String(")))
            return QStringView(text).sliced(8).chopped(1).toString();
        if (text.startsWith(QLatin1String("@Variant(")) || text.startsWith(QLatin1String("@DateTime("))) {
            const bool dateTime = text.at(1) == QLatin1Char('D');
            QByteArray bytes = QStringView(text).sliced(dateTime ? 10 : 9).toLatin1();
            QDataStream stream(&bytes, QIODevice::ReadOnly);
            stream.setVersion(dateTime ? QDataStream::Qt_5_6 : QDataStream::Qt_4_0);
            QVariant value;
            stream >> value;
            return value;
        }
        if (text.startsWith(QLatin1String("@Rect("))) {
            const QStringList args = SplitArgs(text, 5);
            if (args.size() == 4)
                return QRect(args[0].toInt(), args[1].toInt(), args[2].toInt(), args[3].toInt());
        } else if (text.startsWith(QLatin1String("@Size("))) {
            const QStringList args = SplitArgs(text, 5);
            if (args.size() == 2)
                return QSize(args[0].toInt(), args[1].toInt());
        } else if (text.startsWith(QLatin1String("@Point("))) {
            const QStringList args = SplitArgs(text, 6);
            if (args.size() == 2)
                return QPoint(args[0].toInt(), args[1].toInt());
        } else if (text == QLatin1String("@Invalid()")) {
            return QVariant();
        }
    }
    if (text.startsWith(QLatin1String("@@")))
        return text.sliced(1);
    return text;
}

// A list is a QStringList unless an item stands for another type ("@..."): then a QVariantList.
QVariant StringListToVariant(QStringList texts)
{
    for (QString& text : texts) {
        if (!text.startsWith(QLatin1Char('@')))
            continue;
        if (text.size() < 2 || text.at(1) != QLatin1Char('@')) {
            QVariantList values;
            values.reserve(texts.size());
            for (const QString& item : texts)
                values.append(StringToVariant(item));
            return values;
        }
        text.remove(0, 1);
    }
    return texts;
}

// The file into `map`; lines that are neither a section, a key nor a comment are skipped with a
// warning, as QSettings skips them.
void ParseIni(const QByteArray& file, QSettings::SettingsMap& map, const QString& name)
{
    static const QByteArray bom = QByteArrayLiteral("\xef\xbb\xbf");
    qsizetype pos = file.startsWith(bom) ? bom.size() : 0;
    qsizetype lineStart = 0;
    qsizetype lineLen = 0;
    qsizetype equalsPos = -1;
    QString section;
    int badLines = 0;
    while (ReadIniLine(file, pos, lineStart, lineLen, equalsPos)) {
        const QByteArray line = file.mid(lineStart, lineLen);
        if (line.startsWith('[')) {
            const qsizetype close = line.indexOf(']');
            if (close == -1)
                ++badLines;
            const QByteArray name = line.mid(1, close == -1 ? -1 : close - 1).trimmed();
            section.clear();
            if (name.compare("general", Qt::CaseInsensitive) == 0)
                continue;
            if (name.compare("%general", Qt::CaseInsensitive) == 0)
                section = QString::fromLatin1(name.mid(1));
            else
                AppendUnescapedKey(name, section);
            section += QLatin1Char('/');
            continue;
        }
        if (equalsPos == -1) {
            if (!line.startsWith(';'))
                ++badLines;
            continue;
        }
        equalsPos -= lineStart;
        QString key = section;
        AppendUnescapedKey(line.left(equalsPos).trimmed(), key);
        QString single;
        QStringList list;
        map.insert(key, UnescapedStringList(line.mid(equalsPos + 1), single, list) ? StringListToVariant(list)
                                                                                   : StringToVariant(single));
    }
    if (badLines > 0)
        GlobalLogger::Instance()->message(QtWarningMsg, "The settings file %s has %d line(s) that are not settings",
                                          qUtf8Printable(name), badLines);
}

// ---- The format's functions -------------------------------------------------------------------

// What became of the writes during one of QSettings' updates.
struct WriteRecord {
    bool reached = false;
};
thread_local WriteRecord* t_write = nullptr;

QString DeviceName(const QIODevice& device)
{
    const auto* file = qobject_cast<const QFileDevice*>(&device);
    return file ? file->fileName() : QStringLiteral("(not a file)");
}

bool ReadIni(QIODevice& device, QSettings::SettingsMap& map)
{
    ParseIni(device.readAll(), map, DeviceName(device));
    // Unreadable lines are skipped, not failed: a failure would make QSettings drop every key.
    return true;
}

// Everything is written and pushed to the system here; false when any of it failed, so that
// QSettings does not commit the short file.
bool WriteIni(QIODevice& device, const QSettings::SettingsMap& map)
{
    if (t_write)
        t_write->reached = true;
    const QByteArray bytes = IniBytes(map);
    auto* file = qobject_cast<QFileDevice*>(&device);
    const bool written =
        device.write(bytes) == bytes.size() && (!file || (file->flush() && file->error() == QFileDevice::NoError));
    if (!written)
        GlobalLogger::Instance()->message(QtWarningMsg,
                                          "The settings file %s could not be written (%s); the old file is kept "
                                          "and the settings stay in memory until a later write",
                                          qUtf8Printable(DeviceName(device)), qUtf8Printable(device.errorString()));
    return written;
}

} // namespace

SettingsFile::SettingsFile(const QString& path, QObject* parent)
    : QSettings(path, IniFormat(), parent)
{
}

SettingsFile::~SettingsFile()
{
    // Changes not written yet go through event() now, where a failure is logged: QSettings' own
    // destructor writes them without a word when the file cannot be locked or opened.
    QCoreApplication::sendPostedEvents(this, QEvent::UpdateRequest);
}

QSettings::Format SettingsFile::IniFormat()
{
    static const QSettings::Format format = QSettings::registerFormat(QStringLiteral("ini"), ReadIni, WriteIni);
    return format;
}

bool SettingsFile::event(QEvent* event)
{
    if (event->type() != QEvent::UpdateRequest)
        return QSettings::event(event);
    WriteRecord record;
    t_write = &record;
    const bool handled = QSettings::event(event);
    t_write = nullptr;
    // An update with nothing to write (a removed key that was never there, a file changed by
    // someone else only to be read again) does not reach the writer either; only a refused lock
    // or open leaves an access error behind.
    if (!record.reached && !fileName().isEmpty() && status() == QSettings::AccessError)
        GlobalLogger::Instance()->message(QtWarningMsg,
                                          "The settings file %s could not be written (it could not be locked or "
                                          "opened); the old file is kept and the settings stay in memory until a "
                                          "later write",
                                          qUtf8Printable(fileName()));
    return handled;
}
