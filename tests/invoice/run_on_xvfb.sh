#!/bin/sh
# Runs a program on a virtual X server of its own. Xvfb picks a free display number itself
# (-displayfd), so test programs running side by side never race for one.
set -eu
work=$(mktemp -d)
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
server=$!
cleanup() {
    kill "$server" 2>/dev/null || true
    wait "$server" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

tries=0
while [ ! -s "$work/display" ]; do
    if ! kill -0 "$server" 2>/dev/null || [ "$tries" -ge 200 ]; then
        echo "the virtual X server did not start:" >&2
        cat "$work/xvfb.log" >&2
        exit 1
    fi
    tries=$((tries + 1))
    sleep 0.05
done

status=0
DISPLAY=":$(head -n 1 "$work/display")" "$@" || status=$?
exit "$status"
