#!/usr/bin/env bash
# Line and branch coverage of the engine libraries, query/, workspace/ and tavlo-cli: builds them and
# their tests with gcov instrumentation in build-coverage/, runs every test that needs no
# display (the fuzz seeds included), and prints one line per library. gcovr is installed
# when missing. Branches that only throw or that the compiler made unreachable are left out,
# so the branch figure counts the decisions the code makes. Options: --html also writes
# build-coverage/coverage/index.html, with every file's lines marked.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"
install_missing_packages
if ! command -v gcovr >/dev/null; then
  PACKAGES=(gcovr)
  install_missing_packages
fi

dir="$ROOT/build-coverage"
configure_and_build "$dir" -DCMAKE_BUILD_TYPE=Debug -DTAVLO_BUILD_APP=OFF \
  -DTAVLO_BUILD_BENCH=OFF -DCMAKE_CXX_FLAGS=--coverage -DCMAKE_EXE_LINKER_FLAGS=--coverage
find "$dir" -name '*.gcda' -delete
ctest --test-dir "$dir" -j"$(nproc)" -LE gui --output-on-failure >"$dir/ctest.log" 2>&1 ||
  echo "coverage: some tests failed (see $dir/ctest.log); the figures are of what ran" >&2

libraries="platform text value dbf xml script pagedfile words query workspace cli"
filters=()
for library in $libraries; do filters+=(--filter "$ROOT/$library/"); done
html=()
if [ "${1:-}" = "--html" ]; then
  mkdir -p "$dir/coverage"
  html=(--html-details "$dir/coverage/index.html")
fi
gcovr --root "$ROOT" "${filters[@]}" --exclude-throw-branches --exclude-unreachable-branches \
  --json-summary "$dir/coverage.json" "${html[@]}" "$dir" >/dev/null

python3 - "$dir/coverage.json" $libraries <<'PY'
import json, sys
summary = json.load(open(sys.argv[1]))
libraries = sys.argv[2:]
totals = {name: [0, 0, 0, 0] for name in libraries}
for entry in summary["files"]:
    name = next((l for l in sorted(libraries, key=len, reverse=True)
                 if entry["filename"].startswith(l + "/")), None)
    if name is None:
        continue
    t = totals[name]
    t[0] += entry["line_covered"]; t[1] += entry["line_total"]
    t[2] += entry["branch_covered"]; t[3] += entry["branch_total"]
def pct(a, b):
    return f"{100.0 * a / b:5.1f} %" if b else "    - "
print(f"{'library':<12}{'lines':>22}{'branches':>22}")
for name in libraries + ["engine"]:
    if name == "engine":
        t = [sum(totals[n][i] for n in libraries if n != "cli") for i in range(4)]
    else:
        t = totals[name]
    print(f"{name:<12}{pct(t[0], t[1])} {t[0]:>6}/{t[1]:<6}{pct(t[2], t[3])} {t[2]:>6}/{t[3]:<6}")
PY
