# The end-to-end scripts' checks; sourced.
#   check <description> <command...>    runs the command, says ok or FAILED, counts failures
#   wait_for <seconds> <command...>     true once the command succeeds within the time
#   end_checks [program output file]     sums up; exits 1 (showing the output) on a failure
#   start <seconds>                      starts $app/velluma (output to $scratch/out.log), waits
#   finish                               ends it with SIGTERM and checks that it ended cleanly
#   need <tool...>                       stops the script when a tool is missing
#   fresh_copy <installed folder>        copies the program to $app in a new $scratch, with no
#                                        settings of its own, and gives it a home of its own
#   set_option <name> <dword in hex>     edit a setting that the last run wrote
#   set_text <name> <text>
#   theme_rotation <package> <minutes> <seconds>
#                                        theme mode, on, themes in order from <package> (a file
#                                        in $app/advThemes), every <minutes>:<seconds> (in hex)
failures=0
check() {
    local what=$1
    shift
    if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failures=$((failures + 1)); fi
}
wait_for() {
    local limit=$1
    shift
    for _ in $(seq 1 $((limit * 2))); do
        "$@" && return 0
        sleep 0.5
    done
    return 1
}
end_checks() {
    if [[ $failures -ne 0 ]]; then
        if [[ -n "${1:-}" ]]; then
            echo "--- program output"
            cat "$1"
        fi
        echo "$failures check(s) failed"
        exit 1
    fi
    echo "all checks passed"
}
start() {
    "$app/velluma" >>"$scratch/out.log" 2>&1 &
    pid=$!
    sleep "$1"
}
finish() {
    kill -TERM "$pid"
    wait "$pid"
    local rc=$?
    pid=
    check "ends cleanly on SIGTERM (exit code $rc)" test "$rc" -eq 0
}
need() {
    for tool; do
        command -v "$tool" >/dev/null || { echo "$tool is missing (scripts/install-deps.sh)"; exit 1; }
    done
}
fresh_copy() {
    scratch=$(mktemp -d /tmp/velluma-e2e-XXXXXX)
    app="$scratch/Velluma"
    cp -a "$1" "$app"
    rm -f "$app"/registry/HKEY_LOCAL_MACHINE.reg "$app"/registry/HKEY_CURRENT_USER.reg
    export HOME="$scratch/home" XDG_CONFIG_HOME="$scratch/home/.config"
    mkdir -p "$HOME"
}
set_option() {
    sed -i "s/^\"$1\"=dword:[0-9a-f]*/\"$1\"=dword:$2/" "$app/registry/HKEY_LOCAL_MACHINE.reg"
}
set_text() {
    sed -i "s|^\"$1\"=\".*\"|\"$1\"=\"$2\"|" "$app/registry/HKEY_LOCAL_MACHINE.reg"
}
theme_rotation() {
    set_option state 00000000
    set_option Enabled 00000001
    set_option advChType 00000002
    set_option advRandOrOrder 00000000
    set_option advMin "$2"
    set_option AdvSec "$3"
    set_option ShowAboutWindow 00000000
    set_text cadvTheme "$app/advThemes/$1"
}
