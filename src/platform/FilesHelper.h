#pragma once

#include <QString>

namespace Platform {

class FilesHelper {
public:
    // Shows the folder that holds `path` in the desktop's file manager; false (and a log line)
    // when the desktop could not open it.
    static bool ShowFileInFolder(const QString& path);
};

} // namespace Platform
