#!/usr/bin/env bash
# Idle cost of the program hidden in the tray with the animation off: CPU share of one
# core over a minute and resident memory, measured from outside through /proc.
# Usage: bench/idle_cost.sh [installed program folder] [seconds]
# Build the folder with a release build first (scripts/run lays out dist/Velluma).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
dist=${1:-$top/dist/Velluma}
seconds=${2:-60}
[[ -x "$dist/velluma" ]] || { echo "no program in $dist (run scripts/run once)"; exit 1; }

scratch=$(mktemp -d /tmp/velluma-idle-XXXXXX)
trap 'rm -rf "$scratch"' EXIT
cp -a "$dist" "$scratch/Velluma"
app="$scratch/Velluma"
mkdir -p "$app/registry"
# Not the first run, no splash, animation off: the program starts hidden in the tray.
printf 'REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvalix\\Velluma\\Options]\r\n"firstrun"=dword:00000001\r\n"Enabled"=dword:00000000\r\n"ShowAboutWindow"=dword:00000000\r\n"RunAtStartup"=dword:00000000\r\n\r\n' \
    >"$app/registry/HKEY_LOCAL_MACHINE.reg"
export HOME="$scratch/home"
mkdir -p "$HOME"

run() {
    "$app/velluma" >/dev/null 2>&1 &
    pid=$!
    sleep 5  # start-up is not idle time
    local ticks=$(getconf CLK_TCK)
    local before after
    before=$(awk '{print $14 + $15}' "/proc/$pid/stat")
    sleep "$seconds"
    after=$(awk '{print $14 + $15}' "/proc/$pid/stat")
    local rss hwm
    rss=$(awk '/^VmRSS/ {print $2}' "/proc/$pid/status")
    hwm=$(awk '/^VmHWM/ {print $2}' "/proc/$pid/status")
    awk -v d=$((after - before)) -v t="$ticks" -v s="$seconds" -v rss="$rss" -v hwm="$hwm" \
        'BEGIN { printf "cpu %.3f %% of one core over %d s; resident %.1f MiB (peak %.1f MiB)\n",
                 100 * d / t / s, s, rss / 1024, hwm / 1024 }'
    kill -TERM "$pid"
    wait "$pid" || true
}

if [[ -z "${DISPLAY:-}" ]] && command -v xvfb-run >/dev/null && command -v trayer >/dev/null; then
    # A real X display with a notification area, as on a desktop.
    xvfb-run -a "$0" "$dist" "$seconds"
    exit $?
fi
if command -v trayer >/dev/null; then
    trayer --edge top --width 10 --height 24 >/dev/null 2>&1 &
    tray=$!
    sleep 1
fi
run
[[ -n "${tray:-}" ]] && kill "$tray"
