#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# On first use fills the viewer's log folder with the sample logs, and when the viewer has no
# settings yet, writes a first session that opens the telegram samples side by side. Run by
# run.sh before the viewer starts, and by the screenshot program for the first-start picture.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
# The viewer's log folder is QDir::tempPath() (TMPDIR, cleaned) + "/Velmora Drives/Brantel".
folder="$(realpath -ms "${TMPDIR:-/tmp}")/Velmora Drives/Brantel"
mkdir -p "$folder"
if [ -z "$(ls -A "$folder" 2>/dev/null)" ] && compgen -G "$root/samples/*" >/dev/null; then
    cp "$root"/samples/* "$folder"/
fi

# QSettings of organization "Velmora Drives", application "telvane": an INI file whose key
# "FileNames" lists the session's logs separated by ';'.
settings="${XDG_CONFIG_HOME:-$HOME/.config}/Velmora Drives/telvane.conf"
if [ ! -e "$settings" ]; then
    session=()
    for sample in "$root"/samples/*; do
        log="$folder/$(basename "$sample")"
        # Only the samples in the folder that hold telegrams; a fault log shows nothing decoded
        # in the telegram view.
        if [ -f "$log" ] && grep -q '\[Comm\]' "$log"; then
            session+=("$log")
        fi
    done
    joined="$(IFS=';'; echo "${session[*]-}")"
    # Written only as plain printable ASCII without quotes and backslashes, which QSettings reads
    # back unchanged inside quotes.
    if [ -n "$joined" ] && LC_ALL=C grep -qx '[ -~]*' <<<"$joined" &&
        ! grep -q '["\\]' <<<"$joined"; then
        mkdir -p "$(dirname "$settings")"
        printf '[General]\nFileNames="%s"\n' "$joined" >"$settings"
    fi
fi
