#!/usr/bin/env bash
# Theme mode on a real X display with a window manager: the theme's page plays in a
# desktop window of the page program, confined (no new privileges, files and network of
# its own), below every normal window and over the whole screen; it animates (two screenshots a second apart differ), for a canvas theme and for
# a Flash theme; a killed page program leaves the tray program running and the next apply
# starts a new one; switching to picture mode (the Active Desktop off) closes the page; a
# still of an animated page is written and the page program ends. Run inside xvfb-run.
#
#   live_desktop.sh <installed program folder> <canvas package name> <flash package name>
# With VELLUMA_E2E_SHOTS=<folder> the screenshots are kept there.
set -uo pipefail

dist=${1:?usage: live_desktop.sh <installed program folder> <canvas package> <flash package>}
canvas=${2:?canvas package name}
flash=${3:?flash package name}
source "$(dirname "$0")/checks.sh"
need openbox xprop xwininfo xwd xmessage xdotool
[[ -n "${DISPLAY:-}" ]] || { echo "no X display: run under xvfb-run"; exit 1; }
[[ -x "$dist/velluma-page" ]] || { echo "no page program in $dist"; exit 1; }

fresh_copy "$dist"
# Two themes only, so the rotation alternates between them.
find "$app/advThemes" -maxdepth 1 -name '*.tvp' ! -name "$canvas" ! -name "$flash" -delete
unset QT_QPA_PLATFORM
shots=${VELLUMA_E2E_SHOTS:-$scratch/shots}
mkdir -p "$shots"

openbox >/dev/null 2>&1 &
wm=$!
cleanup() {
    pkill -KILL -f "^$app/velluma" 2>/dev/null
    kill "$wm" 2>/dev/null
    [[ -n "${normal:-}" ]] && kill -KILL "$normal" 2>/dev/null  # ours only: others may be running
    rm -rf "$scratch"
}
trap cleanup EXIT
sleep 1

