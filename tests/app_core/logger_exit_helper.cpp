// Logs the way the program does and then ends in the way the first argument asks, so that a test
// can look at what reached the log file:
//   exit  - lines, then a normal return from main; an object destroyed at exit logs last
//   crash - a debug line and a warning, then an abort
#include "app/core/GlobalLogger.h"

#include <QCoreApplication>

#include <cstdlib>
#include <cstring>

namespace {

// Destroyed after the logger's exit flush, as a late singleton of the program would be.
struct LateLogger {
    bool armed = false;
    ~LateLogger()
    {
        if (armed)
            GlobalLogger::Instance()->message(QtDebugMsg, "from a late destructor");
    }
};

} // namespace

int main(int argc, char** argv)
{
    static LateLogger late;
    QCoreApplication::setOrganizationName(QStringLiteral("Velmor"));
    QCoreApplication::setApplicationName(QStringLiteral("Velmor"));
    QCoreApplication::setApplicationVersion(QStringLiteral("1.2.48"));
    const char* mode = argc > 1 ? argv[1] : "exit";

    if (std::strcmp(mode, "crash") == 0) {
        GlobalLogger::Instance()->message(QtDebugMsg, "debug before the crash");
        GlobalLogger::Instance()->message(QtWarningMsg, "warning before the crash");
        std::abort();
    }

    late.armed = true;
    GlobalLogger::Instance()->message(QtDebugMsg, "last line of main");
    return 0;
}
