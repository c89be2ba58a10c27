#!/usr/bin/env bash
# Theme switches in one page program, as the theme rotation makes them: each package is
# unpacked into a fresh work folder, the page program is asked for its start page, and the
# time until it answers that the page has drawn is taken (goal: at most 1.5 s for every
# sample). A new theme every few seconds; the page program's memory is sampled twice a
# second throughout and averaged over each full cycle of the samples (goal: after 200
# switches, PSS within 10 % of its value after the first full cycle, taken as the average
# over the cycle that follows it: the first cycle still holds the start and the first
# page shown over nothing).
# A single sample of PSS swings by tens of MiB with the moment it is taken (a page loading,
# the replaced one not yet collected) and with other programs that map the same libraries
# (their pages then count half), so the averages are compared, and the anonymous memory
# (the heaps, which no other program shares) and RSS are printed beside them.
#
#   bench/page_rotation.sh [installed program folder] [switches] [seconds between switches]
# The virtual screen is 1920x1080 unless VELLUMA_BENCH_SCREEN says otherwise.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
source "$top/bench/lib/process_tree.sh"
dist=$(cd "${1:-$top/dist/Velluma}" && pwd)
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

packages=("$dist"/advThemes/*.tvp)
names=()
starts=()
for package in "${packages[@]}"; do
    names+=("$(basename "$package" .tvp)")
    starts+=("$(unzip -p "$package" theme.cfg | start_page)")
done
count=${#packages[@]}

now_ms() { echo $(($(date +%s%N) / 1000000)); }
answers() { grep -cE '^(shown|error)' "$scratch/out" || true; }

mkdir -p "$scratch/work"
mkfifo "$scratch/in"
"$dist/velluma-page" <"$scratch/in" >"$scratch/out" 2>"$scratch/err" &
page=$!
exec 3>"$scratch/in"

declare -A took  # theme -> switch times in ms, in order
first=
samples=0 pss_sum=0 anon_sum=0 rss_sum=0
for i in $(seq 0 $((switches - 1))); do
    t=$((i % count))
    asked=$(now_ms)
    answered=$(answers)
    # As the tray program does: a fresh work folder per theme, the page asked for once the
    # previous one has answered, and the folder before last removed.
    folder=$scratch/work/$i
    mkdir -p "$folder"
    (cd "$folder" && unzip -q "${packages[$t]}")
    printf 'show %s\t%s\n' "$folder" "${starts[$t]}" >&3
    until (($(answers) > answered)); do
        kill -0 "$page" 2>/dev/null || { echo "the page program ended"; cat "$scratch/err"; exit 1; }
        (($(now_ms) - asked > 60000)) && { echo "no answer within 60 s"; exit 1; }
        sleep 0.02
    done
    took[$t]+="$(($(now_ms) - asked)) "
    tail -1 "$scratch/out" | grep -q '^shown' || echo "switch $i: $(tail -1 "$scratch/out")"
    rm -rf "$scratch/work/$((i - 2))"
    while :; do  # at least once, also after a switch slower than the period
        read -r pss rss anon < <(tree_memory "$page")
        samples=$((samples + 1)) pss_sum=$((pss_sum + pss)) anon_sum=$((anon_sum + anon))
        rss_sum=$((rss_sum + rss))
        (($(now_ms) - asked < every * 1000 - 500)) || break
        sleep 0.5
    done
    if (((i + 1) % count == 0)); then
        pss=$((pss_sum / samples)) anon=$((anon_sum / samples)) rss=$((rss_sum / samples))
        (((i + 1) / count == 2)) && first=$pss
        last=$pss
        awk -v i=$((i + 1)) -v p="$pss" -v u="$anon" -v r="$rss" -v f="${first:-$pss}" 'BEGIN {
            printf "switches %d: PSS %.1f MiB (%+.1f %% of the second cycle), anonymous %.1f MiB, RSS %.1f MiB\n",
                i, p / 1024, 100 * (p - f) / f, u / 1024, r / 1024 }'
        samples=0 pss_sum=0 anon_sum=0 rss_sum=0
    fi
done

shown=$(grep -c '^shown' "$scratch/out" || true)
echo "$shown of $switches switches shown"
awk -v f="$first" -v l="$last" 'BEGIN {
    printf "PSS over the second cycle %.1f MiB, over the last full one %.1f MiB (%+.1f %%; goal within 10 %%)\n",
        f / 1024, l / 1024, 100 * (l - f) / f }'
# From the unpacking to the answer; the very first includes the page program's start.
for t in $(seq 0 $((count - 1))); do
    read -r -a times <<<"${took[$t]}"
    rest=$(printf '%s\n' "${times[@]:1}" | sort -n)
    n=$((${#times[@]} - 1))
    median=$( ((n > 0)) && sed -n "$(((n + 1) / 2))p" <<<"$rest" || echo 0)
    slowest=$( ((n > 0)) && tail -1 <<<"$rest" || echo 0)
    echo "${names[$t]}: first switch ${times[0]} ms; the $n after it: median $median ms," \
        "slowest $slowest ms (goal 1500 ms)"
done
