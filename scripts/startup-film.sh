#!/bin/bash
# A film of the start-up for a person to look at: the screen of a real X server (Xvfb, with
# openbox) taken every 50 ms for the first seconds after the application's start, with no
# device, a headset on its cable and a dongle (each plugged in at start, then pulled out and
# plugged in again), and a contact sheet of each film. Runs the start-up benchmark's executable
# of a Release build (scripts/bench-startup.py builds it) over the emulated USB bus; needs the
# Debian packages xvfb, openbox and imagemagick.
#   scripts/startup-film.sh [build dir, default build/bench-startup] [output dir, default film]
#                           [seconds, default 2] [cases, default "none wired dongle"]
set -euo pipefail
build=$(realpath "${1:-build/bench-startup}")
out=$(realpath -m "${2:-film}")
seconds=${3:-2}
cases=${4:-none wired dongle}
app="$build/tests/benchmarks/startup/bench_startup_app"
frames=$((seconds * 20))
for case in $cases; do
    home=$(mktemp -d)
    mkdir -p "$home/data/Velmor/Velmor" "$out/$case"
    rm -f "$out/$case"/*.png
    printf '[General]\nlicense_accepted=true\n' > "$home/data/Velmor/Velmor/settings.ini"
    cat > "$home/film.sh" <<SCRIPT
openbox & sleep 1
start=\$(date +%s%N)
VELMOR_BENCH_DEVICE=$case VELMOR_BENCH_HOLD_MS=$((seconds * 1000 + 500)) "$app" > "$out/$case/app.log" 2>&1 &
app_pid=\$!
for i in \$(seq -w 0 $((frames - 1))); do
    next=\$((start + 10#\$i * 50000000))
    now=\$(date +%s%N)
    [ \$now -lt \$next ] && sleep "\$(printf '0.%09d' \$((next - now)))"
    import -window root "$out/$case/\$i.png" 2>/dev/null || true
done
# The window manager runs until the X server ends; the film ends with the application.
wait \$app_pid
SCRIPT
    HOME=$home XDG_DATA_HOME=$home/data XDG_CONFIG_HOME=$home/config XDG_CACHE_HOME=$home/cache \
        XDG_RUNTIME_DIR=$home TMPDIR=$home QT_QPA_PLATFORM=xcb \
        xvfb-run -a -s "-screen 0 1280x720x24" bash "$home/film.sh" || true
    montage "$out/$case"/[0-9]*.png -tile 8x -geometry 320x180+2+2 -label '%t' "$out/$case-sheet.png"
    rm -rf "$home"
done
echo "films in $out, contact sheets $out/<case>-sheet.png"