page_pid() { pgrep -f "^$app/velluma-page" | head -1; }
tray_running() { kill -0 "$pid" 2>/dev/null; }
# The managed window of the given type ("DESKTOP", "NORMAL"), as listed bottom to top.
windows_bottom_up() {
    xprop -root _NET_CLIENT_LIST_STACKING | sed 's/.*# //; s/,//g' | tr ' ' '\n' | grep 0x
}
desktop_window() {
    local id
    for id in $(windows_bottom_up); do
        xprop -id "$id" _NET_WM_WINDOW_TYPE 2>/dev/null | grep -q _NET_WM_WINDOW_TYPE_DESKTOP &&
            { echo "$id"; return 0; }
    done
    return 1
}
shot() { xwd -root -silent >"$shots/$1.xwd"; }
differ() { ! cmp -s "$shots/$1.xwd" "$shots/$2.xwd"; }
# The theme the desktop values name: the work folder's theme name.
shown_theme() {
    local page
    page=$(awk '/^\[HKEY_CURRENT_USER\\Software\\Microsoft\\Internet Explorer\\Desktop\\General\]/ {
                    inside = 1; next } /^\[/ { inside = 0 }
                inside && /^"Wallpaper"=/ { sub(/^"Wallpaper"="/, ""); sub(/"\r?$/, ""); print }' \
        "$app/registry/HKEY_CURRENT_USER.reg")
    [[ -n "$page" ]] || return 1
    grep -h -m1 '^ThemeName=' "$(dirname "$page")/theme.cfg" "$(dirname "$(dirname "$page")")/theme.cfg" \
        2>/dev/null | head -1 | tr -d '\r' | sed 's/^ThemeName=//'
}
animates() {  # animates <label>: two screenshots a second apart differ
    shot "$1-a"
    sleep 1
    shot "$1-b"
    differ "$1-a" "$1-b"
}

# A first run writes the settings; then theme mode, on, rotating every 20 seconds.
"$app/velluma" >"$scratch/out.log" 2>&1 &
pid=$!
sleep 4
kill -TERM "$pid"
wait "$pid"
hklm="$app/registry/HKEY_LOCAL_MACHINE.reg"
theme_rotation "$canvas" 00000000 00000014

"$app/velluma" >>"$scratch/out.log" 2>&1 &
pid=$!
check "the page program starts" wait_for 30 page_pid
# It runs confined: no new privileges, a system call filter, and a mount and network
# namespace apart from ours.
page=$(page_pid)
namespace() { readlink "/proc/$1/ns/$2"; }
check "the page program runs without new privileges" \
    grep -q '^NoNewPrivs:[[:space:]]*1$' "/proc/$page/status"
[[ $(uname -m) == x86_64 ]] &&
    check "under a system call filter" grep -q '^Seccomp:[[:space:]]*2$' "/proc/$page/status"
check "it sees files of its own" test "$(namespace "$page" mnt)" != "$(namespace "$pid" mnt)"
check "and a network of its own" test "$(namespace "$page" net)" != "$(namespace "$pid" net)"
check "the tray program did not have to run it unconfined" \
    bash -c "! grep -q unconfined '$scratch/out.log'"
check "a desktop window shows the page" wait_for 30 desktop_window
desktop=$(desktop_window)
geometry=$(xwininfo -id "$desktop" | awk '/Width:/ { w = $2 } /Height:/ { h = $2 } END { print w "x" h }')
root=$(xwininfo -root | awk '/Width:/ { w = $2 } /Height:/ { h = $2 } END { print w "x" h }')
check "the desktop window covers the screen ($geometry)" test "$geometry" = "$root"
first=$(shown_theme)
sleep 3
check "the first theme ($first) animates" animates first

xmessage -geometry 300x100+100+100 "a normal window" &
normal=$!
wait_for 10 bash -c "xprop -root _NET_CLIENT_LIST_STACKING | grep -q ','"
sleep 1
bottom=$(windows_bottom_up | head -1)
check "the desktop window stays below a normal window" test "$bottom" = "$desktop"
kill "$normal"

# The page program dies; the tray program lives on and the next rotation starts a new one.
old=$(page_pid)
kill -KILL "$old"
sleep 1
check "the tray program survives the page program" tray_running
check "the next apply starts a new page program" wait_for 40 bash -c \
    "p=\$(pgrep -f '^$app/velluma-page' | head -1); [[ -n \$p && \$p != $old ]]"
check "its desktop window shows" wait_for 30 desktop_window
second=$(shown_theme)
check "the rotation moved on to the other theme ($first, then $second)" test "$first" != "$second"
sleep 4
check "the second theme ($second) animates" animates second

# The mode button switches to picture mode: the Active Desktop goes off and the page with it.
main=$(xdotool search --onlyvisible --name '^Velluma$' | head -1)
check "the main window is there" test -n "$main"
xdotool mousemove --window "$main" 76 40 click 1
no_page_program() { ! pgrep -f "^$app/velluma-page" >/dev/null; }
no_desktop_window() { ! desktop_window; }
check "switching the Active Desktop off ends the page program" wait_for 10 no_page_program
check "and removes the desktop window" wait_for 5 no_desktop_window
check "the tray program runs on" tray_running

kill -TERM "$pid"
wait "$pid"
rc=$?
check "ends cleanly on SIGTERM (exit code $rc)" test "$rc" -eq 0
check "no page program is left" no_page_program
check "the program left in picture mode" grep -q '^"state"=dword:00000001' "$hklm"

# Where no window can go behind the icons, a still of the page stands in: the page program
# writes it and ends, even while the page still animates.
mkdir -p "$scratch/still"
(cd "$scratch/still" && unzip -q "$app/advThemes/$canvas")
still_start=$(grep -m1 -i '^startup=' "$scratch/still/theme.cfg" | tr -d '\r' |
    sed 's/^startup=\\//; s/\\/\//g')
check "a still of the canvas theme is written and the page program ends" timeout 30 \
    "$app/velluma-page" --still "$scratch/still" "$still_start" "$scratch/still.png" 640 400
check "the still is a PNG picture" bash -c "head -c 4 '$scratch/still.png' | grep -q PNG"

end_checks "$scratch/out.log"
