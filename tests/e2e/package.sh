#!/usr/bin/env bash
# Builds the Debian package from a build folder, checks it with lintian,
# desktop-file-validate and appstreamcli, unpacks it into a scratch root, makes the program
# folder read-only and runs a first run from there with a scratch home: the data folder
# appears under XDG_DATA_HOME with the first-run lists naming its own pictures, the
# settings are written there at exit, and nothing is written into the program folder.
set -uo pipefail

build=${1:?usage: package.sh <build folder>}
source "$(dirname "$0")/checks.sh"
need cpack dpkg-deb dpkg-shlibdeps lintian desktop-file-validate appstreamcli

scratch=$(mktemp -d /tmp/velluma-package-XXXXXX)
pid=
cleanup() {
    [[ -n "$pid" ]] && kill -KILL "$pid" 2>/dev/null
    chmod -R u+w "$scratch" 2>/dev/null
    rm -rf "$scratch"
}
trap cleanup EXIT

# The package. gzip keeps the test quick; the package for users is compressed with xz.
if ! cpack --config "$build/CPackConfig.cmake" -B "$scratch/out" \
    -D CPACK_DEBIAN_COMPRESSION_TYPE=gzip >"$scratch/cpack.log" 2>&1; then
    cat "$scratch/cpack.log"
    echo "FAILED: cpack"
    exit 1
fi
version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$build/CPackConfig.cmake")
deb="$scratch/out/velluma_${version}_amd64.deb"
check "the package is velluma_${version}_amd64.deb" test -f "$deb"
[[ -f "$deb" ]] || end_checks "$scratch/cpack.log"

depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for want in bubblewrap libqt6core6 libqt6webenginecore6-bin qt6-qpa-plugins; do
    check "depends on $want" grep -q "\b$want\b" <<<"$depends"
done

# lintian: no errors. Its output is shown whole for the record.
lintian --tag-display-limit 0 "$deb" >"$scratch/lintian.log" 2>&1
cat "$scratch/lintian.log"
check "lintian reports no error" bash -c "! grep -q '^E: ' '$scratch/lintian.log'"

root="$scratch/root"
dpkg-deb -x "$deb" "$root"
lib="$root/usr/lib/velluma"
for path in usr/bin/velluma usr/lib/velluma/velluma usr/lib/velluma/velluma-page \
    usr/lib/velluma/ruffle/ruffle.js usr/lib/velluma/Languages/english.lng \
    usr/lib/velluma/Help/velluma.html usr/lib/velluma/links.ini \
    "usr/lib/velluma/advThemes/Aurora Veil.tvp" usr/lib/velluma/imgLists/abstract/abs0011.jpg \
    usr/lib/velluma/registry/HKEY_CLASSES_ROOT.reg usr/share/man/man1/velluma.1.gz \
    usr/share/doc/velluma/copyright usr/share/applications/example.velluma.Velluma.desktop \
    usr/share/metainfo/example.velluma.Velluma.metainfo.xml \
    usr/share/icons/hicolor/scalable/apps/example.velluma.Velluma.svg; do
    check "the package holds /$path" test -e "$root/$path"
done
for size in 16 22 24 32 48 64 128 256; do
    png="$root/usr/share/icons/hicolor/${size}x$size/apps/example.velluma.Velluma.png"
    check "icon of $size px" bash -c "file '$png' | grep -q ' $size x $size,'"
