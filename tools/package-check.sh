#!/usr/bin/env bash
# Builds the Debian package from a clean copy of the committed tree, then
# installs it on this machine with dpkg, runs both programs from it, and
# removes it again, checking that nothing is left behind.
#
# It changes the system (the package "quorvex" is installed and removed,
# as root or through sudo), so tools/test.sh does not run it; CI runs it
# after the tests on its throwaway machine. It refuses to start when a
# quorvex package is already installed, so it never replaces yours.
#
#   bash tools/package-check.sh          keeps nothing; exit 0 when all passed
#   QUORVEX_KEEP_DEB=DIR bash tools/package-check.sh   also copies the .deb to DIR
#   QUORVEX_PACKAGE_TREE=build bash tools/package-check.sh
#       packages the default tree tools/build.sh made instead of building a
#       clean copy again (CI: its checkout is a fresh clone, and the tests
#       built that tree from it a moment before). Refused unless the
#       checkout has no changes at all and the tree was configured from it
#       as tools/build.sh does; the same flags make the same programs.
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1
root=$(pwd)
. tests/install/checks.sh
bash tools/setup.sh || exit 1

as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)

package_status() {
    dpkg-query -W -f='${db:Status-Status}' quorvex 2>/dev/null || echo not-installed
}

if [ "$(package_status)" != not-installed ]; then
    echo "package-check: a quorvex package is already installed ($(package_status)); remove it first (dpkg -r quorvex)" >&2
    exit 1
fi

work=$(mktemp -d)
installed_by_us=0
cleanup() {
    if [ "$installed_by_us" = 1 ] && [ "$(package_status)" != not-installed ]; then
        "${as_root[@]}" dpkg -r quorvex >/dev/null 2>&1
    fi
    rm -rf "$work"
}
trap cleanup EXIT

# What the package must hold, and the libraries it must ask for.
expected_contents() {
    printf '%s\n' /usr/bin/quorvex /usr/bin/quorvex-render \
        /usr/libexec/quorvex/quorvex-desktop \
        /usr/share/applications/quorvex.desktop \
        /usr/share/icons/hicolor/128x128/apps/quorvex.png \
        /usr/share/man/man1/quorvex-render.1.gz /usr/share/man/man1/quorvex.1.gz
}
required_libraries=(libglut libglu1 'libopengl0|libgl1' libpng16 libmpfr6)

# --- build from a clean tree ----------------------------------------------------

copy_clean_tree() {
    mkdir -p "$work/src"
    if git -C "$root" rev-parse --verify -q HEAD >/dev/null; then
        echo "== packaging the committed tree, $(git -C "$root" log -1 --format='%h %s' | cut -c1-70)"
        git -C "$root" archive HEAD | tar -x -C "$work/src"
    else
        echo "== packaging $root (not a git checkout)"
        tar -C "$root" --exclude='./build*' --exclude=./.git -c . | tar -x -C "$work/src"
    fi
}

# The tree named by QUORVEX_PACKAGE_TREE, when it is this clean checkout's
# default tree; else a reason on standard error.
built_tree_is_clean() {
    local tree=$1 cache=$1/CMakeCache.txt reason=
    if [ -n "$(git -C "$root" status --porcelain --untracked-files=all 2>&1)" ]; then
        reason="the checkout has changes; $tree is not the committed tree"
    elif ! grep -qxF "CMAKE_HOME_DIRECTORY:INTERNAL=$root" "$cache" 2>/dev/null; then
        reason="$tree is not a tree configured from $root"
    elif ! grep -qxF "CMAKE_BUILD_TYPE:STRING=RelWithDebInfo" "$cache" ||
        ! grep -qxF "QUORVEX_WERROR:BOOL=ON" "$cache"; then
        reason="$tree was not configured as tools/build.sh does"
    fi
    [ -z "$reason" ] && return 0
    echo "package-check: $reason" | tee "$work/tree.log" >&2
    return 1
}

package_built_tree() {
    local tree
    if ! tree=$(cd "$root" && cd "$QUORVEX_PACKAGE_TREE" 2>/dev/null && pwd); then
        echo "package-check: there is no tree $QUORVEX_PACKAGE_TREE" | tee "$work/tree.log" >&2
        return 1
    fi
    built_tree_is_clean "$tree" || return 1
    echo "== packaging the built tree $tree, $(git -C "$root" log -1 --format='%h %s' | cut -c1-60)"
    mkdir -p "$work/build" &&
        cmake --build "$tree" -j"$(nproc)" >"$work/build.log" 2>&1 &&
        cpack -G DEB -B "$work/build" --config "$tree/CPackConfig.cmake" >"$work/cpack.log" 2>&1
}

