#!/usr/bin/env bash
# The page program's frame budget on a real X display: a page's animation callbacks come at
# most 30 times a second; when UPower says the machine runs on battery they come at most 10
# times a second, and the budget returns with mains power. UPower is a small fake service on a
# private bus of this test. Forced onto the GPU (Mesa's software GL here), the page still
# shows and animates. Run inside xvfb-run.
#
#   frame_budget.sh <installed program folder>
set -uo pipefail

dist=${1:?usage: frame_budget.sh <installed program folder>}
source "$(dirname "$0")/checks.sh"
need dbus-daemon dbus-send xwd
# Debian's Python, where its dbus and gi modules are, also where another one comes first.
py=/usr/bin/python3
[[ -x $py ]] || py=python3
"$py" -c 'import dbus, dbus.service, dbus.mainloop.glib; from gi.repository import GLib' ||
    { echo "python3-dbus and python3-gi are missing (scripts/install-deps.sh)"; exit 1; }
[[ -n "${DISPLAY:-}" ]] || { echo "no X display: run under xvfb-run"; exit 1; }
[[ -x "$dist/velluma-page" ]] || { echo "no page program in $dist"; exit 1; }
unset QT_QPA_PLATFORM

scratch=$(mktemp -d /tmp/velluma-e2e-XXXXXX)
cleanup() {
    exec 3>&- 2>/dev/null
    for p in ${page:-} ${upower:-} ${bus:-}; do kill "$p" 2>/dev/null; done  # ours only
    rm -rf "$scratch"
}
trap cleanup EXIT

# The page: a square that changes colour on every animation callback, and the number of
# callbacks a second, said on the console every two seconds; over it a bar turned by an endless
# CSS animation (which the budget steps), its state said with the rate.
mkdir -p "$scratch/site"
cat >"$scratch/site/index.htm" <<'EOF'
<!DOCTYPE html>
<html><head><style>
#bar { position: fixed; left: 40px; top: 40px; width: 200px; height: 20px; background: #fff;
       will-change: scroll-position; animation: turn 3s linear infinite; }
@keyframes turn { from { transform: rotate(0deg); } to { transform: rotate(360deg); } }
</style></head>
<body style="margin:0;background:#000">
<div id="box" style="position:fixed;left:0;top:0;width:100%;height:100%"></div>
<div id="bar"></div>
<script>
var box = document.getElementById("box"), bar = document.getElementById("bar"), n = 0, t0 = 0;
function frame(now) {
    if (!t0) t0 = now;
    ++n;
    box.style.background = "hsl(" + Math.round(now / 5) % 360 + ",80%,50%)";
    if (now - t0 >= 2000) {
        var style = getComputedStyle(bar);
        console.log("bar " + bar.getAnimations()[0].playState + "|" + style.willChange + "|" +
                    style.transform);
        console.log("rate " + (n * 1000 / (now - t0)).toFixed(1));
        n = 0;
        t0 = now;
    }
    requestAnimationFrame(frame);
}
requestAnimationFrame(frame);
</script>
</body></html>
EOF

# A private bus with a fake UPower on it, whose OnBattery the test sets.
dbus-daemon --session --nofork --print-address=1 >"$scratch/bus" 2>/dev/null &
bus=$!
wait_for 10 test -s "$scratch/bus" || { echo "dbus-daemon did not start"; exit 1; }
address=$(head -1 "$scratch/bus")
cat >"$scratch/upower.py" <<'EOF'
import sys
import dbus, dbus.service, dbus.mainloop.glib
from gi.repository import GLib

dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
bus = dbus.bus.BusConnection(sys.argv[1])
NAME = "org.freedesktop.UPower"

class UPower(dbus.service.Object):
    on_battery = False

    @dbus.service.method(dbus.PROPERTIES_IFACE, in_signature="ss", out_signature="v")
    def Get(self, interface, name):
        if name != "OnBattery":
            raise dbus.exceptions.DBusException(name, name="org.freedesktop.DBus.Error.UnknownProperty")
        return dbus.Boolean(self.on_battery)

    @dbus.service.method(dbus.PROPERTIES_IFACE, in_signature="s", out_signature="a{sv}")
    def GetAll(self, interface):
        return {"OnBattery": dbus.Boolean(self.on_battery)}

    @dbus.service.signal(dbus.PROPERTIES_IFACE, signature="sa{sv}as")
    def PropertiesChanged(self, interface, changed, invalidated):
        pass

    @dbus.service.method("org.velluma.FakePower", in_signature="b")
    def SetOnBattery(self, value):
        self.on_battery = bool(value)
        self.PropertiesChanged(NAME, {"OnBattery": dbus.Boolean(self.on_battery)}, [])