done
# The Shell extension that the program folder carries is also there for every user.
for extension in "$lib"/gnome-shell/*/metadata.json; do
    [[ -e "$extension" ]] || continue
    uuid=$(basename "$(dirname "$extension")")
    check "the GNOME Shell extension $uuid is installed for every user" \
        cmp -s "$extension" "$root/usr/share/gnome-shell/extensions/$uuid/metadata.json"
done
check "/usr/bin/velluma leads to the program file" \
    test "$(readlink "$root/usr/bin/velluma")" = ../lib/velluma/velluma
check "no settings or lists are shipped" \
    bash -c "! ls '$lib'/registry/HKEY_LOCAL_MACHINE.reg '$lib'/imgLists/*.lst 2>/dev/null"

desktop-file-validate "$root"/usr/share/applications/*.desktop >"$scratch/desktop.log" 2>&1
check "desktop-file-validate passes" test $? -eq 0
cat "$scratch/desktop.log"
appstreamcli validate-tree --no-net "$root" >"$scratch/appstream.log" 2>&1
check "appstreamcli validate-tree passes" test $? -eq 0
cat "$scratch/appstream.log"

# The command line answers without a display.
no_display=(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM)
check "--version prints the version" \
    test "$("${no_display[@]}" "$root/usr/bin/velluma" --version)" = "Velluma $version"
usage=$("${no_display[@]}" "$root/usr/bin/velluma" --help | head -1)
check "--help prints the usage" test "$usage" = "Usage: velluma [--help | --version]"

# A first run from the read-only program folder.
chmod -R a-w "$lib"
listing() { (cd "$lib" && find . -printf '%p %y %s %T@\n' | sort); }
listing >"$scratch/before.txt"
export HOME="$scratch/home" XDG_DATA_HOME="$scratch/data" XDG_CONFIG_HOME="$scratch/home/.config"
mkdir -p "$HOME"
data="$XDG_DATA_HOME/Velluma"
app=$lib
start() {
    "$root/usr/bin/velluma" >>"$scratch/out.log" 2>&1 &
    pid=$!
    sleep "$1"
}
# The start-up entry is written when the window closes: a session end that comes before the
# window is built (a slow start under a loaded machine) ends the run without one.
start 8
check "the program is running" kill -0 "$pid"
check "the data folder is laid out" test -d "$data/advThemes/WorkDir" -a -d "$data/imgLists/Recycled"
check "no settings before the end" test ! -e "$data/registry/HKEY_LOCAL_MACHINE.reg"
finish

hklm="$data/registry/HKEY_LOCAL_MACHINE.reg"
has() { grep -qF -- "$1" "$hklm"; }
check "settings written to the data folder at exit" has '"firstrun"=dword:00000001'
check "language file from the program folder" \
    has "\"LanguageFileName\"=\"$lib/Languages/english.lng\""
check "the sample themes are the user's" \
    test "$(ls "$data/advThemes"/*.tvp | wc -l)" -eq 3
check "the class keys came along" cmp -s "$data/registry/HKEY_CLASSES_ROOT.reg" \
    "$lib/registry/HKEY_CLASSES_ROOT.reg"
check "abstract.lst names the data folder's own pictures" \
    test "$(sed -n 10p "$data/imgLists/abstract.lst")" = "$data/imgLists/abstract/abs0010.jpg?1024*768"$'\r'
check "those pictures are there" cmp -s "$data/imgLists/abstract/abs0010.jpg" \
    "$lib/imgLists/abstract/abs0010.jpg"
check "corvalix.lst" test "$(cat "$data/imgLists/corvalix.lst")" = \
    "$data/imgLists/Corvalix/ilwallpap.jpg?800*600"$'\r'
autostart="$XDG_CONFIG_HOME/autostart/Velluma.desktop"
check "the start-up entry runs the command on the path" \
    grep -qxF "Exec=\"$root/usr/bin/velluma\""$'\r' "$autostart"
listing >"$scratch/after.txt"
check "nothing was written into the program folder" cmp -s "$scratch/before.txt" "$scratch/after.txt"
diff "$scratch/before.txt" "$scratch/after.txt" | head -20

# The second run finds the user's data as it was left: nothing comes back, nothing goes.
echo "mine" >"$data/imgLists/mine.lst"
rm "$data/advThemes/Dusk Tide.tvp"
start 3
finish
check "the second run keeps the user's files" test "$(cat "$data/imgLists/mine.lst")" = mine
check "a theme the user removed stays removed" test ! -e "$data/advThemes/Dusk Tide.tvp"

end_checks "$scratch/out.log"
