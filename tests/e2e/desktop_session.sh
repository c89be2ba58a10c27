#!/usr/bin/env bash
# The installed program on a real X display with a notification area (trayer): the first
# run shows the main window, later runs start in the tray, a second start brings the
# running copy forward instead of starting another, and the start-up entry follows
# RunAtStartup at every exit. Run inside xvfb-run.
set -uo pipefail

dist=${1:?usage: desktop_session.sh <installed program folder>}
source "$(dirname "$0")/checks.sh"
need xdotool trayer
[[ -n "${DISPLAY:-}" ]] || { echo "no X display: run under xvfb-run"; exit 1; }

fresh_copy "$dist"
autostart="$XDG_CONFIG_HOME/autostart/Velluma.desktop"
unset QT_QPA_PLATFORM

trayer --edge top --align right --widthtype pixel --width 100 --height 24 &
tray=$!
cleanup() {
    pkill -KILL -f "$app/velluma" 2>/dev/null
    kill "$tray" 2>/dev/null
    rm -rf "$scratch"
}
trap cleanup EXIT
sleep 1

main_window_visible() { xdotool search --onlyvisible --name '^Velluma$' >/dev/null 2>&1; }
main_window_hidden() { ! main_window_visible; }
copies() { pgrep -c -f "^$app/velluma( |$)" || true; }

# First run: splash, then the main window.
start 6
check "first run shows the main window" main_window_visible
finish
check "the start-up entry is there after exit" test -f "$autostart"

# Later runs start in the tray; no splash to wait for.
set_option ShowAboutWindow 00000000
start 3
check "second run starts hidden" main_window_hidden

# A second start brings the running copy forward and ends.
"$app/velluma" >>"$scratch/out.log" 2>&1
check "a second start ends by itself" test $? -eq 0
sleep 1
check "one copy runs" test "$(copies)" -eq 1
check "the running copy's window came up" main_window_visible
finish

# RunAtStartup off removes the entry at exit; on puts it back.
set_option RunAtStartup 00000000
start 3
finish
check "RunAtStartup off removes the start-up entry" test ! -e "$autostart"
set_option RunAtStartup 00000001
start 3
finish
check "RunAtStartup on writes it again" test -f "$autostart"
check "the entry starts this program" grep -qF "Exec=\"$app/velluma\"" "$autostart"

end_checks "$scratch/out.log"
