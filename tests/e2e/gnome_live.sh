#!/usr/bin/env bash
# Theme mode under GNOME Shell on Wayland with our Shell extension enabled: the page program
# opens a Wayland window, and the extension shows it in the Shell's background layer. The
# background animates (two screenshots a second apart differ), a normal window opened above
# stays above and keeps the focus, the page program's window is in none of the Shell's window
# lists, a window with the page program's app id but another token is left alone, the page
# pauses while a maximised window covers the screen, and ending theme mode leaves nothing
# behind. Its build for later Shells, installed and enabled beside it, is left alone by this
# one. The Shell runs headless on a virtual monitor; exits 77 (skipped) only when the
# Shell cannot start on this machine.
#
#   gnome_live.sh <installed program folder> <canvas package name>
set -uo pipefail

dist=${1:?usage: gnome_live.sh <installed program folder> <canvas package name>}
canvas=${2:?canvas package name}
source "$(dirname "$0")/checks.sh"
need gnome-shell dbus-daemon dbus-run-session gsettings gdbus xmessage python3
[[ -x "$dist/velluma-page" ]] || { echo "no page program in $dist"; exit 1; }
uuid=velluma@velluma.example
[[ -f "$dist/gnome-shell/$uuid/extension.js" ]] || { echo "no Shell extension in $dist"; exit 1; }

fresh_copy "$dist"
find "$app/advThemes" -maxdepth 1 -name '*.tvp' ! -name "$canvas" -delete
source "$(dirname "$0")/headless_gnome.sh"
shots="$scratch/shots"
mkdir -p "$shots"

cleanup() {
    pkill -KILL -f "^$app/velluma" 2>/dev/null
    [[ -n "${stranger:-}" ]] && kill -KILL "$stranger" 2>/dev/null
    [[ -n "${normal:-}" ]] && kill -KILL "$normal" 2>/dev/null
    stop_gnome_shell
    rm -rf "$scratch"
}
trap cleanup EXIT

# The extensions as a user's own, enabled, both builds as the package lays them out: this
# Shell must start the one for 43 and 44 and leave the one for later Shells alone. Beside
# them one that lets this test look into the Shell (its unsafe mode opens Eval and the
# screenshot service to any caller).
later=velluma45@velluma.example
[[ -f "$dist/gnome-shell/$later/extension.js" ]] || { echo "no $later in $dist"; exit 1; }
extensions="$XDG_DATA_HOME/gnome-shell/extensions"
mkdir -p "$extensions/velluma-test@velluma.example"
cp -r "$app/gnome-shell/$uuid" "$app/gnome-shell/$later" "$extensions/"
cat >"$extensions/velluma-test@velluma.example/metadata.json" <<'JSON'
{"uuid": "velluma-test@velluma.example", "name": "Velluma test access",
 "description": "Unsafe mode for the test", "shell-version": ["43", "44"]}
JSON
cat >"$extensions/velluma-test@velluma.example/extension.js" <<'JS'
function init() {
    return { enable() { global.context.unsafe_mode = true; }, disable() {} };
}
JS
start_gnome_shell gsettings set org.gnome.shell enabled-extensions \
    "['$uuid', '$later', 'velluma-test@velluma.example']"

