#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what building and testing need on Debian 12, and only what is missing. QT=6 installs
# the Qt 6 development packages instead of Qt 5's; extra arguments are further packages.
set -euo pipefail

case "${QT:-5}" in
5) qt_packages=(qtbase5-dev qtbase5-dev-tools libqt5charts5-dev) ;;
# Core5Compat brings QTextCodec back. Qt6Gui's CMake package looks for libgl-dev, and
# Qt6Charts' for Qt6OpenGL, which qt6-charts-dev does not pull in.
6) qt_packages=(qt6-base-dev qt6-base-dev-tools qt6-5compat-dev qt6-charts-dev libqt6opengl6-dev
    libgl-dev) ;;
*)
    echo "QT must be 5 or 6, not '${QT}'" >&2
    exit 2
    ;;
esac

packages=(g++ make cmake "${qt_packages[@]}" libarchive-dev fonts-dejavu-core xauth xvfb "$@")
missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
