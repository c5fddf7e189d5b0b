#!/usr/bin/env bash
# Runs the launcher against packaged installations made in a temp folder: the first start copies
# the package into the user's folder and runs the program from there; an upgrade brings each file
# in by the rules of the table below, which depend on whether the new package is newer than the
# version the user's folder has reached (by its last package, or by the user's own update of the
# program); a folder that cannot be made is reported, not run.
# An update whose placement was killed half-way is undone before the program starts.
# Usage: test_launcher.sh LAUNCHER MANIFEST-WRITER VERSION-READER FAKE-DESK OBJCOPY RECOVER PLACE-UNTIL
set -uo pipefail
launcher="$1"
manifest_writer="$2"
reader="$3"
fake_desk="$4"
objcopy="$5"
recover="$6"
place_until="$7"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
failures=0
check() { # check DESCRIPTION ACTUAL EXPECTED
    if [ "$2" != "$3" ]; then
        echo "FAIL: $1: got '$2', expected '$3'"
        failures=$((failures + 1))
    fi
}

# path | first package | the user's change ("=" none, "-" deleted) | second package |
# after an upgrade to a package not newer than the user's folder | after one to a newer package
table='
Skellow.so                | v1 | =    | v2 | v2   | v2
Upgrade.so                | v1 | self | v2 | self | v2
Config/Same.lua           | v1 | =    | v1 | v1   | v1
Config/Tweaked.lua        | v1 | self | v1 | self | v1
Config/UserConfig.Xml     | v1 | mine | v2 | mine | mine
Config/AppInstall.sys     | v1 | =    | v2 | v1   | v1
Plugins/Login/Porlock.xml | v1 | mine | v2 | mine | mine
BKLOG/2026.xml            | -  | mine | v2 | mine | mine
Log/LOG202601.log         | -  | mine | v2 | mine | mine
Download/pkg.zip          | -  | mine | v2 | mine | mine
Apps/3001/main.lua        | -  | mine | v2 | mine | mine
Plugins/New.so            | -  | =    | v2 | v2   | v2
Plugins/Own.so            | -  | self | v2 | self | v2
Pictures/gone.png         | v1 | -    | v2 | v2   | v2
Pictures/old dropped.png  | v1 | =    | -  | v1   | v1
'
rows() { echo "$table" | sed '/^$/d; s/ *| */|/g'; }

# The upgrades: name | first package's version | the version of the program the user's own update
# brought ("-": the update left the program alone) | second package's version | the column above.
# The versions compare as numbers part by part: 0.10 is above 0.9.
scenarios='
older package than the update | 0.8.0.0 | 0.10.0.0 | 0.9.0.0  | kept
package equal to the update   | 0.8.0.0 | 0.9.0.0  | 0.9.0.0  | kept
newer package than the update | 0.8.0.0 | 0.9.0.0  | 0.10.0.0 | wins
newer package than plain edits| 0.8.0.0 | -        | 0.9.0.0  | wins
'

# stamped_desk FILE VERSION: the stand-in desk, carrying VERSION where our programs carry theirs
# (no version at all for "-").
stamped_desk() {
    if [ "$2" = - ]; then
        cp "$fake_desk" "$1"
    else
        printf '%s\0' "$2" >"$work/stamp"
        "$objcopy" --add-section .qm_version="$work/stamp" --set-section-flags .qm_version=readonly \
            "$fake_desk" "$1"
    fi
}

# package DIR COLUMN VERSION: a packaged installation of that version holding each row's file with
# that column's content.
package() {
    rm -rf "$1" && mkdir -p "$1"
    stamped_desk "$1/Quillmere" "$3"
    while IFS='|' read -r path first _ second _; do
        content="$first"
        [ "$2" = 2 ] && content="$second"
        [ "$content" = - ] && continue
        mkdir -p "$(dirname "$1/$path")" && echo "$content" >"$1/$path"
    done < <(rows)
    cmake -DROOT="$1" -DVERSION="$3" -P "$manifest_writer"
}

