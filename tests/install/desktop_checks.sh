# shellcheck shell=bash
# desktop_checks.sh - the menu entry and its icon. Sourced by
# install_test.sh.

entry_value() {
    sed -n "/^\[Desktop Entry\]/,/^\[/s/^$2=//p" "$1" | head -n 1
}

action_exec() {
    sed -n "/^\[Desktop Action $2\]/,/^\[/s/^Exec=//p" "$1" | head -n 1
}

# Undoes the desktop-entry string escape, then splits off the first
# argument of an Exec value by its quoting rules; prints the argument, a
# newline, and the rest of the command line.
exec_first_argument() {
    local value=$1 out="" c i=0 quoted=0
    value=${value//\\\\/\\}
    if [ "${value:0:1}" = '"' ]; then quoted=1; i=1; fi
    while [ "$i" -lt "${#value}" ]; do
        c=${value:i:1}
        if [ "$quoted" = 1 ] && [ "$c" = '\' ]; then
            i=$((i + 1)); out="$out${value:i:1}"
        elif [ "$quoted" = 1 ] && [ "$c" = '"' ]; then
            i=$((i + 1)); break
        elif [ "$quoted" = 0 ] && [ "$c" = ' ' ]; then
            break
        else
            out="$out$c"
        fi
        i=$((i + 1))
    done
    printf '%s\n%s\n' "${out//%%/%}" "${value:i}"
}

check_desktop_entry() {
    local entry=$1 stage=$2 launcher=$3 out
    out=$(desktop-file-validate "$entry" 2>&1)
    expect_equal "desktop-file-validate accepts the entry without a remark" "status 0: " "status $?: $out"
    expect_equal "the entry runs the launcher" "$launcher" \
        "$(exec_first_argument "$(entry_value "$entry" Exec)")"
    expect_equal "the entry's second action runs the launcher on every processor" \
        "$launcher"$'\n'" --all-processors" "$(exec_first_argument "$(action_exec "$entry" all-processors)")"
    expect_equal "TryExec names the launcher" "$launcher" "$(entry_value "$entry" TryExec | sed 's/\\\\/\\/g')"
    expect_true "the launcher is installed there and executable" test -x "$stage$launcher"
    expect_equal "the entry's icon is the installed one" quorvex "$(entry_value "$entry" Icon)"
}

# A PNG of the given size: the signature, then IHDR's big-endian sizes.
check_icon() {
    local png=$1 width=$2 height=$3 bytes
    expect_equal "the icon is a PNG" "137 80 78 71 13 10 26 10" "$(od -An -tu1 -N8 "$png" | xargs)"
    read -r -a bytes < <(od -An -tu1 -j16 -N8 "$png")
    expect_equal "the icon is ${width}x${height}" "$width $height" \
        "$(((bytes[0] << 24) + (bytes[1] << 16) + (bytes[2] << 8) + bytes[3])) $(((bytes[4] << 24) + (bytes[5] << 16) + (bytes[6] << 8) + bytes[7]))"
}
