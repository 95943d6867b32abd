# shellcheck shell=bash
# checks.sh - the little harness of the install tests: named checks, one
# line each, a count at the end. Sourced, not run.
#
#   expect_equal NAME WANT GOT    passes when the two texts are equal
#   expect_true NAME COMMAND...   passes when the command succeeds
#   fail NAME [DETAIL]            records a failure
#   report                        prints "N passed, N failed"; exits 0 or 1

checks_passed=0
checks_failed=0

pass() {
    checks_passed=$((checks_passed + 1))
    echo "ok: $1"
}

fail() {
    checks_failed=$((checks_failed + 1))
    echo "FAILED: $1"
    [ -z "${2:-}" ] || printf '%s\n' "$2" | sed 's/^/    /'
}

expect_equal() {
    if [ "$2" = "$3" ]; then
        pass "$1"
    else
        fail "$1" "$(diff <(printf '%s\n' "$2") <(printf '%s\n' "$3") | sed -n '2,40p')"
    fi
}

expect_true() {
    local name=$1
    shift
    if "$@"; then pass "$name"; else fail "$name"; fi
}

report() {
    echo "$checks_passed passed, $checks_failed failed"
    [ "$checks_failed" -eq 0 ]
}

quietly() {
    "$@" >/dev/null 2>&1
}
