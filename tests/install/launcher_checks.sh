# shellcheck shell=bash
# launcher_checks.sh - the menu launcher: the folder it starts the explorer
# in, and the arguments it hands on. The installed explorer is replaced by
# a stand-in that prints its working directory and arguments, one a line.
# Sourced by install_test.sh.

# run_launcher HOME_OR_- [VAR=VALUE...] -- ARGS...: the stand-in's output,
# started from $start with a bare environment ("-": HOME unset).
run_launcher() {
    local home=$1 env=(PATH=/usr/bin:/bin)
    shift
    [ "$home" = - ] || env+=("HOME=$home")
    while [ "$1" != -- ]; do env+=("$1"); shift; done
    shift
    (cd "$start" && env -i "${env[@]}" "$launcher" "$@" 2>&1)
}

fresh_home() {
    local home=$scratch_homes/$1
    mkdir -p "$home"
    echo "$home"
}

write_user_dirs() {
    mkdir -p "$1"
    printf '# written by the test\nXDG_DESKTOP_DIR="$HOME/Desktop"\nXDG_PICTURES_DIR="%s"\n' "$2" >"$1/user-dirs.dirs"
}

check_launcher_folders() {
    local h
    h=$(fresh_home plain)
    expect_equal "launcher: no pictures folder starts in home" "$h" "$(run_launcher "$h" --)"

    h=$(fresh_home pictures); mkdir "$h/Pictures"
    expect_equal "launcher: ~/Pictures when nothing is configured" "$h/Pictures" "$(run_launcher "$h" --)"

    h=$(fresh_home configured); mkdir "$h/Pictures" "$h/Bilder"
    write_user_dirs "$h/.config" '$HOME/Bilder'
    expect_equal "launcher: XDG_PICTURES_DIR wins over ~/Pictures" "$h/Bilder" "$(run_launcher "$h" --)"

    h=$(fresh_home absolute); mkdir -p "$scratch_homes/elsewhere/pics"
    write_user_dirs "$h/.config" "$scratch_homes/elsewhere/pics"
    expect_equal "launcher: an absolute XDG_PICTURES_DIR" "$scratch_homes/elsewhere/pics" "$(run_launcher "$h" --)"

    h=$(fresh_home missing); mkdir "$h/Pictures"
    write_user_dirs "$h/.config" '$HOME/Gone'
    expect_equal "launcher: a configured folder that is missing gives home" "$h" "$(run_launcher "$h" --)"

    h=$(fresh_home xdg-config); mkdir "$h/Art"
    write_user_dirs "$scratch_homes/xdg" '$HOME/Art'
    expect_equal "launcher: user-dirs.dirs under XDG_CONFIG_HOME" "$h/Art" \
        "$(run_launcher "$h" "XDG_CONFIG_HOME=$scratch_homes/xdg" --)"

    h=$(fresh_home hostile)
    write_user_dirs "$h/.config" "\$(touch $h/ran)"
    expect_equal "launcher: a command in user-dirs.dirs is not run" "$h" "$(run_launcher "$h" --)"
    expect_true "launcher: ... and left no trace" test ! -e "$h/ran"

    expect_equal "launcher: no HOME leaves the working directory" "$start" "$(run_launcher - --)"
    expect_equal "launcher: a HOME that does not exist leaves it too" "$start" \
        "$(run_launcher "$scratch_homes/none" --)"

    if [ "$(id -u)" -ne 0 ]; then
        h=$(fresh_home readonly); mkdir "$h/Pictures"; chmod a-w "$h/Pictures"
        expect_equal "launcher: a pictures folder that cannot be written is passed over" "$h" \
            "$(run_launcher "$h" --)"
        chmod u+w "$h/Pictures"
    fi
}

check_launcher_arguments() {
    local h
    h=$(fresh_home args)
    expect_equal "launcher: --all-processors runs t N, one slot per processor" \
        "$h"$'\n'"t"$'\n'"$(nproc)" "$(run_launcher "$h" -- --all-processors)"
    expect_equal "launcher: other arguments are handed on untouched" \
        "$h"$'\n'"t"$'\n'"4"$'\n'"a  b" "$(run_launcher "$h" -- t 4 'a  b')"
    expect_equal "launcher: --all-processors beside others is handed on" \
        "$h"$'\n'"--all-processors"$'\n'"x" "$(run_launcher "$h" -- --all-processors x)"
}

check_launcher() {
    local usr=$1
    scratch_homes=$2
    start=$scratch_homes/start
    mkdir -p "$start"
    printf '#!/bin/sh\npwd\nfor a in "$@"; do printf "%%s\\n" "$a"; done\n' >"$usr/bin/quorvex"
    chmod 755 "$usr/bin/quorvex"
    launcher=$usr/libexec/quorvex/quorvex-desktop
    check_launcher_folders
    check_launcher_arguments
    launcher=$scratch_homes/linked-launcher
    ln -s "$usr/libexec/quorvex/quorvex-desktop" "$launcher"
    expect_equal "launcher: reached through a symbolic link it still finds the explorer" \
        "$start" "$(run_launcher - --)"
}
