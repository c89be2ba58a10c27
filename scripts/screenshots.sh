#!/usr/bin/env bash
# Pictures of every page and of the About window in every shipped language, at the window's
# fixed size, on an X display with a window manager: for looking at texts by eye.
#   scripts/screenshots.sh <folder for the pictures> [build folder, default build-test]
# Needs the ui tests built (cmake --build <build folder> --target velluma_ui_tests).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
out=$(mkdir -p "${1:?usage: screenshots.sh <folder> [build folder]}" && cd "$1" && pwd)
build=${2:-$top/build-test}
tests="$build/tests/velluma_ui_tests"
[[ -x "$tests" ]] || { echo "no $tests: build velluma_ui_tests first"; exit 1; }

export ASAN_OPTIONS="detect_leaks=0" VELLUMA_SCREENSHOTS="$out" QT_QPA_PLATFORM=xcb
xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
    openbox >/dev/null 2>&1 &
    wm=$!
    sleep 1
    "$0" --gtest_filter="Shipped/ShippedLanguageTest.NoTextIsCut*"
    status=$?
    kill "$wm"
    exit $status' "$tests"
echo "pictures in $out"
