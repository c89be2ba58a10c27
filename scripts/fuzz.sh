#!/usr/bin/env bash
# Builds the fuzz targets with clang in build-fuzz and runs each for a fixed time, one after
# the other, starting from its seeds in fuzz/corpus/<target>. Inputs that find new paths
# collect in build-fuzz/corpus/<target>; a crash, leak, hang or broken property stops that
# target and leaves its input in build-fuzz/findings/<target>/. Exits non-zero when any
# target found something.
#
#   scripts/fuzz.sh                      every target for 60 seconds
#   scripts/fuzz.sh -t 300 jpeg bmp      the named targets for 5 minutes each
#   scripts/fuzz.sh --smoke              every target for 5 seconds from its seeds alone (CI)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"

all=(ini registry list_lines bmp jpeg theme_info zip_extract language swf_header metafile)
seconds=60
smoke=0
targets=()
while [[ $# -gt 0 ]]; do
    case "$1" in
        -t) seconds="$2"; shift 2 ;;
        --smoke) smoke=1; seconds=5; shift ;;
        -h|--help) sed -n '2,12p' "$0"; exit 0 ;;
        *) targets+=("$1"); shift ;;
    esac
done
[[ ${#targets[@]} -gt 0 ]] || targets=("${all[@]}")

CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DVELLUMA_FUZZ=ON >/dev/null
cmake --build build-fuzz --target velluma_fuzzers -j2

# Pictures and packages need room; text readers find their faults in short inputs.
max_len() {
    case "$1" in
        jpeg|theme_info|zip_extract|language|metafile) echo 16384 ;;
        *) echo 4096 ;;
    esac
}

# Both archive targets take ZIP's tokens.
dict_of() {
    case "$1" in
        theme_info|zip_extract) echo zip ;;
        *) echo "$1" ;;
    esac
}

export ASAN_OPTIONS="${ASAN_OPTIONS:-abort_on_error=1:detect_leaks=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
failed=()
for t in "${targets[@]}"; do
    seeds="fuzz/corpus/$t"
    [[ -d "$seeds" ]] || { echo "No seeds for $t in $seeds" >&2; exit 2; }
    findings="build-fuzz/findings/$t"
    corpus="build-fuzz/corpus/$t"
    # The smoke run starts from the committed seeds alone, as CI does, and keeps what it
    # finds apart from the corpus of longer runs.
    if [[ $smoke -eq 1 ]]; then
        corpus="build-fuzz/smoke/$t"
        rm -rf "$corpus"
    fi
    mkdir -p "$findings" "$corpus"
    args=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len="$(max_len "$t")"
          -artifact_prefix="$findings/" -print_final_stats=1)
    dict="fuzz/dict/$(dict_of "$t").dict"
    [[ -f "$dict" ]] && args+=(-dict="$dict")
    echo "== fuzz_$t: $seconds s"
    if ! "build-fuzz/fuzz/fuzz_$t" "${args[@]}" "$corpus" "$seeds" >"build-fuzz/fuzz_$t.log" 2>&1
    then
        failed+=("$t")
        tail -n 40 "build-fuzz/fuzz_$t.log"
    fi
    grep -E 'DONE|stat::average_exec_per_sec' \
        "build-fuzz/fuzz_$t.log" || true
done
if [[ ${#failed[@]} -gt 0 ]]; then
    echo "Findings in: ${failed[*]} (inputs in build-fuzz/findings/)" >&2
    exit 1
fi
