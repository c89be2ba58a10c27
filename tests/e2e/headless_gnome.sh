# A headless GNOME Shell on Wayland for the end-to-end scripts; sourced after checks.sh and
# fresh_copy.
#   start_gnome_shell [command...]   starts the Shell on a 1280x800 virtual monitor with a
#                                    stand-in for the system bus; the command runs on its
#                                    session bus just before it. Exports what a GNOME session
#                                    on Wayland hands its programs. Exits 77 (skipped) only
#                                    when the Shell cannot start on this machine.
#   stop_gnome_shell                 ends the Shell, its buses and its Xwayland
#   shell_eval <javascript>          runs it in the Shell (needs its unsafe mode) and prints
#                                    the JSON of the result; fails when it threw
export XDG_DATA_HOME="$scratch/home/.local/share" XDG_CACHE_HOME="$scratch/home/.cache"
export XDG_RUNTIME_DIR="$scratch/runtime"
mkdir -p "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
unset QT_QPA_PLATFORM DISPLAY WAYLAND_DISPLAY XAUTHORITY DBUS_SESSION_BUS_ADDRESS

start_gnome_shell() {
    # Shell 43 forks its input-method daemon early, and runs JavaScript in the forked child
    # before the exec: now and then that child hangs on a lock of the parent's, and the Shell
    # waits for it for good, answering no client. A Shell that stops answering while it
    # starts is started again.
    local attempt
    for attempt in 1 2 3; do
        launch_gnome_shell "$@"
        shell_settled && break
        echo "note: GNOME Shell stopped answering while it started (attempt $attempt)"
        stop_gnome_shell
        rm -rf "$scratch/session_bus" "$scratch/shell.pid" "${XDG_RUNTIME_DIR:?}"/* \
            "$XDG_RUNTIME_DIR"/.mutter-*
        shell_pid=""
    done
    # What a GNOME session on Wayland hands its programs.
    export DBUS_SESSION_BUS_ADDRESS=$(cat "$scratch/session_bus")
    export WAYLAND_DISPLAY=wayland-0 XDG_SESSION_TYPE=wayland XDG_CURRENT_DESKTOP=GNOME
    local x_display x_auth
    x_display=$(sed -n 's/.*Using public X11 display \(:[0-9]*\).*/\1/p' "$scratch/shell.log" | head -1)
    x_auth=$(find "$XDG_RUNTIME_DIR" -maxdepth 1 -name '.mutter-Xwaylandauth.*' | head -1)
    [[ -n "$x_display" ]] && export DISPLAY="$x_display" XAUTHORITY="$x_auth"
    return 0
}

# Starts the Shell and waits until it owns its bus name; exits 77 when it cannot start.
launch_gnome_shell() {
    # Without a system bus the Shell's JavaScript stops at start-up (no logind); a second
    # session bus stands in for it.
    system_bus=$(dbus-daemon --session --address="unix:path=$scratch/system_bus" --fork --print-pid)
    export DBUS_SYSTEM_BUS_ADDRESS="unix:path=$scratch/system_bus"
    local setup=""
    [[ $# -gt 0 ]] && setup=$(printf '%q ' "$@")
    setsid dbus-run-session -- bash -c "echo \"\$DBUS_SESSION_BUS_ADDRESS\" >'$scratch/session_bus'
        $setup
        echo \$\$ >'$scratch/shell.pid'
        exec gnome-shell --headless --wayland --virtual-monitor 1280x800" >"$scratch/shell.log" 2>&1 &
    shell_group=$!
    local _
    for _ in $(seq 1 60); do shell_up && break; sleep 0.5; done
    if ! shell_up || ! kill -0 "$shell_pid" 2>/dev/null; then
        echo "SKIPPED: GNOME Shell cannot start on this machine. Its output:"
        cat "$scratch/shell.log"
        exit 77
    fi
}

# True once the Shell's start-up forks are past and its main loop still answers: a property
# read is served there, unlike the bus name, which the Shell owns before those forks. It
# forks at start and again when Xwayland is up; without ibus-daemon each leaves a line.
shell_settled() {
    local _
    for _ in $(seq 1 16); do
        [[ $(grep -c 'ibus-daemon' "$scratch/shell.log") -ge 2 ]] && break
        sleep 0.5
    done
    DBUS_SESSION_BUS_ADDRESS=$(cat "$scratch/session_bus") gdbus call --session --timeout 10 \
        --dest org.gnome.Shell --object-path /org/gnome/Shell \
        --method org.freedesktop.DBus.Properties.Get org.gnome.Shell ShellVersion >/dev/null 2>&1
}

shell_up() {
    [[ -z "${shell_pid:-}" && -s "$scratch/shell.pid" ]] && shell_pid=$(cat "$scratch/shell.pid")
    [[ -S "$XDG_RUNTIME_DIR/wayland-0" && -s "$scratch/session_bus" ]] &&
        DBUS_SESSION_BUS_ADDRESS=$(cat "$scratch/session_bus") gdbus call --session \
            --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
            --method org.freedesktop.DBus.NameHasOwner org.gnome.Shell 2>/dev/null | grep -q true
}

# The Shell, its buses and its Xwayland form a process group of their own: ended as one,
# asked first (dbus-run-session passes no signal on), so none outlives the test.
stop_gnome_shell() {
    if [[ -n "${shell_group:-}" ]]; then
        kill -TERM -- "-$shell_group" 2>/dev/null
        local _
        for _ in $(seq 1 20); do kill -0 -- "-$shell_group" 2>/dev/null || break; sleep 0.25; done
        kill -KILL -- "-$shell_group" 2>/dev/null
    fi
    [[ -n "${system_bus:-}" ]] && kill "$system_bus" 2>/dev/null
}

shell_eval() {
    local out
    out=$(gdbus call --session --dest org.gnome.Shell --object-path /org/gnome/Shell \
        --method org.gnome.Shell.Eval "$1" 2>&1) || return 1
    [[ "$out" == "(true, "* ]] || return 1
    out=${out#(true, \'}
    echo "${out%\')}"
}
