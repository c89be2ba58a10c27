#!/usr/bin/env bash
# Starts the installed program in a scratch copy of its folder with no settings, ends it
# the way a session end does, and checks what it left behind; then checks that a run
# killed outright leaves the settings of the run before it whole.
set -uo pipefail

dist=${1:?usage: first_run.sh <installed program folder>}
if [[ ! -x "$dist/velluma" ]]; then
    echo "No installed program in $dist: run 'cmake --install' for this build first." >&2
    exit 1
fi

scratch=$(mktemp -d /tmp/velluma-e2e-XXXXXX)
trap 'rm -rf "$scratch"' EXIT
app="$scratch/Velluma"
cp -a "$dist" "$app"
rm -f "$app/registry/HKEY_LOCAL_MACHINE.reg" "$app/registry/HKEY_CURRENT_USER.reg"
rm -f "$app"/imgLists/*.lst
export HOME="$scratch/home" XDG_CONFIG_HOME="$scratch/home/.config"
mkdir -p "$HOME"

source "$(dirname "$0")/checks.sh"

# Starts the program and waits until it is up; sets pid.
start() {
    "$app/velluma" >"$scratch/out.log" 2>&1 &
    pid=$!
    sleep "${1:-3}"
}

start
check "the program is running" kill -0 "$pid"
kill -TERM "$pid"
wait "$pid"
rc=$?
check "session end exits cleanly (exit code $rc)" test "$rc" -eq 0
[[ $rc -eq 0 ]] || cat "$scratch/out.log"

hklm="$app/registry/HKEY_LOCAL_MACHINE.reg"
has() { grep -qF -- "$1" "$hklm"; }
check "settings key written" has '[HKEY_LOCAL_MACHINE\SOFTWARE\Corvalix\Velluma\Options]'
check "firstrun written" has '"firstrun"=dword:00000001'
check "defaults written" has '"Enabled"=dword:00000001'
check "group display packed" has '"ilgrDispl"=dword:0001877e'
check "language file" has "\"LanguageFileName\"=\"$app/Languages/english.lng\""
check "file starts with REGEDIT4" test "$(head -c 8 "$hklm")" = "REGEDIT4"

hkcu="$app/registry/HKEY_CURRENT_USER.reg"
check "the user's own background was put back at exit" \
    grep -qF '[HKEY_CURRENT_USER\Control Panel\Desktop]' "$hkcu"

abstract="$app/imgLists/abstract.lst"
check "abstract.lst has eleven lines" test "$(grep -c $'\r$' "$abstract")" -eq 11
check "tenth line names abs0010.jpg" \
    test "$(sed -n 10p "$abstract")" = "$app/imgLists/abstract/abs0010.jpg?1024*768"$'\r'
check "corvalix.lst" \
    test "$(cat "$app/imgLists/corvalix.lst")" = "$app/imgLists/Corvalix/ilwallpap.jpg?800*600"$'\r'

# A run killed outright keeps the previous run's settings.
cp "$hklm" "$scratch/before.reg"
start 2
kill -KILL "$pid"
wait "$pid" 2>/dev/null
check "a killed run leaves the settings whole" cmp -s "$hklm" "$scratch/before.reg"

# The second run ends normally too and keeps firstrun.
start 2
kill -TERM "$pid"
wait "$pid"
rc=$?
check "second run exits cleanly (exit code $rc)" test "$rc" -eq 0
check "firstrun kept" has '"firstrun"=dword:00000001'

end_checks
