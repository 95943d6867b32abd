# shellcheck shell=bash
# man_checks.sh - the installed manual pages: they render without a word
# from groff or man, whatis can read their NAME line, and they keep up with
# what the programs themselves print. Sourced by install_test.sh.

# Plain text, no overstriking, for comparing with program output.
render_plain() {
    zcat "$1" | groff -man -Tascii -P-cbou 2>/dev/null
}

check_man_page() {
    local page=$1 name out err
    name=$(basename "$page")
    err=$(zcat "$page" | groff -ww -man -Tutf8 2>&1 >/dev/null)
    expect_equal "groff -ww renders $name without warnings" "" "$err"
    err=$(MANWIDTH=80 man --warnings=w -l "$page" 2>&1 >/dev/null)
    expect_equal "man -l renders $name without warnings" "" "$err"
    out=$(MANWIDTH=80 man -l "$page" 2>/dev/null)
    expect_true "man -l $name shows NAME, SYNOPSIS, EXIT STATUS and EXAMPLES" \
        page_has_sections "$out" NAME SYNOPSIS DESCRIPTION "EXIT STATUS" EXAMPLES "SEE ALSO"
    expect_true "whatis can read the NAME line of $name" quietly lexgrog "$page"
}

page_has_sections() {
    local text=$1 section
    shift
    for section in "$@"; do
        grep -qx "$section" <<<"$text" || { echo "    no section $section" ; return 1; }
    done
}

# Every option the program's --help names is described in the page.
check_page_lists_options() {
    local page=$1 help=$2 text option missing=""
    text=$(render_plain "$page")
    for option in $(grep -o -- '--[a-z][a-z-]*' <<<"$help" | sort -u); do
        grep -q -- "$option" <<<"$text" || missing="$missing $option"
    done
    expect_equal "$(basename "$page") describes every option of --help" "" "$missing"
}

# The page quotes the help text exactly, line for line, blanks included.
check_page_quotes_help() {
    local page=$1 help=$2 quoted
    quoted=$(render_plain "$page" | sed -n '/^   Help text$/,/^[A-Z]/p' | sed '1d;$d' | sed 's/^ \{14\}//')
    expect_equal "$(basename "$page") quotes the help text as printed" "$help" "$quoted"
}
