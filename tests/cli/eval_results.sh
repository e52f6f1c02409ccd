#!/bin/bash
# tavlo-cli eval: the text form of the result, nothing for Null, parameters and variables.
set -u
cli="$1"
fail=0
check() {  # expected, then the arguments
  local expected="$1"
  shift
  local actual
  actual=$("$cli" "$@" 2>&1)
  if [ "$actual" != "$expected" ]; then
    echo "FAIL: $* -> '$actual', expected '$expected'"
    fail=1
  fi
}
check "3" eval '1 2 +'
check "abcd" eval "'ab' 'cd' +"
check "2.5" eval '10 4 /'
check "" eval '1 drop'
check "True" eval '>CITY.get "Paris" =' --var CITY=Paris
check "False" eval '>city.get "Paris" =' --var CITY=London
check "ann" eval '%user' --param USER=ann
check "x" eval "'x' >v.set >v.get" --var v=y
check "5" eval 'sq= dup * ; 0 :n.set repeat :n.1+ :n.get 5 = until :n.get'
exit $fail