build_package() {
    if [ -n "${QUORVEX_PACKAGE_TREE:-}" ]; then
        package_built_tree
        return
    fi
    copy_clean_tree &&
        cmake -S "$work/src" -B "$work/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVEX_WERROR=ON \
            -DQUORVEX_TESTS=OFF -DQUORVEX_BENCH=OFF >"$work/configure.log" 2>&1 &&
        cmake --build "$work/build" -j"$(nproc)" >"$work/build.log" 2>&1 &&
        (cd "$work/build" && cpack -G DEB >"$work/cpack.log" 2>&1)
}

if ! build_package; then
    fail "the package builds from a clean tree" "$(tail -n 30 "$work"/*.log)"
    report
    exit 1
fi
debs=("$work"/build/quorvex_*.deb)
expect_equal "one package file was built" 1 "${#debs[@]}"
deb=${debs[0]}
pass "the package builds from a clean tree: $(basename "$deb")"
[ -z "${QUORVEX_KEEP_DEB:-}" ] || cp "$deb" "$QUORVEX_KEEP_DEB"/

# --- what the package says and holds --------------------------------------------

info=$(dpkg-deb --info "$deb")
echo "$info" | sed -n 's/^ \(Package\|Version\|Architecture\|Depends\):/    \1:/p'
depends=$(dpkg-deb --field "$deb" Depends)
for lib in "${required_libraries[@]}"; do
    expect_true "dpkg-deb --info lists a dependency on $lib" grep -qE "(^|, |\| )($lib)" <<<"$depends"
done
expect_equal "the package is quorvex 3.0-1" "quorvex 3.0-1" \
    "$(dpkg-deb --field "$deb" Package) $(dpkg-deb --field "$deb" Version)"
expect_equal "the package holds exactly the programs, pages, entry, launcher and icon" \
    "$(expected_contents | LC_ALL=C sort)" \
    "$(dpkg-deb --contents "$deb" | awk '$1 !~ /^d/ {print $NF}' | sed 's|^\.||' | LC_ALL=C sort)"

# Every dependency can be had from the archive this machine uses.
if ! compgen -G '/var/lib/apt/lists/*_Packages*' >/dev/null; then
    "${as_root[@]}" apt-get update -qq
fi
expect_true "apt can satisfy the package's dependencies" \
    quietly "${as_root[@]}" apt-get install -s "$deb"

# --- install, use, remove --------------------------------------------------------

if "${as_root[@]}" dpkg -i "$deb" >"$work/dpkg-i.log" 2>&1; then
    installed_by_us=1
    pass "dpkg -i installs the package"
else
    fail "dpkg -i installs the package" "$(cat "$work/dpkg-i.log")"
    report
    exit 1
fi
files=$(dpkg -L quorvex)

expect_equal "quorvex-render is found on PATH" /usr/bin/quorvex-render "$(command -v quorvex-render)"
expect_true "quorvex-render --help exits 0" quietly quorvex-render --help
expect_true "quorvex-render writes a picture" quietly quorvex-render --size 64x64 "$work/check.png"
help=$(quorvex x </dev/null)
expect_equal "quorvex x exits 0" 0 $?
expect_equal "quorvex x prints the help text" "Quorvex (V. 3.0" "$(head -n 1 <<<"$help")"
expect_true "quorvex x names both commands" grep -q 'Involked by the command: quorvex t N' <<<"$help"
expect_true "desktop-file-validate accepts the installed entry" \
    desktop-file-validate /usr/share/applications/quorvex.desktop
expect_true "the entry's launcher is installed" test -x /usr/libexec/quorvex/quorvex-desktop
expect_true "dpkg -V finds the installed files intact" "${as_root[@]}" dpkg -V quorvex
expect_true "man finds both pages" quietly man -w quorvex quorvex-render

if "${as_root[@]}" dpkg -r quorvex >"$work/dpkg-r.log" 2>&1; then
    installed_by_us=0
    pass "dpkg -r removes the package"
else
    fail "dpkg -r removes the package" "$(cat "$work/dpkg-r.log")"
fi
expect_equal "nothing of the package stays registered" not-installed "$(package_status)"
left=$(while IFS= read -r f; do [ -f "$f" ] || [ -L "$f" ] && echo "$f"; done <<<"$files")
expect_equal "no file of the package is left behind" "" "$left"
expect_true "the launcher's folder is gone" test ! -e /usr/libexec/quorvex

report
