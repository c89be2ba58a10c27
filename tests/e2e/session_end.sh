#!/usr/bin/env bash
# The end of the session waits for nobody: with a message box or a file dialog up, SIGTERM
# ends the program within three seconds, with the settings written and no window left. A
# failure at the end shows no box then; the next start shows it once. Run inside xvfb-run,
# with a notification area (trayer) so that later runs start hidden.
set -uo pipefail

dist=${1:?usage: session_end.sh <installed program folder>}
source "$(dirname "$0")/checks.sh"
need xdotool trayer
[[ -n "${DISPLAY:-}" ]] || { echo "no X display: run under xvfb-run"; exit 1; }

fresh_copy "$dist"
autostart="$XDG_CONFIG_HOME/autostart"
hklm="$app/registry/HKEY_LOCAL_MACHINE.reg"
pending="$app/registry/PendingReports.txt"
unset QT_QPA_PLATFORM

trayer --edge top --align right --widthtype pixel --width 100 --height 24 &
tray=$!
cleanup() {
    [[ -n "${pid:-}" ]] && kill -KILL "$pid" 2>/dev/null
    kill "$tray" 2>/dev/null
    rm -rf "$scratch"
}
trap cleanup EXIT
sleep 1

# A setting that only the end of a run writes back, dropped from the file before a start.
start_run() {
    sed -i '/^"ilgrDispl"=/d' "$hklm"
    start "$1"
}
# The program's own windows on screen; the tray icon (22 x 22 in the tray) left out.
windows_up() {
    local n=0 id WIDTH HEIGHT
    for id in $(xdotool search --onlyvisible --pid "$pid" 2>/dev/null); do
        eval "$(xdotool getwindowgeometry --shell "$id" 2>/dev/null | grep -E '^(WIDTH|HEIGHT)=')"
        [[ ${WIDTH:-0} -gt 40 && ${HEIGHT:-0} -gt 40 ]] && n=$((n + 1))
    done
    echo "$n"
}
a_window_is_up() { [[ "$(windows_up)" -ge 1 ]]; }
two_windows_are_up() { [[ "$(windows_up)" -ge 2 ]]; }
gone() { ! kill -0 "$pid" 2>/dev/null; }
# SIGTERM, then the program must be gone within three seconds, cleanly, with the settings
# written at its end.
end_session() {
    local what=$1
    local started
    started=$(date +%s%N)
    kill -TERM "$pid"
    local ended=0
    for _ in $(seq 1 30); do
        gone && { ended=1; break; }
        sleep 0.1
    done
    check "$what: SIGTERM ends the program within 3 s" test "$ended" -eq 1
    echo "    ($(( ($(date +%s%N) - started) / 1000000 )) ms after SIGTERM)"
    if [[ $ended -eq 1 ]]; then
        wait "$pid"
        local rc=$?
        check "$what: it ends cleanly (exit code $rc)" test "$rc" -eq 0
    else
        kill -KILL "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
    fi
    check "$what: no window of it is left" test "$(windows_up)" -eq 0
    check "$what: the settings were written at the end" grep -qF '"ilgrDispl"=' "$hklm"
    check "$what: no page program is left" test -z "$(pgrep -f "^$app/velluma-page" || true)"
    pid=
}

# A first run lays out the settings; later runs start hidden, without the splash.
start 6
finish
set_option ShowAboutWindow 00000000

# A refused package at start-up: its error box is up when the session ends.
printf 'not a theme package' >"$app/advThemes/Refused.tvp"
set_option Enabled 00000001
set_option state 00000000
set_text cadvTheme "$app/advThemes/Refused.tvp"
start_run 0
check "the refused package's error box is shown" wait_for 20 a_window_is_up
end_session "error box"

# The import's file dialog is open when the session ends.
set_text cadvTheme ""
start_run 3
"$app/velluma" >>"$scratch/out.log" 2>&1  # the running copy's window comes up
main=$(xdotool search --onlyvisible --pid "$pid" --name '^Velluma$' 2>/dev/null | head -1)
check "the main window is up" test -n "$main"
xdotool windowfocus --sync "$main" 2>/dev/null
xdotool key --clearmodifiers ctrl+o
check "the import's file dialog is shown" wait_for 10 two_windows_are_up
end_session "file dialog"

# The start-up entry cannot be written at the end (its folder is a file): no box then, a
# line on standard error, and the next start shows it once.
rm -rf "$autostart"
mkdir -p "$XDG_CONFIG_HOME"
printf 'not a folder' >"$autostart"
start_run 3
end_session "failing start-up entry"
check "the failure went to standard error" grep -q "autostart" "$scratch/out.log"
check "the failure is kept for the next start" grep -q "autostart" "$pending"
rm -f "$autostart"
start_run 0
check "the next start shows it" wait_for 10 a_window_is_up
end_session "kept failure shown"
check "it is shown once" test ! -e "$pending"
start_run 4
check "the start after that shows nothing" test "$(windows_up)" -eq 0
end_session "quiet start"

end_checks "$scratch/out.log"
