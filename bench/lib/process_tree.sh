# Sourced by the benches: a program as the user pays for it is its process and everything
# it started, so CPU time and memory are summed over the whole tree.

# The process and its descendants, one pid a line.
tree_pids() {
    local p=$1 c
    echo "$p"
    for c in $(pgrep -P "$p"); do tree_pids "$c"; done
}

# CPU time used so far by the whole tree, in clock ticks.
tree_ticks() {
    local p
    for p in $(tree_pids "$1"); do awk '{print $14 + $15}' "/proc/$p/stat" 2>/dev/null; done |
        awk '{s += $1} END {print s + 0}'
}

# One line per process of the tree: "pid PSS RSS anonymous", in KiB.
process_memory() {
    local p
    for p in $(tree_pids "$1"); do
        awk -v pid="$p" '/^Pss:/ {p = $2} /^Rss:/ {r = $2} /^Anonymous:/ {a = $2}
             END {print pid, p + 0, r + 0, a + 0}' "/proc/$p/smaps_rollup" 2>/dev/null
    done
}

# "PSS RSS anonymous" in KiB, summed over the tree.
tree_memory() {
    process_memory "$1" | awk '{p += $2; r += $3; a += $4} END {print p + 0, r + 0, a + 0}'
}

# The start page that the theme.cfg on standard input names, as a path below its folder.
start_page() {
    grep -m1 -i '^startup=' | tr -d '\r' | sed 's/^startup=\\//; s/\\/\//g'
}
