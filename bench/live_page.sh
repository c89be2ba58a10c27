#!/usr/bin/env bash
# Memory and CPU of the page program showing a theme: resident memory of the page program
# and every process it started, sampled over a span (goal: at most 250 MiB, growing by at
# most 5 % from the first minute to the end), then its CPU share while a maximised window
# covers the desktop (goal: under 0.5 % of one core). Runs under Xvfb with openbox.
# The page's renderer and its compositor share their tiles and canvases through shared
# memory mapped twice in the one process, which the resident figure counts twice; the
# second figure counts each shared file once (by its largest mapping).
#
#   bench/live_page.sh [installed program folder] [package name] [minutes]
# The virtual screen is 1920x1080 unless VELLUMA_BENCH_SCREEN says otherwise (e.g. 1280x800).
# Build the folder with a release build first (scripts/run lays out dist/Velluma).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
source "$top/bench/lib/process_tree.sh"
dist=${1:-$top/dist/Velluma}
package=${2:-}
minutes=${3:-10}
[[ -x "$dist/velluma-page" ]] || { echo "no page program in $dist (run scripts/run once)"; exit 1; }

if [[ -z "${DISPLAY:-}" ]]; then
    exec xvfb-run -a -s "-screen 0 ${VELLUMA_BENCH_SCREEN:-1920x1080}x24" "$0" "$dist" "$package" \
        "$minutes"
fi

scratch=$(mktemp -d /tmp/velluma-live-XXXXXX)
openbox >/dev/null 2>&1 &
wm=$!
cleanup() {
    exec 3>&- 2>/dev/null || true
    [[ -n "${page:-}" ]] && kill "$page" 2>/dev/null
    kill "$wm" 2>/dev/null
    [[ -n "${cover:-}" ]] && kill "$cover" 2>/dev/null  # ours only: others may be running
    rm -rf "$scratch"
}
trap cleanup EXIT
sleep 1

[[ -n "$package" ]] || package=$(cd "$dist/advThemes" && ls *.tvp | head -1)
work="$scratch/work"
mkdir -p "$work"
(cd "$work" && unzip -q "$dist/advThemes/$package")
start=$(start_page <"$work/theme.cfg")
echo "package: $package, start page: $start"

# The page program, fed through a pipe as the tray program feeds it.
mkfifo "$scratch/in"
"$dist/velluma-page" <"$scratch/in" >"$scratch/out" 2>"$scratch/err" &
page=$!
exec 3>"$scratch/in"
printf 'show %s\t%s\n' "$work" "$start" >&3

# Resident memory of the page program and all its descendants, in KiB.
tree_rss() { tree_memory "$page" | awk '{print $2}'; }
# The same with each shared-memory file counted once, in KiB.
tree_once() {
    for p in $(tree_pids "$page"); do cat "/proc/$p/smaps" 2>/dev/null; done | awk '
        /^[0-9a-f]+-[0-9a-f]+ / { name = $6; shared = $2 ~ /s/ && name != "" }
        /^Rss:/ { total += $2; if (shared) { sum[name] += $2; if ($2 > most[name]) most[name] = $2 } }
        END { for (n in sum) twice += sum[n] - most[n]; print total - twice }'
}

for _ in $(seq 1 60); do grep -q '^shown' "$scratch/out" && break; sleep 0.5; done
grep -q '^shown' "$scratch/out" || { echo "the page was not shown"; cat "$scratch/out" "$scratch/err"; exit 1; }

samples=()
once=()
for m in $(seq 0 "$minutes"); do
    [[ $m -gt 0 ]] && sleep 60
    samples+=("$(tree_rss)")
    once+=("$(tree_once)")
    awk -v m="$m" -v k="${samples[-1]}" -v o="${once[-1]}" 'BEGIN {
        printf "minute %d: %.1f MiB resident, %.1f MiB with shared memory once\n", m, k / 1024, o / 1024 }'
done
first=${samples[1]:-${samples[0]}}
last=${samples[-1]}
peak=$(printf '%s\n' "${samples[@]}" | sort -n | tail -1)
awk -v f="$first" -v l="$last" -v p="$peak" 'BEGIN {
    printf "RESIDENT peak %.1f MiB (goal <= 250); minute 1 %.1f MiB -> end %.1f MiB: %+.1f %% (goal <= +5 %%)\n",
        p / 1024, f / 1024, l / 1024, 100 * (l - f) / f }'
awk -v p="$(printf '%s\n' "${once[@]}" | sort -n | tail -1)" 'BEGIN {
    printf "RESIDENT, shared memory once: peak %.1f MiB\n", p / 1024 }'

# Covered: a maximised window over the whole screen.
xmessage -name cover "covering the desktop" &
cover=$!
for _ in $(seq 1 20); do wmctrl -l | grep -q 'covering\|cover' && break; sleep 0.5; done
wmctrl -r cover -b add,maximized_vert,maximized_horz 2>/dev/null ||
    wmctrl -r "covering the desktop" -b add,maximized_vert,maximized_horz
for _ in $(seq 1 20); do grep -q '^paused' "$scratch/out" && break; sleep 0.5; done
grep -q '^paused' "$scratch/out" && echo "paused" || echo "NOT paused"
sleep 5
ticks=$(getconf CLK_TCK)
before=$(tree_ticks "$page")
sleep 60
after=$(tree_ticks "$page")
awk -v d=$((after - before)) -v t="$ticks" 'BEGIN {
    printf "PAUSED cpu %.3f %% of one core over 60 s (goal < 0.5)\n", 100 * d / t / 60 }'
