#!/usr/bin/env bash
# Installs a built tree into scratch DESTDIRs and checks what a user gets:
#   - exactly the expected files, with the right modes, under the prefix
#     chosen at configure time and under one given to `cmake --install`;
#   - a menu entry that desktop-file-validate accepts without a remark and
#     whose Exec names the installed launcher under that prefix;
#   - manual pages that groff and man render without a warning, and that
#     still agree with the programs' own help texts;
#   - a 128x128 PNG icon, and installed programs that run;
#   - the launcher: which folder it starts in, and what it passes on.
#
#   install_test.sh BUILD_DIR gui|headless
#
# Needs desktop-file-validate, groff and man (tools/setup.sh installs them).
set -u
build=${1:?build directory}
mode=${2:?gui or headless}
here=$(cd "$(dirname "$0")" && pwd)
. "$here/checks.sh"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

for tool in desktop-file-validate groff man gzip; do
    command -v "$tool" >/dev/null || { echo "install_test: $tool is missing (run tools/setup.sh)" >&2; exit 1; }
done

expected_files() {
    local prefix=$1
    echo "$prefix/bin/quorvex-render"
    echo "$prefix/share/man/man1/quorvex-render.1.gz"
    [ "$mode" = gui ] || return 0
    echo "$prefix/bin/quorvex"
    echo "$prefix/libexec/quorvex/quorvex-desktop"
    echo "$prefix/share/applications/quorvex.desktop"
    echo "$prefix/share/icons/hicolor/128x128/apps/quorvex.png"
    echo "$prefix/share/man/man1/quorvex.1.gz"
}

# install DESTDIR [--prefix P]: a fresh install, its log kept for failures.
install_into() {
    local dest=$1
    shift
    rm -rf "$dest"
    DESTDIR=$dest cmake --install "$build" "$@" >"$dest.log" 2>&1 || { cat "$dest.log" >&2; return 1; }
}

installed_files() {
    (cd "$1" && find . \( -type f -o -type l \) | sed 's|^\.||' | LC_ALL=C sort)
}

check_layout() {
    local dest=$1 prefix=$2
    local want got
    want=$(expected_files "$prefix" | LC_ALL=C sort)
    got=$(installed_files "$dest")
    expect_equal "files installed under $prefix" "$want" "$got"
}

check_modes() {
    local dest=$1 prefix=$2 f want
    while IFS= read -r f; do
        case $f in
        */bin/* | */libexec/*) want=755 ;;
        *) want=644 ;;
        esac
        expect_equal "mode of ${f#"$prefix"/}" "$want" "$(stat -c %a "$dest$f")"
    done < <(expected_files "$prefix")
}

configured_prefix() {
    sed -n 's/^CMAKE_INSTALL_PREFIX:[A-Z]*=//p' "$build/CMakeCache.txt"
}

# --- the tree at the configured prefix ---------------------------------------

stage=$scratch/stage
prefix=$(configured_prefix)
if install_into "$stage"; then
    check_layout "$stage" "$prefix"
else
    fail "cmake --install into DESTDIR"
fi

# --- the tree at a prefix given at install time -------------------------------

stage=$scratch/usr-stage
install_into "$stage" --prefix /usr || fail "cmake --install --prefix /usr"
check_layout "$stage" /usr
check_modes "$stage" /usr
usr=$stage/usr

render_help=$("$usr/bin/quorvex-render" --help)
expect_equal "installed quorvex-render --help exits 0" 0 $?

. "$here/man_checks.sh"
check_man_page "$usr/share/man/man1/quorvex-render.1.gz"
check_page_lists_options "$usr/share/man/man1/quorvex-render.1.gz" "$render_help"

if [ "$mode" = gui ]; then
    . "$here/desktop_checks.sh"
    explorer_help=$("$usr/bin/quorvex" x </dev/null)
    expect_equal "installed quorvex x exits 0" 0 $?
    expect_equal "installed quorvex x prints the help text" "Quorvex (V. 3.0" "$(head -n 1 <<<"$explorer_help")"
    check_man_page "$usr/share/man/man1/quorvex.1.gz"
    check_page_quotes_help "$usr/share/man/man1/quorvex.1.gz" "$explorer_help"
    check_desktop_entry "$usr/share/applications/quorvex.desktop" "$stage" /usr/libexec/quorvex/quorvex-desktop
    check_icon "$usr/share/icons/hicolor/128x128/apps/quorvex.png" 128 128

    # A prefix with blanks and shell characters: the entry must quote it.
    odd='/opt/Quorvex 3 $(x)'
    stage=$scratch/odd-stage
    install_into "$stage" --prefix "$odd" || fail "cmake --install --prefix '$odd'"
    check_layout "$stage" "$odd"
    check_desktop_entry "$stage$odd/share/applications/quorvex.desktop" "$stage" "$odd/libexec/quorvex/quorvex-desktop"

    . "$here/launcher_checks.sh"
    check_launcher "$scratch/usr-stage/usr" "$scratch/home"
fi

report
