#!/usr/bin/env bash
# The real brushwick binary in a real X server: it opens its window titled
# "Brushwick" on a fake home, shows the toolbar and sidebar, and when the
# window manager asks it to close, it exits cleanly and saves its geometry.
#
#   window_test.sh BRUSHWICK XSHOT ARTIFACT_DIR
set -euo pipefail
brushwick=$1 xshot=$2 artifacts=$3
mkdir -p "$artifacts"

for tool in Xvfb openbox xdotool wmctrl dbus-run-session; do
    command -v "$tool" >/dev/null || { echo "window_test: $tool is not installed (tools/install-deps)"; exit 1; }
done

work=$(mktemp -d /tmp/brushwick-e2e-XXXXXX)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# A home with something to find in a few groups.
home=$work/home
mkdir -p "$home"/.cache/pip/http "$home"/.gradle/caches/modules-2 \
         "$home"/.rustup/toolchains/{1.74.0,1.79.0} "$home"/code/web/node_modules/react
head -c 3000000 /dev/zero > "$home"/.cache/pip/http/wheel
head -c 5000000 /dev/zero > "$home"/.gradle/caches/modules-2/jar
head -c 700000 /dev/zero > "$home"/code/web/node_modules/react/index.js

# A private X server on a free display, and a window manager to close through.
exec 3> "$work/display"
Xvfb -displayfd 3 -screen 0 1400x900x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do [[ -s "$work/display" ]] && break; sleep 0.1; done
export DISPLAY=":$(head -n1 "$work/display")"
openbox >"$work/openbox.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do wmctrl -m >/dev/null 2>&1 && break; sleep 0.1; done

# GTK keeps allocations for the life of the process and never frees them; in
# the AddressSanitizer build the unit tests check our own code for leaks.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"
export HOME=$home XDG_CONFIG_HOME= XDG_CACHE_HOME= XDG_DATA_HOME= LANGUAGE=en LANG=C.UTF-8
dbus-run-session -- "$brushwick" >"$work/app.log" 2>&1 &
app=$!
pids+=($app)

window=$(timeout 30 xdotool search --sync --onlyvisible --name '^Brushwick$' | head -n1) || {
    echo "window_test: no window titled Brushwick appeared"; cat "$work/app.log"; exit 1; }
echo "window_test: window $window on display $DISPLAY"

eval "$(xdotool getwindowgeometry --shell "$window")"
echo "window_test: geometry ${WIDTH}x${HEIGHT}+${X}+${Y}"
[[ $WIDTH -ge 1100 && $HEIGHT -ge 720 ]] || { echo "window_test: window smaller than 1100x720"; exit 1; }

# Points inside the window: toolbar background, sidebar background, and the
# content background in the margin right of the overview's cards. The first
# frame may still be on its way: the colours are read until they are right,
# for at most 30 s (a guard against a hang, not a measured time).
want="#FFFFFF #FFFFFF #F2F1F4"
for _ in $(seq 300); do
    colours=$("$xshot" "$artifacts/window.png" "$((X + 600)),$((Y + 4))" "$((X + 4)),$((Y + 300))" \
              "$((X + WIDTH - 16)),$((Y + 300))" | tr '\n' ' ')
    [[ ${colours% } == "$want" ]] && break
    sleep 0.1
done
echo "window_test: colours $colours"
[[ ${colours% } == "$want" ]] || { echo "window_test: toolbar, sidebar, content should be $want"; exit 1; }

# Close as a user would: through the window manager's delete request.
wmctrl -c Brushwick
for _ in $(seq 100); do kill -0 "$app" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$app" 2>/dev/null; then echo "window_test: still running 10 s after close"; exit 1; fi
wait "$app" && status=0 || status=$?
[[ $status -eq 0 ]] || { echo "window_test: exit status $status"; cat "$work/app.log"; exit 1; }

geometry=$home/.config/Brushwick/geometry.json
[[ -s $geometry ]] || { echo "window_test: $geometry was not written"; exit 1; }
grep -q '"width"' "$geometry" || { echo "window_test: $geometry has no width"; cat "$geometry"; exit 1; }
echo "window_test: geometry saved:"; cat "$geometry"
echo "window_test: passed"
