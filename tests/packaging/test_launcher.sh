#!/usr/bin/env bash
# Runs the launcher against packaged installations made in a temp folder: the first start copies
# the package into the user's folder and runs the program from there; an upgrade brings each file
# in by the rules of the table below; a folder that cannot be made is reported, not run.
# Usage: test_launcher.sh LAUNCHER MANIFEST-WRITER
set -uo pipefail
launcher="$1"
manifest_writer="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
failures=0
check() { # check DESCRIPTION ACTUAL EXPECTED
    if [ "$2" != "$3" ]; then
        echo "FAIL: $1: got '$2', expected '$3'"
        failures=$((failures + 1))
    fi
}

# path | first package | the user's change ("=" none, "-" deleted) | second package | after the upgrade
table='
Skellow.so                | v1 | =    | v2 | v2
Upgrade.so                | v1 | self | v2 | self
Config/Same.lua           | v1 | =    | v1 | v1
Config/UserConfig.Xml     | v1 | mine | v2 | mine
Config/AppInstall.sys     | v1 | =    | v2 | v1
Plugins/Login/Porlock.xml | v1 | mine | v2 | mine
BKLOG/2026.xml            | -  | mine | v2 | mine
Log/LOG202601.log         | -  | mine | v2 | mine
Download/pkg.zip          | -  | mine | v2 | mine
Apps/3001/main.lua        | -  | mine | v2 | mine
Plugins/New.so            | -  | =    | v2 | v2
Pictures/gone.png         | v1 | -    | v2 | v2
Pictures/old dropped.png  | v1 | =    | -  | v1
'
rows() { echo "$table" | sed '/^$/d; s/ *| */|/g'; }

# package DIR COLUMN: a packaged installation holding each row's file with that column's content.
package() {
    rm -rf "$1" && mkdir -p "$1"
    # shellcheck disable=SC2016 # expanded by the fake program when it runs
    printf '#!/bin/sh\necho "ran $(dirname "$0") $*"\n' >"$1/Quillmere" && chmod +x "$1/Quillmere"
    while IFS='|' read -r path first _ second _; do
        content="$first"
        [ "$2" = 2 ] && content="$second"
        [ "$content" = - ] && continue
        mkdir -p "$(dirname "$1/$path")" && echo "$content" >"$1/$path"
    done < <(rows)
    cmake -DROOT="$1" -P "$manifest_writer"
}

# content FILE: its text, or "-" when it is not there.
content() { if [ -f "$1" ]; then cat "$1"; else echo -; fi; }

export HOME="$work/home" XDG_DATA_HOME="$work/data" QUILLMERE_PACKAGE_DIR="$work/opt"
unset DISPLAY WAYLAND_DISPLAY
user="$work/data/quillmere"

package "$work/opt" 1
check "first start runs the user's copy" "$(bash "$launcher" --a 'b c')" "ran $user --a b c"
while IFS='|' read -r path first _; do
    check "first start: $path" "$(content "$user/$path")" "$first"
done < <(rows)
cmp -s "$work/opt/.package-files" "$user/.package-files"
check "first start records the package's file list" $? 0

while IFS='|' read -r path _ change _; do
    case "$change" in
    =) ;;
    -) rm -f "$user/$path" ;;
    *) mkdir -p "$(dirname "$user/$path")" && echo "$change" >"$user/$path" ;;
    esac
done < <(rows)
package "$work/opt" 2
check "the upgraded start runs the user's copy" "$(bash "$launcher")" "ran $user "
while IFS='|' read -r path _ _ _ after; do
    check "upgrade: $path" "$(content "$user/$path")" "$after"
done < <(rows)
cmp -s "$work/opt/.package-files" "$user/.package-files"
check "the upgrade records the new file list" $? 0

echo edited >"$user/Skellow.so"
bash "$launcher" >/dev/null
check "an unchanged package leaves the user's files alone" "$(content "$user/Skellow.so")" edited

# A folder without a recorded list (made by hand) gets what it lacks and keeps what differs.
rm "$user/.package-files" "$user/Plugins/New.so"
bash "$launcher" >/dev/null
check "no record: a missing file is added" "$(content "$user/Plugins/New.so")" v2
check "no record: a differing file is kept" "$(content "$user/Skellow.so")" edited

# Without XDG_DATA_HOME the folder is ~/.local/share/quillmere.
check "default folder" "$(env -u XDG_DATA_HOME bash "$launcher")" "ran $HOME/.local/share/quillmere "

# A folder below a plain file cannot be made, not even by root.
touch "$work/file"
message="$(XDG_DATA_HOME="$work/file/data" bash "$launcher" 2>&1)"
check "a folder that cannot be made stops the start" "$?" 1
case "$message" in
*"无法创建用户安装目录 $work/file/data/quillmere"*) ;;
*) check "a folder that cannot be made is named" "$message" "无法创建用户安装目录 …" ;;
esac

if ((failures)); then
    echo "$failures failure(s)"
    exit 1
fi
echo "launcher: all checks passed"
