#pragma once

#include <QString>

// The per-user application data folder, where the program keeps its own files (settings,
// notifications, logs, download caches); made when missing. It depends on the application and
// organisation names, so they must be set first.
QString AppDataFolder();

// Absolute path of `name` in the application data folder.
QString AppDataFilePath(const QString& name);
