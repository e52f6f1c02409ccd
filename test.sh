#!/usr/bin/env bash
# Sets everything up as run.sh does, builds the program and a sanitizer build of the engine,
# and runs every test with CTest. Exits non-zero on any failure.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/scripts/setup.sh"
install_missing_packages
# The engine libraries and their tests under AddressSanitizer + UndefinedBehaviorSanitizer.
configure_and_build "$ROOT/build-asan" -DCMAKE_BUILD_TYPE=Debug -DTAVLO_SANITIZE=ON \
  -DTAVLO_BUILD_APP=OFF -DTAVLO_BUILD_BENCH=OFF
# The program with its Qt tests.
configure_and_build "$ROOT/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
status=0
echo "== program tests (Qt, offscreen) =="
ctest --test-dir "$ROOT/build" --output-on-failure --no-tests=ignore -j"$(nproc)" -L gui || status=1
echo "== engine, CLI and interoperability tests (sanitizers) =="
ctest --test-dir "$ROOT/build-asan" --output-on-failure -j"$(nproc)" -LE gui || status=1
exit $status
