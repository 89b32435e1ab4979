#!/usr/bin/env bash
# Times brushwick-scan against du and find on a synthetic home of projects and
# prints the ratios, the system calls per entry and the peak memory. The first
# ratio is the one that matters to a user: the whole scan against find and du
# doing the same search and measurement.
#
#   bench/scan_vs_du.sh [PROJECTS]        default 200 projects (about 580,000 entries)
#   bench/scan_vs_du.sh --cold [PROJECTS] the page cache dropped before every run (root)
#
# The tree goes to $BENCH_DIR, else /dev/shm when writable (a memory filesystem
# builds it in seconds, and its caches are always warm), else $TMPDIR or /tmp;
# with --cold it goes to $BENCH_DIR or /var/tmp, on disk, because a memory
# filesystem has no cache to drop. It is removed at the end. Every command runs at the same nice value, because
# brushwick-scan lowers its measuring threads to nice 10 and du and find would
# otherwise be favoured on a busy machine. Needs hyperfine, strace and GNU time;
# installs the first two with apt-get when they are missing.
set -euo pipefail
cd "$(dirname "$0")/.."

cold=0
if [[ ${1:-} == --cold ]]; then
    cold=1
    shift
    [[ $(id -u) -eq 0 ]] || { echo "--cold needs root to drop the page cache" >&2; exit 1; }
fi
projects=${1:-200}
base=${BENCH_DIR:-}
if [[ -z $base && $cold -eq 1 ]]; then
    base=/var/tmp
elif [[ -z $base ]]; then
    if [[ -d /dev/shm && -w /dev/shm ]]; then base=/dev/shm; else base=${TMPDIR:-/tmp}; fi
fi
# Cold runs start each command with nothing of the tree cached, as a scan of a
# full disk usually does; warm runs warm up once and keep the cache.
if [[ $cold -eq 1 ]]; then
    cache=(--prepare "sync; echo 3 > /proc/sys/vm/drop_caches")
else
    cache=(--warmup 1)
fi

missing=()
for tool in hyperfine strace; do
    command -v "$tool" >/dev/null 2>&1 || missing+=("$tool")
done
if [[ ${#missing[@]} -gt 0 ]]; then
    sudo=()
    [[ $(id -u) -eq 0 ]] || sudo=(sudo)
    "${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}" >/dev/null
fi

cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DBRUSHWICK_BENCH=ON >/dev/null
cmake --build build-bench -j2 --target brushwick-scan brushwick-bench >/dev/null
scan=$PWD/build-bench/src/brushwick-scan
bench=$PWD/build-bench/bench/brushwick-bench

work=$(mktemp -d "$base/brushwick-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT
home=$work/home
echo "== building $projects projects in $home ($(stat -f -c %T "$base"))"
"$bench" make-tree "$home" "$projects"
entries=$(find "$home" | wc -l)
echo "entries in the tree: $entries"

# A home of nothing but projects: HOME decides where every category looks.
export HOME=$home
unset XDG_CACHE_HOME XDG_DATA_HOME XDG_CONFIG_HOME ANDROID_HOME ANDROID_SDK_ROOT SNAP_REAL_HOME

# The entries brushwick-scan measures, for one du process given all of them.
"$scan" --json | sed -n 's/^    {"path": "\([^"]*\)".*/\1/p' >"$work/entries.txt"
echo "entries listed by brushwick-scan: $(wc -l <"$work/entries.txt")"

run() {
    nice -n 10 hyperfine "${cache[@]}" --runs "${RUNS:-5}" --export-csv "$work/$1.csv" \
        -n "$2" "$3" -n "$4" "$5" >/dev/null
    awk -F, -v a="$2" -v b="$4" 'NR == 2 { x = $2 } NR == 3 { y = $2 }
        END { printf "%-44s %8.3f s\n%-44s %8.3f s\nratio %.2f\n\n", a, x, b, y, x / y }' \
        "$work/$1.csv"
}

# The same search and measurement with find and du: every name the scan
# matched is pruned and measured, .git is pruned unsearched, as the scan does.
names=$(sed 's|.*/||' "$work/entries.txt" | sort -u | sed 's/.*/-name & -o/' | tr '\n' ' ')
find_du="find $home \\( -name .git -prune \\) -o \\( \\( ${names% -o } \\) -prune -print0 \\) | xargs -0 du -s"

echo "== searching and measuring: the whole scan against find -prune | xargs du -s"
run search "brushwick-scan --json" "$scan --json" "find -prune | xargs -0 du -s" "$find_du"
echo "== measuring: the whole scan against one du given every listed entry"
run measure "brushwick-scan --json" "$scan --json" \
    "du -s (all listed entries)" "xargs -a $work/entries.txt du -s"
echo "== one walker on one thread against du, the whole projects folder"
run walker "brushwick-bench measure code" "$bench measure $home/code" \
    "du -s code" "du -s $home/code"
echo "== listing the eight project categories (one walk) against find"
run listing "brushwick-bench list-projects" "$bench list-projects $home" \
    "find -name node_modules -prune" "find $home -name node_modules -prune"

echo "== system calls and memory"
strace -f -c -o "$work/strace.txt" "$scan" --json >/dev/null
calls=$(awk '$NF == "total" { print $4 }' "$work/strace.txt")
echo "brushwick-scan system calls: $calls for $entries entries ($(awk -v c="$calls" -v e="$entries" 'BEGIN { printf "%.2f", c / e }') per entry)"
strace -f -c -o "$work/strace-list.txt" "$bench" list-projects "$home" >/dev/null
lcalls=$(awk '$NF == "total" { print $4 }' "$work/strace-list.txt")
echo "project listing system calls: $lcalls"
rss=$(/usr/bin/time -f %M "$scan" --json 2>&1 >/dev/null | tail -1)
echo "brushwick-scan peak resident memory: $((rss / 1024)) MB"
