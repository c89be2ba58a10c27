#!/usr/bin/env bash
# Installs from Debian's packages whatever the build, the program and the tests need and
# the machine lacks. Safe to run every time.
set -euo pipefail

packages=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev qt6-base-dev-tools libgl-dev
    libzip-dev zlib1g-dev libjpeg-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    xvfb xauth x11-xserver-utils fonts-dejavu-core xdotool trayer clang clang-tidy libclang-rt-14-dev
    dbus-daemon dbus-bin libglib2.0-dev libxcb1-dev gsettings-desktop-schemas cinnamon-desktop-data mate-desktop-common xfconf qt6-declarative-dev
    qt6-webengine-dev libqt6webenginecore6-bin openbox x11-utils x11-apps wmctrl unzip
    bubblewrap
    python3-dbus python3-gi
    gnome-shell xwayland qt6-wayland libglib2.0-bin gjs
    librsvg2-bin dpkg-dev fakeroot lintian desktop-file-utils appstream file
)

missing=()
# The Flash player of the live pages comes from npm at build time; any Node.js with npm will
# do, Debian's included.
command -v npm >/dev/null || missing+=(npm)
for p in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
    [[ "$status" == "install ok installed" ]] || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "Installing: ${missing[*]}"
sudo_cmd=()
[[ $(id -u) -eq 0 ]] || sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
