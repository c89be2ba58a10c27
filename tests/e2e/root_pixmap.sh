#!/usr/bin/env bash
# Picture mode on a bare X server (no desktop, no window manager), so the root window's
# background pixmap is the desktop: each rotation shows the picture of wallpaper.bmp on the
# root window, and at exit the root window shows what it showed before the program started,
# also when the run before was killed outright. Run inside xvfb-run.
set -uo pipefail

dist=${1:?usage: root_pixmap.sh <installed program folder> <velluma_root_probe>}
probe=${2:?usage: root_pixmap.sh <installed program folder> <velluma_root_probe>}
source "$(dirname "$0")/checks.sh"
if [[ ! -x "$dist/velluma" ]]; then
    echo "No installed program in $dist: run 'cmake --install' for this build first." >&2
    exit 1
fi
[[ -n "${DISPLAY:-}" ]] || { echo "no X display: run under xvfb-run"; exit 1; }

fresh_copy "$dist"
# No session bus: whatever desktop the machine runs is not the one on this display.
unset QT_QPA_PLATFORM DBUS_SESSION_BUS_ADDRESS
pid=
cleanup() {
    [[ -n "$pid" ]] && kill -KILL "$pid" 2>/dev/null
    rm -rf "$scratch"
}
trap cleanup EXIT

root() { "$probe" checksum; }
# The root shows wallpaper.bmp; the rotation may replace the file meanwhile, so try again.
shows_wallpaper() {
    for _ in 1 2 3; do
        "$probe" same-as "$app/imgLists/WorkDir/wallpaper.bmp" && return 0
        sleep 0.3
    done
    return 1
}

"$probe" set-pattern
before=$(root)
check "the test's own background is on the root window" test "$before" != none

# A first run writes the settings; then picture mode with a new picture every 2 seconds.
start 4
finish
check "the first run leaves the root as it was" test "$(root)" = "$before"
list="$app/imgLists/abstract.lst"
first=$(head -n 1 "$list" | cut -d'?' -f1)
set_text cIList "$list"
set_text cImg "$first"
for option in ShowAboutWindow:00000000 Enabled:00000001 state:00000001 ilChType:00000002 \
    ilMin:00000000 ilSec:00000002 ilRandOrOrder:00000000 ilShowType:00000000 \
    ilDisplType:00000000; do
    set_option "${option%%:*}" "${option##*:}"
done

start 3
first_shown=$(root)
check "picture mode changes the root window" test "$first_shown" != "$before"
check "the root window shows wallpaper.bmp" shows_wallpaper
sleep 2.5
check "the rotation changes the root window again" test "$(root)" != "$first_shown"
check "and it still shows wallpaper.bmp" shows_wallpaper
finish
check "at exit the root window shows what it showed before" test "$(root)" = "$before"
check "the kept record is gone after a clean exit" \
    bash -c "! grep -q '^\"State\"=' '$app/registry/HKEY_CURRENT_USER.reg'"

# A killed run leaves its picture; the next run puts the user's own back at its exit.
start 3
kill -KILL "$pid"
wait "$pid" 2>/dev/null
pid=
check "a killed run leaves its own picture" test "$(root)" != "$before"
start 3
finish
check "the next run puts the earlier background back" test "$(root)" = "$before"

end_checks "$scratch/out.log"
