#pragma once

// The platform's driver removal starts "the program's own executable" with
// "--remove-kestrin-drivers" as its removal run. In a test executable that runs that flow, the
// executable is the test itself: started so, it answers as the program does, instead of running
// its tests.

#include "platform/KestrinDriversHelper.h"

#include <QtTest>

#include <cstring>

namespace TestSupport {

inline bool IsDriverRemovalRun(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        if (argv[i] && std::strcmp(argv[i], "--remove-kestrin-drivers") == 0)
            return true;
    }
    return false;
}

} // namespace TestSupport

// QTEST_MAIN (Setup: QTEST_MAIN_SETUP()) or QTEST_GUILESS_MAIN (Setup:
// QTEST_QAPP_SETUP(QCoreApplication)), answering the removal run first.
#define VELMOR_TEST_MAIN_WITH_REMOVAL_RUN(TestObject, Setup)                                                           \
    int main(int argc, char* argv[])                                                                                   \
    {                                                                                                                  \
        if (TestSupport::IsDriverRemovalRun(argc, argv))                                                               \
            return Platform::KestrinDriversHelper::UninstallKestrinDrivers();                                          \
        Setup TestObject tc;                                                                                           \
        QTEST_SET_MAIN_SOURCE_PATH                                                                                     \
        return QTest::qExec(&tc, argc, argv);                                                                          \
    }