# in_state <uuid> <state as the Shell numbers it: 1 running, 4 out of date>
in_state() {
    gdbus call --session --dest org.gnome.Shell --object-path /org/gnome/Shell \
        --method org.gnome.Shell.Extensions.GetExtensionInfo "$1" | grep -q "'state': <$2.0>"
}
extension_running() { in_state "$uuid" 1; }
check "the extension runs in the Shell" wait_for 20 extension_running
check "the one for later Shells is left out of date there" in_state "$later" 4
looks_in() { [[ "$(shell_eval 1)" == 1 ]]; }
check "the test can look into the Shell" wait_for 10 looks_in
# The Shell starts in its overview; the desktop is what this test looks at.
# (Once the Shell has started up: its start-up opens the overview.)
overview_gone() {
    [[ "$(shell_eval '!Main.layoutManager._startingUp && (Main.overview.hide(),
        !Main.overview.visible && !Main.overview.animationInProgress)')" == true ]]
}
check "the overview closes" wait_for 30 overview_gone

# Windows with the page program's app id: "<title start> <actor visible>" each.
page_windows() {
    shell_eval "global.get_window_actors().map(a => a.meta_window)
        .filter(w => w.get_wm_class() === 'velluma-page')
        .map(w => w.get_title().slice(0, 20) + ' ' + w.get_compositor_private().visible).join(',')"
}
# The titles of the windows cloned into the background layer.
clones() {
    shell_eval "Main.layoutManager._backgroundGroup.get_children()
        .map(c => c.get_first_child()).filter(c => c instanceof imports.gi.Clutter.Clone)
        .map(c => c.source.meta_window.get_title().slice(0, 20))"
}
# What the Shell lists: the window switcher, running applications, the overview's windows.
listed() {
    shell_eval "[global.display.get_tab_list(imports.gi.Meta.TabList.NORMAL_ALL, null)
            .map(w => w.get_wm_class() + ':' + w.get_title().slice(0, 20)),
        imports.gi.Shell.AppSystem.get_default().get_running()
            .map(a => a.get_windows().map(w => w.get_wm_class())),
        global.get_window_actors().map(a => a.meta_window)
            .filter(w => imports.ui.workspace.Workspace.prototype._isOverviewWindow.call(null, w))
            .map(w => w.get_wm_class() + ':' + w.get_title().slice(0, 20))]"
}
# shot <name> [x y width height]: the screen, or an area of it, through the Shell's service.
shot() {
    local name=$1
    shift
    if [[ $# -eq 4 ]]; then
        gdbus call --session --dest org.gnome.Shell.Screenshot \
            --object-path /org/gnome/Shell/Screenshot \
            --method org.gnome.Shell.Screenshot.ScreenshotArea "$@" false "$shots/$name.png"
    else
        gdbus call --session --dest org.gnome.Shell.Screenshot \
            --object-path /org/gnome/Shell/Screenshot \
            --method org.gnome.Shell.Screenshot.Screenshot false false "$shots/$name.png"
    fi | grep -q true
}
# The same pixels: the image data of two PNG files (the Shell writes a time into each).
alike() {
    python3 - "$shots/$1.png" "$shots/$2.png" <<'PY'
import sys
def pixels(path):
    data, at, found = open(path, 'rb').read(), 8, b''
    while at < len(data):
        size = int.from_bytes(data[at:at + 4], 'big')
        if data[at + 4:at + 8] == b'IDAT':
            found += data[at + 8:at + 8 + size]
        at += 12 + size
    return found
sys.exit(0 if pixels(sys.argv[1]) == pixels(sys.argv[2]) and pixels(sys.argv[1]) else 1)
PY
}
differ() { ! alike "$@"; }
# Below the top bar, whose clock may tick between two shots, and its notifications.
background_shots() {
    shot "$1-a" 0 150 1280 600 && sleep 1 && shot "$1-b" 0 150 1280 600
}
page_pid() { pgrep -f "^$app/velluma-page" | head -1; }
no_page_program() { ! pgrep -f "^$app/velluma-page" >/dev/null; }

check "two shots of the plain background a second apart" background_shots plain
check "are alike" alike plain-a plain-b

# A first run writes the settings (off screen: it only has to write them); then theme mode.
QT_QPA_PLATFORM=offscreen start 5
finish
theme_rotation "$canvas" 0000000a 00000000

start 0
check "the page program starts" wait_for 30 page_pid
ours() { [[ "$(page_windows)" =~ ^\"velluma-page\ [0-9a-f]{7}\ false\"$ ]]; }
check "its Wayland window is taken into the background (hidden itself)" wait_for 40 ours
token=$(page_windows | sed 's/^"velluma-page \([0-9a-f]*\) .*/\1/')
check "one clone of it shows on the monitor ($(clones))" test "$(clones)" = "[\"velluma-page $token\"]"
sleep 3
check "the background animates" background_shots live
check "(two shots a second apart differ)" differ live-a live-b
check "no still picture stands in" bash -c "! grep -q 'still picture' '$scratch/out.log'"
check "the page program's window is in none of the Shell's lists ($(listed))" \
    bash -c "! grep -q velluma-page <<<'$(listed)'"

# A window with the page program's app id but another token: an ordinary window.
work=$(find "$app/advThemes/WorkDir" -mindepth 1 -maxdepth 1 -type d | head -1)
start_page=$(cd "$work" && find . -iname '*.htm*' | head -1)
{
    printf 'show %s\t%s\n' "$work" "${start_page#./}"
    sleep 120
} | VELLUMA_SHELL_TOKEN=0123456789abcdef0123456789abcdef QT_QPA_PLATFORM=wayland \
    "$app/velluma-page" >"$scratch/stranger.log" 2>&1 &
stranger=$!
stranger_shown() { grep -q "velluma-page 0123456 true" <<<"$(page_windows)"; }
check "a window with the wrong token is left alone" wait_for 30 stranger_shown
check "and is listed as any window ($(listed))" \
    bash -c "grep -q 'velluma-page:velluma-page 0123' <<<'$(listed)'"
check "and not taken into the background ($(clones))" bash -c "! grep -q 0123456 <<<'$(clones)'"
kill -KILL "$stranger"
pkill -KILL -P "$stranger" 2>/dev/null
stranger=

# A normal window above: it stays above the animated background and keeps the focus.
xmessage -geometry 400x200+300+300 "a normal window" &
normal=$!
focused() { [[ "$(shell_eval 'global.display.focus_window?.get_wm_class()')" == '"Xmessage"' ]]; }
check "a normal window opens with the focus" wait_for 40 focused
sleep 1
# Inside its frame: the rounded corners let the background through.
rect=$(shell_eval "(r => [r.x + 10, r.y + 40, r.width - 20, r.height - 50].join(' '))(
    global.display.focus_window.get_frame_rect())" | tr -d '"')
# shellcheck disable=SC2086
check "two shots of it a second apart ($rect)" bash -c "$(declare -f shot)
    shots='$shots'; shot normal-a $rect && sleep 1 && shot normal-b $rect"
check "are alike: it stays above the animated background" alike normal-a normal-b
check "and keeps the focus" focused

# Maximised, it covers the screen: the page pauses (its window goes), and comes back after.
no_page_window() { [[ "$(page_windows)" == '""' ]]; }
shell_eval 'global.display.focus_window.maximize(imports.gi.Meta.MaximizeFlags.BOTH)' >/dev/null
check "a maximised window pauses the page" wait_for 20 no_page_window
check "the page program runs on" test -n "$(page_pid)"
shell_eval 'global.display.focus_window.unmaximize(imports.gi.Meta.MaximizeFlags.BOTH)' >/dev/null
check "unmaximised, the page is back in the background" wait_for 20 ours
# The Shell disables and enables extensions around its lock screen: the claim holds.
extension() {
    gdbus call --session --dest org.gnome.Shell --object-path /org/gnome/Shell \
        --method "org.gnome.Shell.Extensions.$1Extension" "$uuid" >/dev/null
}
extension Disable
extension Enable
check "after the extension was disabled and enabled again, the page is back" wait_for 20 ours
kill "$normal"
normal=

# Theme mode ends with the program: nothing of the page stays.
finish
check "no page program is left" wait_for 5 no_page_program
check "no window of it is left" wait_for 5 no_page_window
check "no clone is left" test "$(clones)" = "[]"
check "two shots of the background after" background_shots after
check "are alike: nothing animates there any more" alike after-a after-b

end_checks "$scratch/out.log"
