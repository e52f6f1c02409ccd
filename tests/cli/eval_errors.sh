#!/bin/bash
# tavlo-cli eval and run: compile and run errors go to stderr with exit code 1, bad
# options are usage errors with exit code 2.
set -u
cli="$1"
fail=0
expect() {  # code, stderr text, then the arguments
  local code="$1" message="$2"
  shift 2
  local out err rc
  err=$("$cli" "$@" 2>&1 >/dev/null)
  rc=$?
  out=$("$cli" "$@" 2>/dev/null)
  if [ $rc -ne "$code" ] || [ -n "$out" ] || [[ "$err" != *"$message"* ]]; then
    echo "FAIL: $* -> rc=$rc stdout='$out' stderr='$err'"
    fail=1
  fi
}
expect 1 'tavlo-cli: undefined word "foo" near 1' eval 'foo 1'
expect 1 'tavlo-cli: stack underflow' eval '1 +'
expect 1 'tavlo-cli: Variable CITY not defined' eval '>CITY.get'
expect 1 'tavlo-cli: Script timed out after 0 seconds' eval 'repeat false until' --timeout 0
expect 1 'tavlo-cli: Floating point division by zero' eval '1 0 /'
# A nested script ends with the run that started it, not after a limit of its own.
expect 1 'tavlo-cli: Script timed out after 1 seconds' eval '[ repeat false until ] set.do' --timeout 1
expect 1 'tavlo-cli: Can not find include file: nowhere-to-be-found.qel' eval '$$nowhere-to-be-found;'
expect 1 'tavlo-cli: missing endif for if near if 2' eval '1 if 2'
expect 1 'tavlo-cli: Cannot open file /nonexistent/x.qel' run /nonexistent/x.qel
expect 2 'missing script' eval
expect 2 'unknown option --bogus' eval '1' --bogus 1
expect 2 '--var expects name=value' eval '1' --var novalue
expect 2 '--timeout expects a number' eval '1' --timeout soon
# ask on a terminal or pipe that never answers ends with the time limit, not after it.
scratch=$(mktemp -d)
mkfifo "$scratch/in"
sleep 20 >"$scratch/in" &
holder=$!
started=$(date +%s)
err=$("$cli" eval "'name?' ask" --timeout 1 <"$scratch/in" 2>&1 >/dev/null)
rc=$?
took=$(($(date +%s) - started))
kill "$holder" 2>/dev/null
wait "$holder" 2>/dev/null
rm -rf "$scratch"
if [ $rc -ne 1 ] || [[ "$err" != *"Script timed out after 1 seconds"* ]] || [ "$took" -gt 5 ]; then
  echo "FAIL: ask on a silent pipe -> rc=$rc took=${took}s stderr='$err'"
  fail=1
fi
# A list of half a million items is counted at once (this took 13 s and then printed a
# result past its one-second limit).
started=$(date +%s)
out=$("$cli" eval "'a b ' 0 repeat swap dup + swap 1 + dup 18 = until drop set.count" --timeout 5)
took=$(($(date +%s) - started))
if [ "$out" != "524288" ] || [ "$took" -gt 5 ]; then
  echo "FAIL: set.count of a long list -> '$out' in ${took}s"
  fail=1
fi
# An answered ask is read as before.
out=$(echo "Ann" | "$cli" eval "'name?' ask" --timeout 5)
[ "$out" = "Ann" ] || { echo "FAIL: ask with an answer -> '$out'"; fail=1; }
exit $fail
