#!/usr/bin/env bash
# The real brushwick binary as a screen reader meets it: a private X server,
# a private session bus with the accessibility bus it starts on demand, and
# atspi_reader.py, which finds Rescan by role and name and presses it through
# its action, opens a category, reads an entry and ticks it.
#
#   atspi_test.sh BRUSHWICK
set -euo pipefail
brushwick=$1
here=$(cd "$(dirname "$0")" && pwd)

source "$here/x_session.sh" atspi_test dbus-run-session /usr/libexec/at-spi-bus-launcher
/usr/bin/python3 -c 'import gi; gi.require_version("Atspi", "2.0")' ||
    { echo "atspi_test: python3-gi with gir1.2-atspi-2.0 is needed (tools/install-deps)"; exit 1; }

home=$work/home
mkdir -p "$home"/.cache/pip/http "$home"/code/web/node_modules/react "$home"/code/api/node_modules/x
head -c 3000000 /dev/zero > "$home"/.cache/pip/http/wheel
head -c 1500000 /dev/zero > "$home"/code/web/node_modules/react/index.js
head -c 700000 /dev/zero > "$home"/code/api/node_modules/x/index.js
echo '{}' > "$home"/code/web/package.json
echo '{}' > "$home"/code/api/package.json

export HOME=$home XDG_CONFIG_HOME= XDG_CACHE_HOME= XDG_DATA_HOME= LANGUAGE=en LANG=C.UTF-8
export XDG_RUNTIME_DIR=$work/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"
unset NO_AT_BRIDGE
# Inside one private session: the app, and the reader once the app is there.
dbus-run-session -- bash -c '
    "$1" >"$2/app.log" 2>&1 &
    app=$!
    /usr/bin/python3 "$3/atspi_reader.py"
    status=$?
    kill "$app" 2>/dev/null
    wait "$app" 2>/dev/null
    exit $status
' atspi "$brushwick" "$work" "$here" || { echo "atspi_test: failed; the app said:"; cat "$work/app.log"; exit 1; }
echo "atspi_test: passed"
