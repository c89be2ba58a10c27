#!/usr/bin/env bash
# Renders the program's artwork (button images, menu and list images, tray icons,
# application icon, logo and banner) from the SVG sources in src/ui/resources/svg/
# into PNG files in src/ui/resources/, and writes src/ui/resources/resources.qrc.
#
# Every SVG carries its own pixel size; each is drawn on that pixel grid so the result
# is crisp at exactly that size. app.svg is also rendered at 256 x 256 (app256.png).
# The banner's lettering uses the "URW Gothic" font (fonts-urw-base35).
#
# The results are committed; the build never runs this script.
# Needs rsvg-convert (librsvg2-bin).
#
#   scripts/make-icons.sh           render everything
#   scripts/make-icons.sh NAME...   render only these (names without .svg)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
res=$root/src/ui/resources
src=$res/svg
RSVG=${RSVG:-rsvg-convert}

command -v "$RSVG" >/dev/null || { echo "make-icons.sh: $RSVG not found (apt-get install librsvg2-bin)" >&2; exit 1; }

render() { # render NAME [SIZE OUTNAME]
    local name=$1
    if [ $# -ge 3 ]; then
        "$RSVG" -w "$2" -h "$2" -o "$res/$3.png" "$src/$name.svg"
    else
        "$RSVG" -o "$res/$name.png" "$src/$name.svg"
    fi
}

if [ $# -gt 0 ]; then
    names=("$@")
else
    names=()
    for f in "$src"/*.svg; do names+=("$(basename "$f" .svg)"); done
fi

for n in "${names[@]}"; do
    render "$n"
    if [ "$n" = app ]; then render app 256 app256; fi
done

# Resource collection: every PNG, reachable as ":/NAME" (the file name without .png).
{
    echo '<!DOCTYPE RCC>'
    echo '<RCC version="1.0">'
    echo '    <qresource prefix="/">'
    for f in $(cd "$res" && ls -1 *.png | LC_ALL=C sort -V); do
        echo "        <file alias=\"${f%.png}\">$f</file>"
    done
    echo '    </qresource>'
    echo '</RCC>'
} > "$res/resources.qrc"
