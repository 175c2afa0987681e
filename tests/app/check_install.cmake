# Installs the build into a temporary prefix and checks that every file lands where a Linux
# desktop looks for it, that the installed program is the built one and runs, and that the desktop
# entry is valid and names the installed program and icon.
#   cmake -DBUILD_DIR=<build tree> -DPREFIX=<empty folder> -P check_install.cmake
cmake_minimum_required(VERSION 3.25)

file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}"
    RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "cmake --install failed (${result}):\n${output}")
endif()

set(expected
    bin/velmor
    lib/udev/rules.d/60-velmor-kestrin.rules
    share/applications/velmor.desktop
    share/icons/hicolor/scalable/apps/velmor.svg
    share/icons/hicolor/256x256/apps/velmor.png)
foreach(file IN LISTS expected)
    if(NOT EXISTS "${PREFIX}/${file}")
        message(FATAL_ERROR "missing after install: ${file}\ninstalled:\n${output}")
    endif()
endforeach()

# No test program or static library of the build.
file(GLOB_RECURSE installed RELATIVE "${PREFIX}" "${PREFIX}/*")
foreach(file IN LISTS installed)
    if(file MATCHES "(tst_|_probe|_broken_main|\\.a$)")
        message(FATAL_ERROR "installed though only the build needs it: ${file}")
    endif()
endforeach()

# The program runs from where it was installed: the driver-removal run needs no window and ends
# with its result code (3 here) and its one-line result on standard error.
execute_process(COMMAND "${PREFIX}/bin/velmor" --remove-kestrin-drivers
    RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT result EQUAL 3 OR NOT err MATCHES "Driver removal")
    message(FATAL_ERROR "installed velmor did not run as expected (${result}):\n${out}${err}")
endif()

file(READ "${PREFIX}/share/applications/velmor.desktop" entry)
if(NOT entry MATCHES "\nExec=velmor\n" OR NOT entry MATCHES "\nIcon=velmor\n")
    message(FATAL_ERROR "the desktop entry does not start the installed program with its icon:\n${entry}")
endif()
find_program(VALIDATE desktop-file-validate)
if(VALIDATE)
    execute_process(COMMAND "${VALIDATE}" "${PREFIX}/share/applications/velmor.desktop"
        RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE out)
    if(NOT result EQUAL 0 OR out MATCHES "error")
        message(FATAL_ERROR "desktop entry not valid:\n${out}")
    endif()
endif()

file(READ "${PREFIX}/lib/udev/rules.d/60-velmor-kestrin.rules" rule)
if(NOT rule MATCHES "SUBSYSTEM==\"hidraw\"[^\n]*ATTRS{idVendor}==\"3329\"[^\n]*TAG\\+=\"uaccess\"")
    message(FATAL_ERROR "the udev rule does not open the maker's hidraw nodes to the user:\n${rule}")
endif()
file(REMOVE_RECURSE "${PREFIX}")
