#!/usr/bin/env bash
# The same sample page shown by the page program, by Debian's Chromium (--kiosk --disable-gpu)
# and by a minimal WebKitGTK view, one after the other on the same virtual screen, each in
# software. For each: frames a second (the page's animation callbacks a second, counted by a
# script added to the page), CPU share of one core over a span, and memory as PSS and RSS
# summed over every process of the engine. Goals: canvas and CSS pages >= 28 frames a
# second at <= 0.5x Chromium's CPU, Flash >= 20 frames a second, PSS <= 0.8x the lighter peer.
#
#   bench/peer_pages.sh [installed program folder] [package name...]
# VELLUMA_BENCH_SCREEN (1920x1080), VELLUMA_BENCH_SECONDS (60), VELLUMA_BENCH_ENGINES
# ("velluma chromium webkit") choose the screen, the span and the engines; a missing peer is
# said and skipped. VELLUMA_BENCH_STILLS=<folder> keeps two screenshots a second apart of
# each page in each engine.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
source "$top/bench/lib/process_tree.sh"
dist=${1:-$top/dist/Velluma}
shift || true
packages=("$@")
screen=${VELLUMA_BENCH_SCREEN:-1920x1080}
seconds=${VELLUMA_BENCH_SECONDS:-60}
engines=${VELLUMA_BENCH_ENGINES:-velluma chromium webkit}
[[ -x "$dist/velluma-page" ]] || { echo "no page program in $dist (run scripts/run once)"; exit 1; }
if [[ ${#packages[@]} -eq 0 ]]; then
    mapfile -t packages < <(cd "$dist/advThemes" && ls -1 *.tvp)
fi

if [[ -z "${DISPLAY:-}" ]]; then
    exec xvfb-run -a -s "-screen 0 ${screen}x24 -noreset" "$0" "$dist" "${packages[@]}"
fi

scratch=$(mktemp -d /tmp/velluma-peers-XXXXXX)
openbox >/dev/null 2>&1 &
wm=$!
cleanup() {
    [[ -n "${engine_pid:-}" ]] && kill_tree "$engine_pid"
    [[ -n "${server:-}" ]] && kill "$server" 2>/dev/null
    kill "$wm" 2>/dev/null
    rm -rf "$scratch"
}
trap cleanup EXIT
sleep 1

kill_tree() {
    local pids
    pids=$(tree_pids "$1")
    kill $pids 2>/dev/null || true
    sleep 1
    kill -KILL $pids 2>/dev/null || true
    wait "$1" 2>/dev/null || true
}

# Counts the page's animation callbacks in its own loop and says the rate every 5 s.
counter='<script>(function(){var n=0,t0=0;function f(now){if(!t0)t0=now;n++;if(now-t0>=5000){console.log("velluma-fps "+(n*1000/(now-t0)).toFixed(1));n=0;t0=now;}requestAnimationFrame(f);}requestAnimationFrame(f);})();</script>'
ruffle_config='<script>window.RufflePlayer={config:{autoplay:"on",unmuteOverlay:"hidden",splashScreen:false,preferredRenderer:"canvas",letterbox:"off",contextMenu:"off"}};</script><script src="/ruffle/ruffle.js"></script>'

# $1: the start page; adds the counter (and for peers, the emulator) right after <head>.
add_to_head() {
    local file=$1 text=$2
    python3 - "$file" "$text" <<'EOF'
import re, sys
path, text = sys.argv[1], sys.argv[2]
data = open(path, 'rb').read().decode('latin-1')
m = re.search(r'<head[^>]*>', data, re.I)
at = m.end() if m else 0
open(path, 'wb').write((data[:at] + text + data[at:]).encode('latin-1'))
EOF
}

# A 24/32-bit screenshot of xwd as PNG, with nothing but Python's own modules.
xwd_to_png() {
    python3 - "$1" "$2" <<'EOF'
import struct, sys, zlib
data = open(sys.argv[1], 'rb').read()
h = struct.unpack('>25I', data[:100])
size, width, height, order, stride, ncolors = h[0], h[4], h[5], h[7], h[12], h[19]
pixels = data[size + 12 * ncolors:]
rows = bytearray()
for y in range(height):
    line = pixels[y * stride:y * stride + width * 4]
    rgb = bytearray(width * 3)
    if order == 0:  # least significant byte first: B G R X
        rgb[0::3], rgb[1::3], rgb[2::3] = line[2::4], line[1::4], line[0::4]
    else:
        rgb[0::3], rgb[1::3], rgb[2::3] = line[1::4], line[2::4], line[3::4]
    rows += b'\0' + rgb
def chunk(kind, body):
    return struct.pack('>I', len(body)) + kind + body + struct.pack('>I', zlib.crc32(kind + body))
png = b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', width, height, 8, 2, 0, 0, 0))
png += chunk(b'IDAT', zlib.compress(bytes(rows), 6)) + chunk(b'IEND', b'')
open(sys.argv[2], 'wb').write(png)
EOF
}

cat >"$scratch/webkit_view.py" <<'EOF'
import sys
import gi
gi.require_version('Gtk', '3.0')
gi.require_version('WebKit2', '4.1')
from gi.repository import Gtk, Gdk, WebKit2
window = Gtk.Window()
window.set_type_hint(Gdk.WindowTypeHint.DESKTOP)
window.set_decorated(False)
width, height = int(sys.argv[2]), int(sys.argv[3])
window.move(0, 0)
window.set_default_size(width, height)
view = WebKit2.WebView()
settings = view.get_settings()
settings.set_hardware_acceleration_policy(WebKit2.HardwareAccelerationPolicy.NEVER)
settings.set_enable_write_console_messages_to_stdout(True)
view.load_uri(sys.argv[1])
window.add(view)
window.connect('destroy', Gtk.main_quit)
window.show_all()
Gtk.main()
EOF

# Debian's Python, where its gi module is, also where another one comes first.
py=/usr/bin/python3
[[ -x $py ]] || py=python3
width=${screen%x*}
height=${screen#*x}
mkdir -p "$scratch/www"
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
ln -s "$dist/ruffle" "$scratch/www/ruffle"
python3 -m http.server --bind 127.0.0.1 "$port" --directory "$scratch/www" >"$scratch/http.log" 2>&1 &
server=$!

# Runs the engine $1 on the page; sets fps, cpu, pss, rss.
measure() {
    local engine=$1 work=$2 start=$3 log=$scratch/$engine.log
    : >"$log"
    case $engine in
    velluma)
        rm -f "$scratch/in"
        mkfifo "$scratch/in"
        VELLUMA_PAGE_CONSOLE=1 "$dist/velluma-page" <"$scratch/in" >"$scratch/out" 2>"$log" &
        engine_pid=$!
        exec 3>"$scratch/in"
        printf 'show %s\t%s\n' "$work" "$start" >&3
        ;;
    chromium)
        command -v chromium >/dev/null || { echo "  chromium: not installed, skipped"; return 1; }
        chromium --no-sandbox --kiosk --disable-gpu --no-first-run --user-data-dir="$scratch/chromium" \
            --window-position=0,0 --window-size="$width,$height" --enable-logging=stderr --v=0 \
            --disable-background-networking --disable-component-update --disable-sync \
            --autoplay-policy=no-user-gesture-required \
            "http://127.0.0.1:$port/$engine/$start" >"$log" 2>&1 &
        engine_pid=$!
        ;;
    webkit)
        "$py" -c 'import gi; gi.require_version("WebKit2", "4.1")' 2>/dev/null ||
            { echo "  webkit: gir1.2-webkit2-4.1 not installed, skipped"; return 1; }
        "$py" "$scratch/webkit_view.py" "http://127.0.0.1:$port/$engine/$start" "$width" \
            "$height" >"$log" 2>&1 &
        engine_pid=$!
        ;;
    esac
    sleep 20  # loaded, movies compiled and started
    if [[ -n "${VELLUMA_BENCH_STILLS:-}" ]]; then
        mkdir -p "$VELLUMA_BENCH_STILLS"
        local name="${package%.tvp}-$engine"
        xwd -root -silent >"$scratch/a.xwd"
        sleep 1
        xwd -root -silent >"$scratch/b.xwd"
        xwd_to_png "$scratch/a.xwd" "$VELLUMA_BENCH_STILLS/${name// /_}-a.png"
        xwd_to_png "$scratch/b.xwd" "$VELLUMA_BENCH_STILLS/${name// /_}-b.png"
    fi
    local ticks before after lines
    ticks=$(getconf CLK_TCK)
    lines=$(grep -c 'velluma-fps' "$log" || true)
    before=$(tree_ticks "$engine_pid")
    sleep "$seconds"
    after=$(tree_ticks "$engine_pid")
    read -r pss rss < <(tree_memory "$engine_pid")
    fps=$(tail -n +"$((lines + 1))" "$log" | grep -o 'velluma-fps [0-9.]*' |
        awk '{s += $2; n++} END {if (n) printf "%.1f", s / n; else print "none"}')
    cpu=$(awk -v d=$((after - before)) -v t="$ticks" -v s="$seconds" 'BEGIN {printf "%.1f", 100 * d / t / s}')
    kill_tree "$engine_pid"
    engine_pid=
    [[ $engine == velluma ]] && exec 3>&-
    return 0
}

printf '%-16s %-9s %8s %10s %10s %10s\n' page engine fps "cpu %" "PSS MiB" "RSS MiB"
for package in "${packages[@]}"; do
    rm -rf "$scratch/theme"
    mkdir -p "$scratch/theme"
    (cd "$scratch/theme" && unzip -q "$dist/advThemes/$package")
    start=$(start_page <"$scratch/theme/theme.cfg")
    flash=
    grep -qiE 'shockwave|\.swf' "$scratch/theme/$start" && flash=1
    for engine in $engines; do
        work=$scratch/www/$engine
        rm -rf "$work"
        cp -a "$scratch/theme" "$work"
        extra=$counter
        [[ $engine != velluma && -n $flash ]] && extra="$counter$ruffle_config"
        add_to_head "$work/$start" "$extra"
        if measure "$engine" "$work" "$start"; then
            awk -v p="${package%.tvp}" -v e="$engine" -v f="$fps" -v c="$cpu" -v s="$pss" -v r="$rss" \
                'BEGIN {printf "%-16s %-9s %8s %10s %10.1f %10.1f\n", p, e, f, c, s / 1024, r / 1024}'
        fi
    done
done