name = dbus.service.BusName(NAME, bus)
power = UPower(bus, "/org/freedesktop/UPower")
print("ready", flush=True)
GLib.MainLoop().run()
EOF
"$py" "$scratch/upower.py" "$address" >"$scratch/upower.out" 2>&1 &
upower=$!
wait_for 10 grep -q ready "$scratch/upower.out" || { echo "the fake UPower did not start"; exit 1; }
set_on_battery() {
    dbus-send --bus="$address" --dest=org.freedesktop.UPower --type=method_call --print-reply \
        /org/freedesktop/UPower org.velluma.FakePower.SetOnBattery "boolean:$1" >/dev/null
}

# $1: label; the rest: environment for the page program.
start_page() {
    local label=$1
    shift
    rm -f "$scratch/in"
    mkfifo "$scratch/in"
    env "$@" DBUS_SYSTEM_BUS_ADDRESS="$address" VELLUMA_PAGE_CONSOLE=1 "$dist/velluma-page" \
        <"$scratch/in" >"$scratch/$label.out" 2>"$scratch/$label.err" &
    page=$!
    exec 3>"$scratch/in"
    printf 'show %s\t%s\n' "$scratch/site" index.htm >&3
    wait_for 60 grep -q '^shown' "$scratch/$label.out"
}
stop_page() {
    printf 'quit\n' >&3
    exec 3>&-
    wait "$page" 2>/dev/null
    page=
}
# The rates the page said from line $2 of the log $1 on.
rates_since() { tail -n +"$2" "$1" | grep -o 'rate [0-9.]*' | awk '{print $2}'; }
lines_of() { wc -l <"$1"; }
# True when at least one rate was said and none is above $1.
rates_within() {
    local limit=$1 rates
    rates=$(rates_since "$2" "$3")
    [[ -n $rates ]] && echo "$rates" | awk -v l="$limit" '$1 > l {bad = 1} END {exit bad}'
}
# True when a rate above $1 was said.
rate_above() { rates_since "$2" "$3" | awk -v l="$1" '$1 > l {found = 1} END {exit !found}'; }

check "the page is shown" start_page budget
log=$scratch/budget.err
check "software rendering where the only GL is a software one" \
    bash -c "! grep -q 'drawing on the GPU' '$log'"
from=$(lines_of "$log")
sleep 9
check "on mains power the page animates at most 30 times a second ($(rates_since "$log" "$from" | xargs))" \
    rates_within 31 "$log" "$from"

# Stepped, the bar keeps a layer of its own (with what the page asked for), and still turns.
bar_states() { grep -o 'bar paused|.*' "$log" | sed 's/ *$//'; }
check "an endless CSS animation is stepped and keeps its layer ($(bar_states | tail -1))" \
    bash -c "grep -q 'bar paused|scroll-position, transform|matrix' '$log'"
check "a stepped CSS animation still moves" \
    test "$(bar_states | tail -3 | sort -u | wc -l)" -ge 2

set_on_battery true
check "the budget drops on battery" wait_for 10 grep -q 'at most 10 frames a second (on battery)' "$log"
sleep 4.5  # past the page's count that began before
from=$(lines_of "$log")
sleep 9
check "on battery the page animates at most 10 times a second ($(rates_since "$log" "$from" | xargs))" \
    rates_within 10.5 "$log" "$from"

set_on_battery false
check "the budget returns with mains power" \
    wait_for 10 grep -q 'at most 30 frames a second (on mains power)' "$log"
sleep 4.5
from=$(lines_of "$log")
check "back on mains power the page animates faster than on battery" \
    wait_for 20 rate_above 11 "$log" "$from"
stop_page

# Forced onto the GPU, on Mesa's software driver here: the page must still show and move.
check "forced onto the GPU, the page is shown" start_page gpu VELLUMA_GPU=on
check "forced onto the GPU, it says so" grep -q 'drawing on the GPU' "$scratch/gpu.err"
sleep 2
xwd -root -silent >"$scratch/a.xwd"
sleep 1
xwd -root -silent >"$scratch/b.xwd"
check "forced onto the GPU, the page animates (two screenshots a second apart differ)" \
    bash -c "! cmp -s '$scratch/a.xwd' '$scratch/b.xwd'"
stop_page

for label in budget gpu; do
    [[ $failures -ne 0 ]] && { echo "--- $label"; cat "$scratch/$label.out" "$scratch/$label.err" 2>/dev/null | tail -40; }
done
end_checks
