#pragma once

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>
#include <QString>

namespace TestSupport {

// Gives the process the program's names and moves the per-user folders to Qt's test locations,
// so that a test reads and writes its files where the program would, and never the user's own.
// (CTest already gives every test a private HOME and XDG tree; this also holds when a test is run
// by hand.)
inline void UseTestAppData()
{
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setOrganizationName(QStringLiteral("Velmor"));
    QCoreApplication::setApplicationName(QStringLiteral("Velmor"));
}

// The per-user application data folder, or `name` in it; nothing is created.
inline QString AppDataPath(const QString& name = QString())
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
    return name.isEmpty() ? folder : QDir(folder).absoluteFilePath(name);
}

// Removes the per-user application data folder with everything in it.
inline bool ClearAppData()
{
    return QDir(AppDataPath()).removeRecursively();
}

} // namespace TestSupport
