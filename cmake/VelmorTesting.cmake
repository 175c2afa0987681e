# velmor_add_test(NAME <name> SOURCES <files...> [LIBS <targets...>] [TIMEOUT <seconds>] [OWN_TMPDIR]
#                 [ENVIRONMENT <VAR=value...>])
# Builds one QtTest executable and registers it with CTest, headless and with a time limit.
function(velmor_add_test)
    cmake_parse_arguments(ARG "OWN_TMPDIR" "NAME;TIMEOUT" "SOURCES;LIBS;ENVIRONMENT" ${ARGN})
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 120)
    endif()
    add_executable(${ARG_NAME} ${ARG_SOURCES})
    target_link_libraries(${ARG_NAME} PRIVATE Qt6::Test ${ARG_LIBS})
    add_test(NAME ${ARG_NAME} COMMAND ${ARG_NAME})
    if(ARG_OWN_TMPDIR)
        list(APPEND ARG_ENVIRONMENT OWN_TMPDIR)
    endif()
    velmor_set_test_environment(${ARG_NAME} ${ARG_TIMEOUT} ${ARG_ENVIRONMENT})
endfunction()

# Headless platform, a private XDG tree so no test touches the user's real files, no D-Bus (a test
# that needs a bus starts one of its own), and the sanitizers' options. Extra VAR=value pairs may
# follow the timeout, and OWN_TMPDIR: a temporary folder under the test's home, for a test that
# runs the whole application, whose show-window channel lies in the temporary folder (the shared
# one would give it the channel of another such test running at the same time).
function(velmor_set_test_environment test timeout)
    set(home "${CMAKE_BINARY_DIR}/test-home/${test}")
    set(extra ${ARGN})
    list(FIND extra OWN_TMPDIR own_tmpdir)
    if(own_tmpdir GREATER -1)
        list(REMOVE_ITEM extra OWN_TMPDIR)
        list(APPEND extra "TMPDIR=${home}/tmp")
        file(MAKE_DIRECTORY "${home}/tmp")
    endif()
    set_tests_properties(${test} PROPERTIES
        TIMEOUT ${timeout}
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;HOME=${home};XDG_DATA_HOME=${home}/data;XDG_CONFIG_HOME=${home}/config;XDG_CACHE_HOME=${home}/cache;XDG_RUNTIME_DIR=${home}/runtime;DBUS_SESSION_BUS_ADDRESS=unix:path=${home}/no-bus;DBUS_SYSTEM_BUS_ADDRESS=unix:path=${home}/no-bus;ASAN_OPTIONS=detect_leaks=1:abort_on_error=1;LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/lsan.supp:print_suppressions=0;UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1;${extra}")
    file(MAKE_DIRECTORY "${home}/runtime")
    file(CHMOD "${home}/runtime" DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
    velmor_label_test(${test})
endfunction()

# The tests that take more than about 20 seconds on their own (measured with `ctest` on the
# sanitizer build); they carry the label "slow" besides their tier, so that the quick tier leaves
# them out.
set(VELMOR_SLOW_TESTS
    tst_network_updater tst_hwbus tst_solvarine_transport
    tst_startup tst_e2e_main_window tst_e2e_main_window_x11 tst_e2e_plugging
    qml_tst_PopupNotifications qml_tst_PopupAppSettings qml_tst_mainWindow_tray
    screens_tst_widgetKesTabEq
)

# Gives a test its CTest labels, one tier from where it is registered and "slow" for the tests
# listed above, so that `ctest -L unit` or `ctest -LE 'slow|e2e'` picks a tier:
#   e2e      the application as a whole: tests/e2e, tests/app, and tests named *_e2e
#   screens  the device screens against the real headset UI model (tests/ui, screens_*)
#   qml      the QML control library's Quick Test files (tests/qml)
#   unit     everything else: one class or layer, with its real parts around it
function(velmor_label_test test)
    file(RELATIVE_PATH folder "${PROJECT_SOURCE_DIR}/tests" "${CMAKE_CURRENT_SOURCE_DIR}")
    string(REGEX REPLACE "/.*" "" folder "${folder}")
    if(folder STREQUAL "e2e" OR folder STREQUAL "app" OR test MATCHES "_e2e$")
        set(tier e2e)
    elseif(test MATCHES "^screens_")
        set(tier screens)
    elseif(folder STREQUAL "qml")
        set(tier qml)
    else()
        set(tier unit)
    endif()
    set(labels ${tier})
    if(test IN_LIST VELMOR_SLOW_TESTS)
        list(APPEND labels slow)
    endif()
    set_property(TEST ${test} APPEND PROPERTY LABELS ${labels})
endfunction()
