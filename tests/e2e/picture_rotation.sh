#!/usr/bin/env bash
# Picture mode with a five-second interval over the first-run list: the wallpaper bitmap
# changes at least three times in twenty seconds, and the session end puts the recorded
# background back.
set -uo pipefail
source "$(dirname "$0")/checks.sh"

# The "Wallpaper" value of HKCU "Control Panel\Desktop".
desktop_wallpaper() {
    awk '/^\[/ { inside = ($0 == "[HKEY_CURRENT_USER\\Control Panel\\Desktop]\r") }
         inside && /^"Wallpaper"=/ { print; exit }' "$hkcu"
}

dist=${1:?usage: picture_rotation.sh <installed program folder>}
fresh_copy "$dist"
trap 'pkill -KILL -f "$scratch/Velluma/velluma" 2>/dev/null; rm -rf "$scratch"' EXIT
hkcu="$app/registry/HKEY_CURRENT_USER.reg"

# A first run writes the sample lists and the settings.
"$app/velluma" >"$scratch/out.log" 2>&1 &
pid=$!
sleep 4
kill -TERM "$pid"
wait "$pid" || { echo "first run failed"; cat "$scratch/out.log"; exit 1; }
before=$(desktop_wallpaper)

set_option state 00000001
set_option Enabled 00000001
set_option ilChType 00000002
set_option ilRandOrOrder 00000000
set_option ilMin 00000000
set_option ilSec 00000005
set_option ShowAboutWindow 00000000
set_text cIList "$app/imgLists/abstract.lst"
set_text cImg "$app/imgLists/abstract/abs001.jpg"

"$app/velluma" >>"$scratch/out.log" 2>&1 &
pid=$!
bitmap="$app/imgLists/WorkDir/wallpaper.bmp"
last="" changes=0
for _ in $(seq 1 21); do
    sleep 1
    now=$(md5sum "$bitmap" 2>/dev/null | cut -d' ' -f1)
    if [[ -n "$now" && "$now" != "$last" ]]; then
        changes=$((changes + 1))
        last=$now
    fi
done
during=$(desktop_wallpaper)
kill -TERM "$pid"
wait "$pid"
rc=$?
after=$(desktop_wallpaper)

check "the wallpaper changed at least three times ($changes)" test "$changes" -ge 3
check "the desktop values name the bitmap ($during)" test "$during" = "\"Wallpaper\"=\"$bitmap\""$'\r'
check "ends cleanly on SIGTERM (exit code $rc)" test "$rc" -eq 0
check "the recorded background is back" test "$after" = "$before"
end_checks "$scratch/out.log"
