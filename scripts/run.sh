#!/usr/bin/env bash
# Installs what is missing, builds the application and starts it. Arguments go to the application.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
build=build/release
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMOR_BUILD_TESTS=OFF
cmake --build "$build" --parallel "$(nproc)"
# Without a display (a server, a container) the window is drawn off screen.
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    export QT_QPA_PLATFORM=offscreen
fi
exec "$build/src/app/velmor" "$@"
