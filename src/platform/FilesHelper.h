#pragma once

#include <QString>

namespace Platform {

class FilesHelper {
public:
    // Shows the folder that holds `path` in the desktop's file manager with the file selected, or,
    // where no file manager takes the request, opens the folder. False (and a log line) when the
    // desktop could not be asked at all; when the file manager fails later, the folder is opened
    // then and the log says so.
    static bool ShowFileInFolder(const QString& path);
};

} // namespace Platform
