#!/usr/bin/env bash
# Theme mode under GNOME Shell on Wayland, which has no place for a window behind the icons,
# for a user who refused our Shell extension before: the program asks nothing, says once that
# it shows a still picture instead, the page program draws a
# still of the theme's page and GNOME's own settings (org.gnome.desktop.background) name it
# while the program runs; the rotation's next theme gives a new still; at exit the user's
# own background is back. No notification area here: the program runs on without its icon.
# The Shell runs headless on a virtual monitor, with a stand-in for the system bus; the
# program is a Wayland client, as Qt makes it in such a session. Exits 77 (skipped) only
# when the Shell cannot start on this machine.
#
#   gnome_still.sh <installed program folder> <first package name> <second package name>
set -uo pipefail

dist=${1:?usage: gnome_still.sh <installed program folder> <first package> <second package>}
first=${2:?first package name}
second=${3:?second package name}
source "$(dirname "$0")/checks.sh"
need gnome-shell dbus-daemon dbus-run-session gsettings gdbus
[[ -x "$dist/velluma-page" ]] || { echo "no page program in $dist"; exit 1; }

fresh_copy "$dist"
find "$app/advThemes" -maxdepth 1 -name '*.tvp' ! -name "$first" ! -name "$second" -delete
source "$(dirname "$0")/headless_gnome.sh"
mkdir -p "$HOME/Pictures"

cleanup() {
    pkill -KILL -f "^$app/velluma" 2>/dev/null
    stop_gnome_shell
    rm -rf "$scratch"
}
trap cleanup EXIT
start_gnome_shell

background() { gsettings get org.gnome.desktop.background "$1"; }
tray_running() { kill -0 "$pid" 2>/dev/null; }
no_page_program() { ! pgrep -f "^$app/velluma-page" >/dev/null; }
# The picture GNOME is told to show, as a path, once it is one of ours.
our_picture() {
    local uri
    uri=$(background picture-uri)
    uri=${uri#\'file://}
    uri=${uri%\'}
    [[ "$uri" == "$app/"* ]] && echo "$uri"
}
# png_size <file>: width x height from the PNG header.
png_size() {
    [[ "$(head -c 8 "$1" | od -An -tx1 | tr -d ' \n')" == 89504e470d0a1a0a ]] || return 1
    echo "$((16#$(od -An -tx1 -j16 -N4 "$1" | tr -d ' \n')))x$((16#$(od -An -tx1 -j20 -N4 "$1" |
        tr -d ' \n')))"
}

# The user's own background.
cp "$app/imgLists/Corvalix/ilwallpap.jpg" "$HOME/Pictures/mine.jpg"
gsettings set org.gnome.desktop.background picture-uri "file://$HOME/Pictures/mine.jpg"
gsettings set org.gnome.desktop.background picture-uri-dark "file://$HOME/Pictures/mine-dark.jpg"
gsettings set org.gnome.desktop.background picture-options zoom
user=$(gsettings list-recursively org.gnome.desktop.background)

# A first run writes the settings (off screen: it only has to write them); then theme
# mode, on, rotating every 20 seconds.
QT_QPA_PLATFORM=offscreen start 5
finish
theme_rotation "$first" 00000000 00000014
printf '\r\n[HKEY_CURRENT_USER\\SOFTWARE\\Corvalix\\Velluma\\GnomeShell]\r\n"ExtensionRefused"=dword:00000001\r\n' \
    >>"$app/registry/HKEY_CURRENT_USER.reg"
check "the first run left the user's background alone" \
    test "$(gsettings list-recursively org.gnome.desktop.background)" = "$user"

start 0
check "a still of the page becomes GNOME's background" wait_for 40 our_picture
still=$(our_picture)
check "the dark style's background is the same still" \
    test "$(background picture-uri-dark)" = "'file://$still'"
check "the still is a PNG picture of the whole screen ($(png_size "$still"))" \
    test "$(png_size "$still")" = 1280x800
check "the page program drew it and ended" wait_for 5 no_page_program
check "the user was told once that a still stands in" \
    test "$(grep -c 'Velluma shows a still picture' "$scratch/out.log")" -eq 1
check "the Shell extension was neither installed nor enabled" bash -c "[[ ! -e '$XDG_DATA_HOME/gnome-shell/extensions/velluma@velluma.example' ]] &&
    ! gsettings get org.gnome.shell enabled-extensions | grep -q velluma"
check "the page program found the start page" bash -c "! grep -q 'page not found' '$scratch/out.log'"
check "the program runs without a notification area" tray_running
cp "$still" "$scratch/first-still.png"

# The rotation's next theme: a new still, under a new name.
new_still() { local now; now=$(our_picture) && [[ "$now" != "$still" ]]; }
check "the next theme's still replaces it" wait_for 40 new_still
check "and shows another picture" bash -c "! cmp -s '$scratch/first-still.png' '$(our_picture)'"

finish
check "the user's own background is back" \
    test "$(gsettings list-recursively org.gnome.desktop.background)" = "$user"
check "no page program is left" no_page_program
check "GNOME's copies of the stills are gone" \
    test -z "$(find "$app/imgLists/WorkDir" -name 'desktop-*')"

end_checks "$scratch/out.log"
