#!/bin/bash
# Starts the desk of a copy of the installation TEMPLATE on the X server in DISPLAY, with Qt's
# accessibility on and the session's accessibility bus, and runs the AT-SPI reader against it.
# Run inside a D-Bus session of its own (dbus-run-session) on a virtual X server.
# Usage: run_atspi.sh TEMPLATE HOST_PROGRAM PYTHON READER [--dump]
set -euo pipefail
template=$1 host=$2 python=$3 reader=$4
shift 4
work=$(mktemp -d)
desk=
cleanup() {
    if [ -n "$desk" ]; then
        kill "$desk" 2>/dev/null || true
        wait "$desk" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

cp -r "$template" "$work/desk"
cp "$host" "$work/desk/Quillmere"
# A title of its own: the single-instance lock is keyed by the title.
sed -i "s|<app_title>[^<]*</app_title>|<app_title>Quillmere atspi $$</app_title>|" "$work/desk/Config/SysConfig.Xml"

export QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 NO_AT_BRIDGE=0
export HOME="$work" XDG_CACHE_HOME="$work/cache" XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$work/runtime"
"$work/desk/Quillmere" >"$work/desk.log" 2>&1 &
desk=$!
status=0
"$python" "$reader" "$desk" "$@" || status=$?
if [ "$status" -ne 0 ]; then
    echo "--- the desk's output" >&2
    cat "$work/desk.log" >&2
fi
exit "$status"
