#!/bin/sh
# Starts the desk from this user's own installation folder, $XDG_DATA_HOME/quillmere (by default
# ~/.local/share/quillmere). The packaged installation under /opt is not writable by its users, and
# the desk keeps its configuration, statistics, downloads, logs and store applications beside the
# program, so each user runs a copy of it:
# - the first start copies the packaged installation there;
# - after the package changed (its list of files with their SHA-256 differs from the list the
#   user's folder was last brought up to date with), every packaged file the user has not changed
#   is replaced by the new one and missing ones are added. Files the user's own updates changed
#   (their hash is neither the old nor the new packaged one) are kept, unless the package is newer
#   than the version the user's folder has reached; everything that is the user's own (the
#   settings, the remembered users, the statistics, the store applications) is always kept.
# QUILLMERE_PACKAGE_DIR names another packaged installation and QUILLMERE_VERSION_READER another
# reader of program versions (for tests).
set -u

packaged="${QUILLMERE_PACKAGE_DIR:-/opt/quillmere}"
case "${XDG_DATA_HOME:-}" in
/*) data="$XDG_DATA_HOME" ;;
*) data="${HOME:?}/.local/share" ;; # a relative or empty value is to be ignored
esac
installation="$data/quillmere"
manifest=".package-files"
version_reader="${QUILLMERE_VERSION_READER:-/usr/lib/quillmere/qm-file-version}"

# fail MESSAGE: tells the user on the terminal and, where a dialog program is at hand, in a dialog
# (the desk itself cannot show it: it is the desk's folder that is missing).
fail() {
    echo "quillmere: $1" >&2
    if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
        if command -v zenity >/dev/null 2>&1; then
            zenity --error --title="税务工作台" --text="$1" >/dev/null 2>&1
        elif command -v xmessage >/dev/null 2>&1; then
            xmessage -center "$1" >/dev/null 2>&1
        fi
    fi
    exit 1
}

# is_users_own PATH: files the desk writes for its user, never replaced by a package.
is_users_own() {
    case "$1" in
    Config/UserConfig.Xml | Config/AppInstall.sys | Plugins/Login/Porlock.xml) return 0 ;;
    BKLOG/* | Log/* | Download/* | Apps/*) return 0 ;;
    esac
    return 1
}

# install_file PATH: the packaged file in place of the user's, through a temporary file beside it,
# so that an interrupted copy never leaves half a program behind.
install_file() {
    target="$installation/$1"
    if ! { mkdir -p "$(dirname "$target")" && cp -p "$packaged/$1" "$target.qm-new.$$" &&
        mv -f "$target.qm-new.$$" "$target"; } 2>/dev/null; then
        rm -f "$target.qm-new.$$"
        fail "无法更新用户安装目录 $installation 中的文件 $1，请检查磁盘空间和目录权限。"
    fi
}

# The first start: the whole packaged installation, copied to a temporary folder and renamed, so
# that a failed copy leaves no half-made installation that a later start would take for complete.
first_start() {
    mkdir -p "$data" 2>/dev/null || fail "无法创建用户安装目录 $installation：无法创建 $data，请检查磁盘空间和目录权限。"
    staging="$(mktemp -d "$data/.quillmere.XXXXXX" 2>/dev/null)" ||
        fail "无法创建用户安装目录 $installation：$data 不可写，请检查磁盘空间和目录权限。"
    if ! cp -pR "$packaged/." "$staging/" 2>/dev/null || ! mv "$staging" "$installation" 2>/dev/null; then
        rm -rf "$staging"
        fail "无法创建用户安装目录 $installation，请检查磁盘空间和目录权限。"
    fi
}

# recorded_version LIST: the package version a file list records ("" when it records none).
recorded_version() { sed -n '1s/^#version //p' "$1" 2>/dev/null; }

# version_newer A B: whether the dotted version A is above B, part by part as numbers (0.10 is
# above 0.9; a missing part counts as 0).
version_newer() {
    awk -v a="$1" -v b="$2" 'BEGIN {
        n = split(a, x, "."); m = split(b, y, "."); if (m > n) n = m
        for (i = 1; i <= n; i++) if (x[i] + 0 != y[i] + 0) exit !(x[i] + 0 > y[i] + 0)
        exit 1 }'
}

# users_version: the version the user's folder has reached: that of the package it was last brought
# up to, or the one stamped into its program when the user's own update brought a newer program;
# "" when neither is known (a folder made by hand).
users_version() {
    from_package="$(recorded_version "$installation/$manifest")"
    from_program=""
    if [ -x "$version_reader" ] && [ -f "$installation/Quillmere" ]; then
        from_program="$("$version_reader" "$installation/Quillmere" 2>/dev/null)"
    fi
    if version_newer "$from_program" "$from_package"; then
        echo "$from_program"
    else
        echo "$from_package"
    fi
}

# Brings the user's installation up to the packaged one; the recorded list is written last, so an
# interrupted run is simply repeated at the next start.
bring_up_to_date() {
    recorded="$installation/$manifest"
    [ -f "$recorded" ] || recorded=/dev/null
    # A package newer than what the user's folder has reached brings all of its files; an older or
    # equal one does not undo the user's own updates. An unknown version never loses the user's files.
    package_wins=0
    reached="$(users_version)"
    if [ -n "$reached" ] && version_newer "$(recorded_version "$packaged/$manifest")" "$reached"; then
        package_wins=1
    fi
    # One line per packaged file: its new hash, its hash in the recorded list ("-" if none) and its
    # path (sha256sum's "HASH  PATH" lines, so the path starts at column 67).
    awk '/^#/ { next }
         FILENAME == ARGV[1] { old[substr($0, 67)] = $1; next }
         { path = substr($0, 67); print $1, (path in old ? old[path] : "-"), path }' \
        "$recorded" "$packaged/$manifest" |
        while read -r new old path; do
            is_users_own "$path" && continue
            if [ -f "$installation/$path" ]; then
                current="$(sha256sum <"$installation/$path" | cut -d' ' -f1)"
                [ "$current" = "$new" ] && continue
                # Changed by the user's own update: theirs, unless the package is newer.
                [ "$current" = "$old" ] || [ "$package_wins" = 1 ] || continue
            fi
            install_file "$path"
        done || exit 1
    install_file "$manifest"
}

if [ ! -x "$packaged/Quillmere" ] || [ ! -f "$packaged/$manifest" ]; then
    fail "找不到程序安装目录 $packaged，请重新安装 quillmere。"
fi

# One launcher at a time brings a user's folder up to date; the lock is let go before the desk
# starts, which has its own single-instance rule.
lock="$data/.quillmere-launcher.lock"
if command -v flock >/dev/null 2>&1 && mkdir -p "$data" 2>/dev/null && (: >>"$lock") 2>/dev/null; then
    exec 9>>"$lock"
    flock 9
fi
if [ ! -e "$installation" ]; then
    first_start
elif [ ! -d "$installation" ] || [ ! -w "$installation" ]; then
    fail "用户安装目录 $installation 不是可写的目录，请检查目录权限。"
else
    # An update of the desk's own that was cut short is undone first, by the recovery program,
    # which needs no library of the installation; files compared below are then whole.
    if [ -d "$installation/Download/Extraction/Backup" ] && [ -x "$installation/Plugins/qm-recover" ]; then
        why="$("$installation/Plugins/qm-recover" "$installation" 2>&1)" ||
            fail "上次未完成的更新无法撤销，请重新安装 quillmere。$why"
    fi
    if ! cmp -s "$packaged/$manifest" "$installation/$manifest"; then
        bring_up_to_date
    fi
fi
exec 9>&-

exec "$installation/Quillmere" "$@"
