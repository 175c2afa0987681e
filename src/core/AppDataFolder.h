#pragma once

#include <QString>

// Absolute path of `name` in the per-user application data folder, where the program keeps its
// own files (settings, notifications, logs); the folder is created when missing. The folder
// depends on the application and organisation names, so they must be set first.
QString AppDataFilePath(const QString& name);
