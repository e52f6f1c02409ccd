#!/usr/bin/env bash
# Builds every libFuzzer target with clang and runs each for a short campaign (20 s by default)
# from its seeds and saved crash inputs. Exits non-zero when any target crashes, leaks, hangs or
# runs out of memory; the input that did it is kept under build-fuzz/findings/<target>/.
# Usage: scripts/fuzz-ci.sh [SECONDS]
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
SECONDS_PER_TARGET=${1:-20}
BUILD=$ROOT/build-fuzz
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ "${launcher[@]}" \
  -DTAVLO_BUILD_FUZZ=ON -DTAVLO_BUILD_APP=OFF -DTAVLO_BUILD_TESTS=OFF -DTAVLO_BUILD_BENCH=OFF \
  -DTAVLO_WERROR=ON \
  >/dev/null
cmake --build "$BUILD" --target tavlo_fuzz -- -j"$(nproc)"

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
failed=()
ran=0
for source in "$ROOT"/fuzz/fuzz_*.cpp; do
  target=$(basename "$source" .cpp)
  # The campaign's corpus is a scratch copy: what it finds must not grow the checked-in seeds.
  work=$BUILD/campaigns/$target
  findings=$BUILD/findings/$target
  rm -rf "$work" && mkdir -p "$work" "$findings"
  for folder in corpus crashes; do
    [ -d "$ROOT/fuzz/$folder/$target" ] && cp -r "$ROOT/fuzz/$folder/$target/." "$work/"
  done
  options=(-max_total_time="$SECONDS_PER_TARGET" -timeout=25 -rss_limit_mb=2048
    -seed=1 -print_final_stats=0 -artifact_prefix="$findings/")
  [ "$target" = fuzz_script_compile ] && options+=(-dict="$ROOT/fuzz/corpus/fuzz_script_compile.dict")
  echo "fuzz: $target for ${SECONDS_PER_TARGET} s"
  # The target runs inside its campaign folder so that nothing it might write lands elsewhere.
  if ! (cd "$work" && "$BUILD/fuzz/$target" "${options[@]}" "$work" >"$BUILD/$target.log" 2>&1); then
    failed+=("$target")
    echo "fuzz: $target FAILED; last lines of $BUILD/$target.log:"
    tail -n 40 "$BUILD/$target.log"
  fi
  ran=$((ran + 1))
done
echo "fuzz: $((ran - ${#failed[@]})) passed, ${#failed[@]} failed"
((${#failed[@]} == 0))
