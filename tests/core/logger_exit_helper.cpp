// Logs the way the program does and then ends in the way the first argument asks, so that a test
// can look at what reached the log file:
//   exit  - lines, then a normal return from main; an object destroyed at exit logs last
//   crash - a debug line and a warning, then an abort
//   wait  - three lines, then "logged" on standard output, then waits for its standard input to end
//           (the test kills it in between)
#include "core/GlobalLogger.h"

#include <QCoreApplication>

#include <cstdio>
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

    if (std::strcmp(mode, "wait") == 0) {
        GlobalLogger::Instance()->message(QtDebugMsg, "device plugged");
        GlobalLogger::Instance()->message(QtInfoMsg, "device unplugged");
        GlobalLogger::Instance()->message(QtDebugMsg, "last line");
        std::puts("logged");
        std::fflush(stdout);
        while (std::getchar() != EOF) { }
        return 0;
    }

    late.armed = true;
    GlobalLogger::Instance()->message(QtDebugMsg, "last line of main");
    return 0;
}