# content FILE: its text, or "-" when it is not there.
content() { if [ -f "$1" ]; then cat "$1"; else echo -; fi; }

export HOME="$work/home" XDG_DATA_HOME="$work/data" QUILLMERE_PACKAGE_DIR="$work/opt"
export QUILLMERE_VERSION_READER="$reader"
unset DISPLAY WAYLAND_DISPLAY
user="$work/data/quillmere"

while IFS='|' read -r scenario first_version update_version second_version column; do
    rm -rf "$work/data" "$work/home"
    package "$work/opt" 1 "$first_version"
    check "$scenario: first start runs the user's copy" "$(bash "$launcher" --a 'b c')" "ran $user --a b c"
    while IFS='|' read -r path first _; do
        check "$scenario: first start: $path" "$(content "$user/$path")" "$first"
    done < <(rows)
    cmp -s "$work/opt/.package-files" "$user/.package-files"
    check "$scenario: first start records the package's file list" $? 0

    while IFS='|' read -r path _ change _; do
        case "$change" in
        =) ;;
        -) rm -f "$user/$path" ;;
        *) mkdir -p "$(dirname "$user/$path")" && echo "$change" >"$user/$path" ;;
        esac
    done < <(rows)
    [ "$update_version" = - ] || stamped_desk "$user/Quillmere" "$update_version"
    package "$work/opt" 2 "$second_version"
    check "$scenario: the upgraded start runs the user's copy" "$(bash "$launcher")" "ran $user "
    while IFS='|' read -r path _ _ _ kept wins; do
        expected="$kept"
        [ "$column" = wins ] && expected="$wins"
        check "$scenario: upgrade: $path" "$(content "$user/$path")" "$expected"
    done < <(rows)
    program="$second_version"
    [ "$column" = kept ] && program="$update_version"
    check "$scenario: the program after the upgrade" "$("$reader" "$user/Quillmere")" "$program"
    cmp -s "$work/opt/.package-files" "$user/.package-files"
    check "$scenario: the upgrade records the new file list" $? 0
done < <(echo "$scenarios" | sed '/^$/d; s/ *| */|/g')

echo edited >"$user/Skellow.so"
bash "$launcher" >/dev/null
check "an unchanged package leaves the user's files alone" "$(content "$user/Skellow.so")" edited

# A folder without a recorded list and whose program carries no version (made by hand) gets what
# it lacks and keeps what differs, since nothing says the package is newer.
rm "$user/.package-files" "$user/Plugins/New.so"
stamped_desk "$user/Quillmere" -
bash "$launcher" >/dev/null
check "no record: a missing file is added" "$(content "$user/Plugins/New.so")" v2
check "no record: a differing file is kept" "$(content "$user/Skellow.so")" edited

# An update killed before its first move, and after two (the recovery program then stands in the
# program's place): the launcher has it undone before it starts the program.
mkdir -p "$user/Plugins"
cp "$recover" "$user/Plugins/qm-recover"
for moves in 0 2; do
    mkdir -p "$user/Download/Extraction/Staging"
    echo staged >"$user/Download/Extraction/Staging/Skellow.so"
    cp "$user/Quillmere" "$user/Download/Extraction/Staging/Quillmere"
    coproc placing { exec "$place_until" "$user" "$moves" "$user/Plugins/qm-recover"; }
    read -r -u "${placing[0]}" said
    kill -9 "$placing_PID"
    wait "$placing_PID" 2>/dev/null
    check "killed after $moves moves: the placement stopped" "$said" stopped
    check "killed after $moves moves: the start runs the program" "$(bash "$launcher")" "ran $user "
    check "killed after $moves moves: the old file is there" "$(content "$user/Skellow.so")" edited
    check "killed after $moves moves: nothing is left to undo" \
        "$(content "$user/Download/Extraction/Backup/journal")" -
done

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
