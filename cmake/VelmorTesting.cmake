# velmor_add_test(NAME <name> SOURCES <files...> [LIBS <targets...>] [TIMEOUT <seconds>] [ENVIRONMENT <VAR=value...>])
# Builds one QtTest executable and registers it with CTest, headless and with a time limit.
function(velmor_add_test)
    cmake_parse_arguments(ARG "" "NAME;TIMEOUT" "SOURCES;LIBS;ENVIRONMENT" ${ARGN})
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 120)
    endif()
    add_executable(${ARG_NAME} ${ARG_SOURCES})
    target_link_libraries(${ARG_NAME} PRIVATE Qt6::Test ${ARG_LIBS})
    add_test(NAME ${ARG_NAME} COMMAND ${ARG_NAME})
    velmor_set_test_environment(${ARG_NAME} ${ARG_TIMEOUT} ${ARG_ENVIRONMENT})
endfunction()

# Headless platform, a private XDG tree so no test touches the user's real files, no D-Bus (a test
# that needs a bus starts one of its own), and the sanitizers' options. Extra VAR=value pairs may
# follow the timeout.
function(velmor_set_test_environment test timeout)
    set(home "${CMAKE_BINARY_DIR}/test-home/${test}")
    set_tests_properties(${test} PROPERTIES
        TIMEOUT ${timeout}
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;HOME=${home};XDG_DATA_HOME=${home}/data;XDG_CONFIG_HOME=${home}/config;XDG_CACHE_HOME=${home}/cache;XDG_RUNTIME_DIR=${home}/runtime;DBUS_SESSION_BUS_ADDRESS=unix:path=${home}/no-bus;DBUS_SYSTEM_BUS_ADDRESS=unix:path=${home}/no-bus;ASAN_OPTIONS=detect_leaks=1:abort_on_error=1;LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/lsan.supp:print_suppressions=0;UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1;${ARGN}")
    file(MAKE_DIRECTORY "${home}/runtime")
    file(CHMOD "${home}/runtime" DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
endfunction()
