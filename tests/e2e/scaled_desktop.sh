#!/usr/bin/env bash
# A desktop scaled to 125 %, 150 % and 200 % (Xft.dpi, as desktops set it for a high-density
# screen) keeps its device pixels: in picture mode wallpaper.bmp has the screen's full pixel
# size and is what the root window shows; the live desktop's page covers the whole screen and
# measures it in device pixels. Run inside xvfb-run with -noreset (xrdb's resources must
# outlive xrdb).
#
#   scaled_desktop.sh <installed program folder> <velluma_root_probe>
set -uo pipefail

dist=${1:?usage: scaled_desktop.sh <installed program folder> <velluma_root_probe>}
probe=${2:?usage: scaled_desktop.sh <installed program folder> <velluma_root_probe>}
source "$(dirname "$0")/checks.sh"
[[ -x "$dist/velluma" ]] || { echo "No installed program in $dist: run 'cmake --install' first." >&2; exit 1; }
need xrdb
[[ -n "${DISPLAY:-}" ]] || { echo "no X display: run under xvfb-run"; exit 1; }

fresh_copy "$dist"
unset QT_QPA_PLATFORM DBUS_SESSION_BUS_ADDRESS QT_SCALE_FACTOR QT_SCREEN_SCALE_FACTORS
pid=
page=
cleanup() {
    [[ -n "$pid" ]] && kill -KILL "$pid" 2>/dev/null
    [[ -n "$page" ]] && kill -KILL "$page" 2>/dev/null
    rm -rf "$scratch"
}
trap cleanup EXIT

screen_size=$(xwininfo -root | awk '/Width:/ { w = $2 } /Height:/ { h = $2 } END { print w "x" h }')
screen_width=${screen_size%x*}
screen_height=${screen_size#*x}
# Width x height of a Windows bitmap (a bottom-up one stores its height positive).
bmp_size() {
    local w h
    read -r w h < <(od -An -t d4 -j 18 -N 8 "$1")
    echo "${w}x${h#-}"
}
wallpaper="$app/imgLists/WorkDir/wallpaper.bmp"

start 4  # the first run writes the settings
finish
list="$app/imgLists/abstract.lst"
set_text cIList "$list"
set_text cImg "$(head -n 1 "$list" | cut -d'?' -f1)"
# Picture mode, stretched to the desktop, no rotation.
for option in ShowAboutWindow:00000000 Enabled:00000001 state:00000001 ilChType:00000000 \
    ilShowType:00000000 ilDisplType:00000000; do
    set_option "${option%%:*}" "${option##*:}"
done

for dpi in 120 144 192; do
    echo "Xft.dpi: $dpi" | xrdb -nocpp -load
    rm -f "$wallpaper"
    start 3
    check "at Xft.dpi $dpi wallpaper.bmp has the screen's pixel size ($screen_size)" \
        test "$(bmp_size "$wallpaper" 2>/dev/null)" = "$screen_size"
    check "at Xft.dpi $dpi the root window shows wallpaper.bmp" "$probe" same-as "$wallpaper"
    finish
done

# The live desktop at 200 %: a page whose left half is red, sized once in pixels as a
# generated page sizes its movie, once from the screen size the page reads.
if [[ -x "$app/velluma-page" ]]; then
    half=$((screen_width / 2))
    mkdir -p "$scratch/page"
    cat >"$scratch/page/index.htm" <<HTML
<html><body style="margin:0; background:#00ff00">
<div style="position:absolute; left:0; top:0; width:${half}px; height:100px; background:#ff0000"></div>
<div id="measured" style="position:absolute; left:0; top:100px; height:100px; background:#ff0000"></div>
<script>document.getElementById("measured").style.width = (screen.width / 2) + "px";</script>
</body></html>
HTML
    echo "Xft.dpi: 192" | xrdb -nocpp -load
    mkfifo "$scratch/commands"
    "$app/velluma-page" <"$scratch/commands" >"$scratch/page.log" 2>>"$scratch/out.log" &
    page=$!
    exec 3>"$scratch/commands"
    printf 'show %s\tindex.htm\n' "$scratch/page" >&3
    check "the page program shows the page" wait_for 40 grep -q '^shown' "$scratch/page.log"
    sleep 1
    pixel() { "$probe" pixel "$1" "$2"; }
    check "the page covers the screen's last pixel" test "$(pixel $((screen_width - 1)) $((screen_height - 1)))" = 00ff00
    for y in 50 150; do
        check "a page pixel is a device pixel (red left of $half, row $y)" \
            test "$(pixel $((half - 2)) $y)" = ff0000
        check "a page pixel is a device pixel (green right of $half, row $y)" \
            test "$(pixel $((half + 2)) $y)" = 00ff00
    done
    echo quit >&3
    exec 3>&-
    wait "$page"
    page=
fi

end_checks "$scratch/out.log"
