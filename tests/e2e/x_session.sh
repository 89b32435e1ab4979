# Sourced by the window tests: a scratch folder, a private X server and the
# clean-up of both when the test ends.
#
#   source x_session.sh NAME TOOL...   NAME names the scratch folder and the
#                                      messages; each TOOL must be installed
# Afterwards: $work is the scratch folder, DISPLAY points at the server, and
# every pid added to the pids array is killed at exit.

x_session_name=$1
shift
for tool in Xvfb "$@"; do
    command -v "$tool" >/dev/null || [[ -x $tool ]] ||
        { echo "$x_session_name: $tool is not installed (tools/install-deps)"; exit 1; }
done

work=$(mktemp -d "/tmp/brushwick-$x_session_name-XXXXXX")
pids=()
x_session_cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap x_session_cleanup EXIT

# The server picks a free display itself and writes its number; waiting for
# it is bounded only as a guard against a hang.
exec 3> "$work/display"
Xvfb -displayfd 3 -screen 0 1400x900x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do [[ -s "$work/display" ]] && break; sleep 0.1; done
export DISPLAY=":$(head -n1 "$work/display")"

# GTK keeps allocations for the life of the process and never frees them; in
# the AddressSanitizer build the unit tests check our own code for leaks.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"
