#!/bin/sh
# Installer of the store application 3001 "税务便签": unpacks the application into Apps/3001 of
# the installation (the folder above the Download folder it runs from), registers it in
# Config/AppInstall.sys and exits. The application's files follow the payload line as a base64
# tar archive.
set -e
top="$(cd "$(dirname "$0")/.." && pwd)"
target="$top/Apps/3001"
mkdir -p "$target" "$top/Config"
sed '1,/^__PAYLOAD__$/d' "$0" | base64 -d | tar -xzf - -C "$target"
registry="$top/Config/AppInstall.sys"
if ! grep -qi '^\[3001\]' "$registry" 2>/dev/null; then
    printf '[3001]\r\npath=Apps\\3001\r\n' >>"$registry"
fi
exit 0
__PAYLOAD__
