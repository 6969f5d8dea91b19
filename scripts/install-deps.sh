#!/usr/bin/env bash
# Installs what building and testing need on Debian 12, and only what is missing.
set -euo pipefail

packages=(g++ make cmake qtbase5-dev qtbase5-dev-tools libqt5charts5-dev libarchive-dev
    fonts-dejavu-core xauth xvfb "$@")
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
