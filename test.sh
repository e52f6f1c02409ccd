#!/usr/bin/env bash
# Sets everything up as run.sh does, builds the program twice (plain, and under the
# sanitizers) and runs every test with CTest. Exits non-zero on any failure.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/scripts/setup.sh"
install_missing_packages
# Everything, the Qt program and its tests included, under AddressSanitizer +
# UndefinedBehaviorSanitizer.
configure_and_build "$ROOT/build-asan" -DCMAKE_BUILD_TYPE=Debug -DTAVLO_SANITIZE=ON -DTAVLO_WERROR=ON \
  -DTAVLO_BUILD_APP=ON -DTAVLO_BUILD_BENCH=OFF
# The program as users get it, with its Qt tests and the fuzz seeds.
configure_and_build "$ROOT/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVLO_WERROR=ON
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
# Leaks inside the system's font and display libraries are theirs, not the program's.
export LSAN_OPTIONS="suppressions=$ROOT/scripts/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
status=0
# Every fuzz target for a short campaign from its seeds (clang, libFuzzer); a crash fails the run.
echo "== fuzzing, 20 s a target =="
"$ROOT/scripts/fuzz-ci.sh" 20 || status=1
echo "== program tests (Qt, offscreen) and fuzz seeds =="
ctest --test-dir "$ROOT/build" --output-on-failure --no-tests=ignore -j"$(nproc)" \
  -L 'gui|fuzzseeds' || status=1
echo "== every test (sanitizers) =="
ctest --test-dir "$ROOT/build-asan" --output-on-failure -j"$(nproc)" || status=1
exit $status
