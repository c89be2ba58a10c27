#!/usr/bin/env bash
# Memory of the builder's movie preview against the desktop page program on the same sample
# movie: the page program showing the sample theme over the whole screen, then the preview
# (velluma-page --preview, as the builder starts it) playing the theme's movie at each of the
# given frame sizes. For each: PSS and RSS summed over every process of the program, after the
# movie has played for a while, and each process on its own. Goal: the preview's PSS at most
# the desktop page's at the builder's frame size. PSS splits the engine's library pages among
# every process that maps them, other programs' too, so compare the figures of one run only.
# Runs under Xvfb with openbox.
#
#   bench/preview_memory.sh [installed program folder] [package name] [WxH...]
# The virtual screen is 1920x1080 unless VELLUMA_BENCH_SCREEN says otherwise;
# VELLUMA_BENCH_SECONDS (20) is how long each plays before it is measured.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
source "$top/bench/lib/process_tree.sh"
dist=${1:-$top/dist/Velluma}
package=${2:-Petal Orbit.tvp}
shift 2 || shift $# || true
sizes=("$@")
screen=${VELLUMA_BENCH_SCREEN:-1920x1080}
seconds=${VELLUMA_BENCH_SECONDS:-20}
# The builder's frame holds a 16:9 stage of about 216 by 122; the whole screen for comparison.
[[ ${#sizes[@]} -gt 0 ]] || sizes=(216x122 "$screen")
[[ -x "$dist/velluma-page" ]] || { echo "no page program in $dist (run scripts/run once)"; exit 1; }

if [[ -z "${DISPLAY:-}" ]]; then
    exec xvfb-run -a -s "-screen 0 ${screen}x24" "$0" "$dist" "$package" "${sizes[@]}"
fi

scratch=$(mktemp -d /tmp/velluma-preview-XXXXXX)
openbox >/dev/null 2>&1 &
wm=$!
cleanup() {
    exec 3>&- 2>/dev/null || true
    [[ -n "${page:-}" ]] && kill "$page" 2>/dev/null
    kill "$wm" 2>/dev/null
    rm -rf "$scratch"
}
trap cleanup EXIT
sleep 1

work=$scratch/work
mkdir -p "$work"
(cd "$work" && unzip -q "$dist/advThemes/$package")
start=$(start_page <"$work/theme.cfg")
movie=$(cd "$work" && ls *.swf | head -1)
[[ -n $movie ]] || { echo "$package has no movie"; exit 1; }

# One line per process ("pid PSS RSS" in KiB), then the sums.
report() {
    local label=$1 p pss rss anon
    local total_pss=0 total_rss=0
    while read -r p pss rss anon; do
        awk -v p="$p" -v n="$(tr '\0' ' ' <"/proc/$p/cmdline" 2>/dev/null | cut -c1-40)" \
            -v s="$pss" -v r="$rss" 'BEGIN {printf "    %-7s %-40s %8.1f %8.1f\n", p, n, s / 1024, r / 1024}'
        total_pss=$((total_pss + pss))
        total_rss=$((total_rss + rss))
    done < <(process_memory "$page")
    awk -v l="$label" -v s="$total_pss" -v r="$total_rss" \
        'BEGIN {printf "%-28s PSS %7.1f MiB   RSS %7.1f MiB\n", l, s / 1024, r / 1024}'
}
wait_for() {  # a line starting with $1 in the answers
    for _ in $(seq 1 120); do grep -q "^$1" "$scratch/out" && return 0; sleep 0.5; done
    echo "no '$1' from the page program"
    cat "$scratch/out" "$scratch/err"
    exit 1
}
run() {  # the page program with its arguments, fed through a pipe as the tray program feeds it
    rm -f "$scratch/in"
    mkfifo "$scratch/in"
    "$dist/velluma-page" "$@" <"$scratch/in" >"$scratch/out" 2>"$scratch/err" &
    page=$!
    exec 3>"$scratch/in"
}
finish() {
    printf 'quit\n' >&3 || true
    exec 3>&-
    for _ in $(seq 1 20); do kill -0 "$page" 2>/dev/null || break; sleep 0.5; done
    kill "$page" 2>/dev/null || true
    wait "$page" 2>/dev/null || true
    page=
}

echo "package: $package, movie: $movie, screen $screen, after ${seconds} s of play"
run
printf 'show %s\t%s\n' "$work" "$start" >&3
wait_for shown
sleep "$seconds"
report "desktop page $screen"
finish

parent=$(xwininfo -root | awk '/Window id:/ {print $4}')
for size in "${sizes[@]}"; do
    run --preview "$parent"
    printf 'size %s %s\n' "${size%x*}" "${size#*x}" >&3
    printf 'movie %s\tHigh\n' "$work/$movie" >&3
    wait_for playing
    sleep "$seconds"
    report "preview $size"
    finish
done
