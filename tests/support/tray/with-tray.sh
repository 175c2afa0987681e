#!/bin/sh
# Runs a command on a desktop with a system tray: a private session bus (our own configuration,
# no service of the machine can be started on it) with the fake status-notifier watcher, and a
# virtual X server, so that Qt's tray icon finds a tray.
#   with-tray.sh <fake tray host> <command> [arguments...]
set -eu
host=$1
shift
dir=$(mktemp -d)
trap 'kill "$host_pid" 2>/dev/null || true; kill "$bus_pid" 2>/dev/null || true; rm -rf "$dir"' EXIT
cat > "$dir/bus.conf" <<CONF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:path=$dir/bus</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
CONF
dbus-daemon --config-file="$dir/bus.conf" --nofork --nopidfile &
bus_pid=$!
DBUS_SESSION_BUS_ADDRESS="unix:path=$dir/bus"
export DBUS_SESSION_BUS_ADDRESS
tries=0
while [ ! -S "$dir/bus" ]; do
    tries=$((tries + 1)); [ $tries -lt 200 ] || { echo "with-tray: no bus" >&2; exit 1; }
    sleep 0.05
done
"$host" &
host_pid=$!
tries=0
until dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
        org.freedesktop.DBus.NameHasOwner string:org.kde.StatusNotifierWatcher 2>/dev/null | grep -q true; do
    tries=$((tries + 1)); [ $tries -lt 400 ] || { echo "with-tray: no tray host" >&2; exit 1; }
    sleep 0.05
done
QT_QPA_PLATFORM=xcb
export QT_QPA_PLATFORM
xvfb-run -a -s "-screen 0 1600x1000x24" "$@"
