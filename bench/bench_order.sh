#!/bin/bash
# Ordering by CITY on a 1,000,000-record table, side by side in one run:
#   bench_order (order, first screen, Last) vs sqlite3 "select * from t order by city";
#   tavlo-cli dump --order CITY vs sqlite3 -csv "... order by city".
# Prints the best of three runs of each and the ratios, and bench_order's memory and find
# figures.
#
# usage: bench/bench_order.sh BUILD_DIR [RECORDS]
set -euo pipefail

build=${1:?usage: bench_order.sh BUILD_DIR [RECORDS]}
records=${2:-1000000}
here=$(cd "$(dirname "$0")" && pwd)
work=${TMPDIR:-/tmp}/tavlo-bench-$records
mkdir -p "$work"
if [[ ! -s $work/big.dbf || ! -s $work/big.sqlite ]]; then
  /usr/bin/python3 "$here/make_big_table.py" "$work/big.dbf" "$work/big.sqlite" --records "$records"
fi

best() {  # best wall time in seconds of three runs of the command
  local best_time=
  for _ in 1 2 3; do
    local start end
    start=$(date +%s.%N)
    "$@" > /dev/null
    end=$(date +%s.%N)
    best_time=$(echo "$start $end ${best_time:-999}" | awk '{t = $2 - $1; print (t < $3 ? t : $3)}')
  done
  echo "$best_time"
}

grid_total() {  # best "total" of three bench_order runs
  local best_time=999
  for _ in 1 2 3; do
    local t
    t=$("$build/bench/bench_order" "$work/big.dbf" | awk '/^total:/ {print $2}')
    best_time=$(echo "$t $best_time" | awk '{print ($1 < $2 ? $1 : $2)}')
  done
  echo "$best_time"
}

grid=$(grid_total)
sql=$(best sqlite3 "$work/big.sqlite" "select * from t order by city")
dump=$(best "$build/cli/tavlo-cli" dump "$work/big.dbf" --order CITY)
sqlcsv=$(best sqlite3 -csv "$work/big.sqlite" "select * from t order by city")
"$build/bench/bench_order" "$work/big.dbf"
echo "grid order+first screen+Last: $grid s   sqlite3 order by city: $sql s   ratio $(echo "$grid $sql" | awk '{printf "%.2f", $1 / $2}')"
echo "dump --order CITY: $dump s   sqlite3 -csv order by city: $sqlcsv s   ratio $(echo "$dump $sqlcsv" | awk '{printf "%.2f", $1 / $2}')"
