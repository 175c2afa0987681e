#pragma once

#include "core/GlobalLogger.h"
#include "support/TestAppData.h"

#include <QDir>
#include <QFile>
#include <QString>

namespace TestSupport {

// The text of this run's log file (the one written last), up to a marker line logged now, which
// also makes sure that everything logged before is in the file.
inline QString LogText()
{
    GlobalLogger::Instance()->message(QtWarningMsg, "-- test marker --");
    const QDir logs(AppDataPath(QStringLiteral("Logs")));
    const QStringList files = logs.entryList(QDir::Files, QDir::Time);
    QFile file(files.isEmpty() ? QString() : logs.absoluteFilePath(files.first()));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

} // namespace TestSupport
