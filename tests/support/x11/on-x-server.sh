#!/bin/sh
# Runs a command on a virtual X server (Xvfb) through Qt's X11 platform, so that the window is
# laid out, drawn and fed input as on a desktop; with "openbox" as the first argument a window
# manager manages it too ("none" for a bare server).
#   on-x-server.sh openbox|none <command> [arguments...]
set -eu
wm=$1
shift
QT_QPA_PLATFORM=xcb
export QT_QPA_PLATFORM
case "$wm" in
openbox)
    # The window manager starts beside the command and ends with it.
    exec xvfb-run -a -s "-screen 0 1600x1000x24" sh -c \
        'openbox >/dev/null 2>&1 & wm=$!; "$@"; rc=$?; kill "$wm" 2>/dev/null || true; exit $rc' sh "$@" ;;
none)
    exec xvfb-run -a -s "-screen 0 1600x1000x24" "$@" ;;
*)
    echo "on-x-server: unknown window manager '$wm'" >&2
    exit 2 ;;
esac
