#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing need, when any is missing.
# Safe to run repeatedly: it does nothing when everything is already there.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-declarative-dev qt6-declarative-dev-tools
  qt6-tools-dev qt6-serialport-dev qt6-svg-dev qt6-5compat-dev
  qml6-module-qtquick qml6-module-qtquick-templates qml6-module-qtquick-layouts
  qml6-module-qtquick-window qml6-module-qtquick-dialogs qml6-module-qtquick-shapes
  qml6-module-qtquick-controls qml6-module-qt-labs-platform qml6-module-qt-labs-folderlistmodel
  qml6-module-qtqml-workerscript qml6-module-qt5compat-graphicaleffects qml6-module-qttest
  qml6-module-qtqml qml6-module-qtqml-models qml6-module-qtquick-templates
  libqt6svg6 qt6-qpa-plugins
  libhidapi-dev
  libxcb1-dev libxcb-xfixes0-dev
  xvfb xauth openbox xdotool
  python3
  dbus-daemon dbus-bin desktop-file-utils
  fonts-dejavu-core
  clang libclang-rt-14-dev
  clang-14 clang-tidy-14 clang-format-14
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -q
"${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
