#include "core/AppDataFolder.h"

#include <QDir>
#include <QStandardPaths>

QString AppDataFolder()
{
    QDir folder(QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation));
    folder.mkpath(QStringLiteral("."));
    return folder.absolutePath();
}

QString AppDataFilePath(const QString& name)
{
    return QDir(AppDataFolder()).absoluteFilePath(name);
}
