#!/usr/bin/env bash
# Fifos where the program reads its files at start-up (the links, a language file, an image
# list): it starts, passes over them as it would over a missing file, and ends on SIGTERM as
# usual. Opening a fifo for reading would wait for a writer for ever.
set -uo pipefail

dist=${1:?usage: odd_files.sh <installed program folder>}
if [[ ! -x "$dist/velluma" ]]; then
    echo "No installed program in $dist: run 'cmake --install' for this build first." >&2
    exit 1
fi

scratch=$(mktemp -d /tmp/velluma-e2e-XXXXXX)
pid=
trap '[[ -n "$pid" ]] && kill -KILL "$pid" 2>/dev/null; rm -rf "$scratch"' EXIT
app="$scratch/Velluma"
cp -a "$dist" "$app"
export HOME="$scratch/home" XDG_CONFIG_HOME="$scratch/home/.config"
mkdir -p "$HOME"

source "$(dirname "$0")/checks.sh"

rm -f "$app/links.ini"
mkfifo "$app/links.ini" "$app/Languages/x.lng" "$app/imgLists/x.lst"
# A process that has ended but has not been waited for still answers kill -0.
gone() { [[ ! -e /proc/$pid ]] || [[ $(awk '{print $3}' "/proc/$pid/stat" 2>/dev/null) == Z ]]; }

start 4
check "the program is running" kill -0 "$pid"
kill -TERM "$pid"
check "it ends within 3 s of SIGTERM" wait_for 3 gone
if ! gone; then
    kill -KILL "$pid"
    wait "$pid" 2>/dev/null
else
    wait "$pid"
    rc=$?
    check "session end exits cleanly (exit code $rc)" test "$rc" -eq 0
fi
pid=
check "the fifos are left as they were" \
    test -p "$app/links.ini" -a -p "$app/Languages/x.lng" -a -p "$app/imgLists/x.lst"

end_checks "$scratch/out.log"
