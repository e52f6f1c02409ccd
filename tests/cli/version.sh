#!/bin/bash
# The version tavlo-cli states is the one the build was made with (project(VERSION) in
# CMakeLists.txt), and asking for it needs no table. $1 is tavlo-cli.
set -u
cli="$1"
fail() { echo "FAIL: $*"; exit 1; }
[ -n "${TAVLO_PROJECT_VERSION:-}" ] || fail "TAVLO_PROJECT_VERSION is not set by the test"
out=$("$cli" --version) || fail "--version exited $?"
[ "$out" = "tavlo-cli $TAVLO_PROJECT_VERSION" ] || fail "--version printed '$out'"
"$cli" --help | grep -q -- "--version" || fail "--help does not name --version"
echo "PASS"
