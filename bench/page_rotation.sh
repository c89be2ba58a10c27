#!/usr/bin/env bash
# Memory of the page program across theme switches: one page program is asked for the sample
# themes in turn, a new one every few seconds, as the theme rotation does. Prints the PSS and
# RSS of its process tree after each full cycle; goal: after 200 switches, PSS within 10 % of
# its value after the first full cycle.
#
#   bench/page_rotation.sh [installed program folder] [switches] [seconds between switches]
# The virtual screen is 1920x1080 unless VELLUMA_BENCH_SCREEN says otherwise.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
dist=${1:-$top/dist/Velluma}
switches=${2:-200}
every=${3:-3}
[[ -x "$dist/velluma-page" ]] || { echo "no page program in $dist (run scripts/run once)"; exit 1; }
if [[ -z "${DISPLAY:-}" ]]; then
    exec xvfb-run -a -s "-screen 0 ${VELLUMA_BENCH_SCREEN:-1920x1080}x24" "$0" "$dist" "$switches" \
        "$every"
fi

scratch=$(mktemp -d /tmp/velluma-rotation-XXXXXX)
cleanup() {
    exec 3>&- 2>/dev/null || true
    [[ -n "${page:-}" ]] && kill "$page" 2>/dev/null  # ours only
    rm -rf "$scratch"
}
trap cleanup EXIT

themes=()
starts=()
for package in "$dist"/advThemes/*.tvp; do
    folder=$scratch/$(basename "$package" .tvp)
    mkdir -p "$folder"
    (cd "$folder" && unzip -q "$package")
    themes+=("$folder")
    starts+=("$(grep -m1 -i '^startup=' "$folder/theme.cfg" | tr -d '\r' |
        sed 's/^startup=\\//; s/\\/\//g')")
done

tree_pids() {
    local p=$1
    echo "$p"
    for c in $(pgrep -P "$p"); do tree_pids "$c"; done
}
tree_memory() {  # "PSS RSS" in KiB
    for p in $(tree_pids "$page"); do
        awk '/^Pss:/ {p = $2} /^Rss:/ {r = $2} END {print p + 0, r + 0}' \
            "/proc/$p/smaps_rollup" 2>/dev/null
    done | awk '{p += $1; r += $2} END {print p + 0, r + 0}'
}

mkfifo "$scratch/in"
"$dist/velluma-page" <"$scratch/in" >"$scratch/out" 2>"$scratch/err" &
page=$!
exec 3>"$scratch/in"

count=${#themes[@]}
first=
peak=0
for i in $(seq 0 $((switches - 1))); do
    t=$((i % count))
    # As the tray program does: the next page is asked for once this one has answered.
    answered=$(grep -cE '^(shown|error)' "$scratch/out" || true)
    printf 'show %s\t%s\n' "${themes[$t]}" "${starts[$t]}" >&3
    sleep "$every"
    for _ in $(seq 1 120); do
        (($(grep -cE '^(shown|error)' "$scratch/out" || true) > answered)) && break
        sleep 0.25
    done
    kill -0 "$page" 2>/dev/null || { echo "the page program ended"; cat "$scratch/err"; exit 1; }
    if (((i + 1) % count == 0)); then
        read -r pss rss < <(tree_memory)
        [[ -z $first ]] && first=$pss
        ((pss > peak)) && peak=$pss
        awk -v i=$((i + 1)) -v p="$pss" -v r="$rss" -v f="$first" 'BEGIN {
            printf "after %d switches: PSS %.1f MiB (%+.1f %% of the first cycle), RSS %.1f MiB\n",
                i, p / 1024, 100 * (p - f) / f, r / 1024 }'
    fi
done
shown=$(grep -c '^shown' "$scratch/out" || true)
awk -v f="$first" -v p="$peak" -v l="$pss" -v s="$shown" -v n="$switches" 'BEGIN {
    printf "PSS first cycle %.1f MiB, peak %.1f MiB (%+.1f %%), last %.1f MiB (%+.1f %%; goal within 10 %%); %d of %d switches shown\n",
        f / 1024, p / 1024, 100 * (p - f) / f, l / 1024, 100 * (l - f) / f, s, n }'
