#!/usr/bin/env bash
# The Debian package, end to end: cpack builds it from a build folder whose three
# programs are built; it must declare the libraries it links as dependencies
# (each one installed here, where the programs will find them), hold the
# programs, manual pages, desktop entry, AppStream metadata and icons, install
# with dpkg -i into a scratch root, and the installed brushwick-scan must answer
# --help and measure a fake home with --json as du does, and the installed
# brushwick-clean must delete the one category asked for and nothing else.
#
#   tests/packaging/deb_test.sh BUILD_DIR
#
# Prints the package's contents (dpkg -c) and ends with a pass line; any
# failure ends it with "deb_test: FAIL: reason" and status 1.
set -euo pipefail
build=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
    echo "deb_test: FAIL: $*" >&2
    exit 1
}

(cd "$build" && cpack -G DEB -B "$work/out" >"$work/cpack.log") || {
    cat "$work/cpack.log" >&2
    fail "cpack did not build the package"
}
debs=("$work"/out/brushwick_*.deb)
[[ ${#debs[@]} -eq 1 && -f ${debs[0]} ]] || fail "expected one brushwick_*.deb, found: ${debs[*]}"
deb=${debs[0]}
echo "== $(basename "$deb"): $(stat -c %s "$deb") bytes"
dpkg-deb -c "$deb"

# --- Dependencies from the linked libraries ---
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for lib in libc6 libgtk-3-0 libstdc++6; do
    [[ $depends == *"$lib "* || $depends == *"$lib,"* || $depends == *"$lib" ]] ||
        fail "Depends does not name $lib: $depends"
done
IFS=',' read -ra clauses <<<"$depends"
for clause in "${clauses[@]}"; do
    name=$(sed -E 's/^ *([^ |(]+).*/\1/' <<<"$clause")
    [[ $(dpkg-query -W -f='${Status}' "$name" 2>/dev/null) == "install ok installed" ]] ||
        fail "dependency $name is not installed on this machine"
done

# --- Contents ---
listing=$(dpkg-deb -c "$deb" | awk '{print $6}')
expected=(
    ./usr/bin/brushwick ./usr/bin/brushwick-scan ./usr/bin/brushwick-clean
    ./usr/share/man/man1/brushwick.1.gz ./usr/share/man/man1/brushwick-scan.1.gz
    ./usr/share/man/man1/brushwick-clean.1.gz
    ./usr/share/applications/brushwick.desktop
    ./usr/share/metainfo/io.github.brushwick.Brushwick.metainfo.xml
    ./usr/share/icons/hicolor/scalable/apps/brushwick.svg
)
for size in 16 22 24 32 48 64 128 256 512; do
    expected+=("./usr/share/icons/hicolor/${size}x${size}/apps/brushwick.png")
done
for path in "${expected[@]}"; do
    grep -qxF -- "$path" <<<"$listing" || fail "the package lacks $path"
done

# --- Installed into a scratch root ---
# An empty dpkg database of its own: the dependencies were checked against
# this machine above, and the installed programs load their libraries from it.
root=$work/root
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
touch "$root/var/lib/dpkg/status" "$root/var/lib/dpkg/available"
dpkg --root="$root" --force-depends -i "$deb" >"$work/dpkg.log" 2>&1 || {
    cat "$work/dpkg.log" >&2
    fail "dpkg -i into the scratch root failed"
}
[[ $(dpkg-query --admindir="$root/var/lib/dpkg" -W -f='${Status}' brushwick) == "install ok installed" ]] ||
    fail "dpkg does not list brushwick as installed in the scratch root"
scan=$root/usr/bin/brushwick-scan
[[ -x $scan ]] || fail "no executable $scan"

"$scan" --help | grep -q '^Usage: brushwick-scan \[--json\]' || fail "--help does not print the usage"

# A fake home with an npm cache and a project's node_modules.
home=$work/home
mkdir -p "$home/.npm/_cacache/content-v2" "$home/code/app/node_modules/left-pad"
head -c 300000 /dev/zero >"$home/.npm/_cacache/content-v2/blob"
head -c 70000 /dev/zero >"$home/code/app/node_modules/left-pad/index.js"
json=$(env -i HOME="$home" PATH=/usr/bin:/bin "$scan" --json --projects "$home/code")
grep -qF "{\"home\": \"$home\", \"projects_root\": \"$home/code\"" <<<"$json" ||
    fail "the JSON does not start with the fake home: ${json:0:200}"
# The category's line holds its total; du is the independent measure.
total_of() {
    grep -oE "\"id\": \"$1\"[^]]*\"total\": [0-9-]+" <<<"$json" | grep -oE '[0-9-]+$'
}
npm_total=$(total_of npmCache)
npm_du=$(du -s --block-size=1 "$home/.npm/_cacache" | cut -f1)
[[ $npm_total == "$npm_du" ]] || fail "npm cache total $npm_total, du says $npm_du"
modules_total=$(total_of nodeModules)
modules_du=$(du -s --block-size=1 "$home/code/app/node_modules" | cut -f1)
[[ $modules_total == "$modules_du" ]] || fail "node_modules total $modules_total, du says $modules_du"

clean=$root/usr/bin/brushwick-clean
[[ -x $clean ]] || fail "no executable $clean"
env -i HOME="$home" PATH=/usr/bin:/bin "$clean" --yes --category npmCache --projects "$home/code" \
    </dev/null >"$work/clean.log" 2>&1 || {
    cat "$work/clean.log" >&2
    fail "brushwick-clean --yes --category npmCache failed"
}
[[ ! -e $home/.npm/_cacache ]] || fail "brushwick-clean left the npm cache"
[[ -f $home/code/app/node_modules/left-pad/index.js ]] || fail "brushwick-clean deleted node_modules too"

echo "deb_test: PASS (npm cache $npm_total bytes, node_modules $modules_total bytes, as du measures;" \
    "brushwick-clean deleted only the npm cache)"
