# The harness of the shell tests; sourced after $work (a scratch folder) is set.
#   check <label> <command...>   counts the command as passed or failed; shows
#                                what a failed one printed
#   finish                       prints "N passed, N failed" and exits with the verdict
#   skip <why>                   reports the test as skipped (exit code 77)
failed=0 passed=0
check() {
  local label=$1; shift
  if "$@" >"$work/check.out" 2>&1; then passed=$((passed + 1)); else
    failed=$((failed + 1)); echo "FAIL: $label"; sed 's/^/    /' "$work/check.out" | head -40; fi
}
finish() { echo "$passed passed, $failed failed"; [ $failed -eq 0 ]; exit $?; }
skip() { echo "skipped: $*"; exit 77; }
