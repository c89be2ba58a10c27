#!/usr/bin/env bash
# Theme mode rotating every 3 seconds over two themes for half a minute, with the real page
# program on an X display: advThemes/WorkDir ends with at most two work folders, one of them
# holding the page on screen, and never holds more than four (on screen, asked for, waiting
# its turn, being unpacked); a work folder left by an earlier run is gone at start-up, without following the
# link inside it out of WorkDir; what is not a work folder of ours stays; the packages are
# untouched. Run inside xvfb-run.
#
#   work_folders.sh <installed program folder> <package name> <package name>
set -uo pipefail

dist=${1:?usage: work_folders.sh <installed program folder> <package> <package>}
first=${2:?package name}
second=${3:?package name}
source "$(dirname "$0")/checks.sh"
need openbox xprop
[[ -n "${DISPLAY:-}" ]] || { echo "no X display: run under xvfb-run"; exit 1; }
[[ -x "$dist/velluma-page" ]] || { echo "no page program in $dist"; exit 1; }

fresh_copy "$dist"
find "$app/advThemes" -maxdepth 1 -name '*.tvp' ! -name "$first" ! -name "$second" -delete
unset QT_QPA_PLATFORM

openbox >/dev/null 2>&1 &
wm=$!
cleanup() {
    [[ -n "${pid:-}" ]] && kill -KILL "$pid" 2>/dev/null
    pkill -KILL -f "^$app/velluma-page" 2>/dev/null
    kill "$wm" 2>/dev/null
    rm -rf "$scratch"
}
trap cleanup EXIT
sleep 1

work="$app/advThemes/WorkDir"
work_folders() { find "$work" -mindepth 1 -maxdepth 1 -type d -regex '.*/[0-9]+' | sort; }
count() { work_folders | wc -l; }
desktop_window() {
    local id
    for id in $(xprop -root _NET_CLIENT_LIST_STACKING | sed 's/.*# //; s/,//g' | tr ' ' '\n' |
        grep 0x); do
        xprop -id "$id" _NET_WM_WINDOW_TYPE 2>/dev/null | grep -q _NET_WM_WINDOW_TYPE_DESKTOP &&
            return 0
    done
    return 1
}
# The page the Active Desktop shows, as its state in the registry names it.
active_page() {
    awk '/^\[HKEY_CURRENT_USER\\Software\\Microsoft\\Internet Explorer\\Desktop\\General\]/ {
             inside = 1; next } /^\[/ { inside = 0 }
         inside && /^"Wallpaper"=/ { sub(/^"Wallpaper"="/, ""); sub(/"\r?$/, ""); print }' \
        "$app/registry/HKEY_CURRENT_USER.reg"
}
settled() {
    local page
    page=$(active_page)
    [[ $(count) -le 2 && -f "$page" && "$page" == "$work"/* ]]
}

# A first run writes the settings; then theme mode, on, rotating every 3 seconds.
start 4
finish
theme_rotation "$first" 00000000 00000003

# What an earlier run left: a work folder with a link out of WorkDir inside it, and things
# that are not work folders of ours.
mkdir -p "$scratch/precious" "$work/4711/pages" "$work/notes"
echo mine >"$scratch/precious/file"
echo old >"$work/4711/pages/index.htm"
ln -s "$scratch/precious" "$work/4711/pages/out"
ln -s "$scratch/precious" "$work/4712"
echo mine >"$work/notes/file"
packages_before=$(sha256sum "$app"/advThemes/*.tvp)

start 0
most=0
pages=""
for _ in $(seq 1 60); do
    n=$(count)
    ((n > most)) && most=$n
    pages+="$(active_page)"$'\n'
    sleep 0.5
done
shown=$(grep -c . <<<"$(sort -u <<<"$pages")")
check "the folder left by an earlier run is gone" test ! -e "$work/4711"
check "the link inside it was not followed" \
    bash -c "[[ \$(cat '$scratch/precious/file') == mine && \$(ls '$scratch/precious') == file ]]"
check "a link and a folder that are not work folders of ours stay" \
    bash -c "[[ -L '$work/4712' && \$(cat '$work/notes/file') == mine ]]"
check "the rotation went on ($shown pages shown)" test "$shown" -ge 5
check "at most two work folders, one holding the page on screen" wait_for 20 settled
echo "work folders now: $(work_folders | xargs -r -n1 basename | tr '\n' ' ')(most at once: $most)"
check "never more than four work folders at once (most: $most)" test "$most" -le 4
check "the page is on the desktop" desktop_window
finish
check "the packages are untouched" test "$(sha256sum "$app"/advThemes/*.tvp)" = "$packages_before"

end_checks "$scratch/out.log"
