#!/bin/bash
# Pictures of the main window on a real X server, for a person to look at: the legal terms, the
# no-device screen, each page of the headset screen and each drawer, once with a window manager
# (openbox) and once without. Runs the end-to-end window test of a test build over the emulated
# headset and saves whole-screen PNGs (needs the Debian packages xvfb, openbox and imagemagick).
#   scripts/window-screenshots.sh [build dir, default build/test] [output dir, default screenshots]
set -euo pipefail
build=$(realpath "${1:-build/test}")
out=$(realpath -m "${2:-screenshots}")
test_bin="$build/tests/e2e/tst_e2e_main_window"
steps="legalTermsCheckBoxAnswersClicks legalTermsAreAcceptedByKeyboard pluggedHeadsetShowsItsScreen sideMenuEntriesChangePages drawerButtonsOpenTheirDrawers"
for wm in openbox none; do
    home=$(mktemp -d)
    mkdir -p "$out/$wm"
    launch="exec"
    [ "$wm" = openbox ] && launch="openbox & sleep 1; exec"
    # Without a window manager the window resizes itself: a picture after a drag of its corner.
    extra=""
    [ "$wm" = none ] && extra=onlyTheBorderStartsAResize
    HOME=$home XDG_DATA_HOME=$home/data XDG_CONFIG_HOME=$home/config XDG_CACHE_HOME=$home/cache TMPDIR=$home \
        VELMOR_SCREENSHOT_DIR="$out/$wm" QT_QPA_PLATFORM=xcb ASAN_OPTIONS=detect_leaks=0 \
        xvfb-run -a -s "-screen 0 1600x1000x24" sh -c "$launch \"$test_bin\" $steps $extra"
    rm -rf "$home"
done
echo "pictures in $out/openbox and $out/none"
