#!/bin/bash
# Which of the module's QML files, and which heavy QML modules, the application loads in its first
# seconds, with the peak memory of the run: a quick check that the window does not load screens,
# drawers and dialogs before it needs them. Runs offscreen with a fresh per-user folder.
#   scripts/qml-files-at-start.sh <velmor binary> [consent: 0 or 1] [seconds, default 4]
set -euo pipefail
bin=$1
consent=${2:-1}
seconds=${3:-4}
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
mkdir -p "$home/data/Velmor/Velmor"
if [ "$consent" = 1 ]; then
    printf '[General]\nlicense_accepted=true\n' > "$home/data/Velmor/Velmor/settings.ini"
fi
HOME=$home XDG_CONFIG_HOME=$home/config XDG_DATA_HOME=$home/data XDG_CACHE_HOME=$home/cache \
    QT_LOGGING_RULES="qt.qml.import=true" QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0 \
    /usr/bin/time -f "peak memory: %M kB" timeout -s INT "$seconds" "$bin" > "$home/trace.log" 2>&1 || true
echo "module files loaded: $(grep -o 'addLibraryImport: qrc:/qml/Velmor/[^ ]*' "$home/trace.log" | sort -u | wc -l)"
echo "heavy modules imported: $(grep -o 'addLibraryImport: [^ ]* "\(QtQuick.Dialogs\|Qt5Compat.GraphicalEffects\|QtQuick.Shapes\)"' "$home/trace.log" \
    | grep -o '"[^"]*"' | sort -u | tr '\n' ' ')"
grep 'peak memory' "$home/trace.log"
