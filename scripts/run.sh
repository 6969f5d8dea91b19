#!/usr/bin/env bash
# Starts the viewer; on first use fills the log folder with the sample logs.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
folder="${TMPDIR:-/tmp}/Velmora Drives/Brantel"
mkdir -p "$folder"
if [ -z "$(ls -A "$folder" 2>/dev/null)" ] && compgen -G "$root/samples/*" >/dev/null; then
    cp "$root"/samples/* "$folder"/
fi
exec "$root/build/bin/telvane" "$@"
