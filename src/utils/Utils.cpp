#include "utils/Utils.h"

#include <QCoreApplication>
#include <QSysInfo>

#include <algorithm>

namespace Utils {

void Raw::ReverseEndianImpl(uint8_t* data, size_t length)
{
    if (length > 1)
        std::reverse(data, data + length);
}

const QString& GetDummyQString()
{
    static const QString empty;
    return empty;
}

const char* GetStrSuccessFail(bool success)
{
    return success ? "success" : "fail";
}

bool IsAsciiOnly(const QString& text)
{
    return text.toUtf8().size() == text.size();
}

QString WithFileSuffix(const QString& path, const QString& suffix)
{
    // A folder (no file name after the last separator) stays as it is: writing to it fails as it
    // should, instead of making a hidden file named after the extension alone.
    if (path.isEmpty() || path.endsWith(QLatin1Char('/')) || path.endsWith(suffix, Qt::CaseInsensitive))
        return path;
    return path + suffix;
}

QString GetApplicationInfo()
{
    QString info;
    info.reserve(200);
    info += QStringLiteral("OS: ") + QSysInfo::prettyProductName() + QStringLiteral("; ") + QSysInfo::kernelType() +
            QLatin1Char(' ') + QSysInfo::kernelVersion() + QLatin1Char('\n');
    info += QStringLiteral("Qt versions: compiled = ") + QStringLiteral(QT_VERSION_STR) +
            QStringLiteral("; linked = ") + QString::fromLatin1(qVersion()) + QLatin1Char('\n');
    info += QCoreApplication::applicationName() + QStringLiteral(" version: ") +
            QCoreApplication::applicationVersion() + QStringLiteral(" (") + QSysInfo::buildCpuArchitecture() +
            QStringLiteral(")\n");
    return info;
}

namespace {
thread_local bool t_isMainThread = false;
}

void SetUpMainThread()
{
    t_isMainThread = true;
}

bool IsMainThread()
{
    return t_isMainThread;
}

} // namespace Utils
