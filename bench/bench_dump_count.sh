#!/bin/bash
# tavlo-cli dump --count over a 1,000,000-record table, side by side with sqlite3 counting
# the same rows with a one-column condition (both look at every row). Prints the best of
# five runs of each and their ratio.
#
# usage: bench/bench_dump_count.sh TAVLO_CLI [RECORDS]
set -euo pipefail

cli=${1:?usage: bench_dump_count.sh TAVLO_CLI [RECORDS]}
records=${2:-1000000}
here=$(cd "$(dirname "$0")" && pwd)
work=${TMPDIR:-/tmp}/tavlo-bench-$records
mkdir -p "$work"
if [[ ! -s $work/big.dbf || ! -s $work/big.sqlite ]]; then
  /usr/bin/python3 "$here/make_big_table.py" "$work/big.dbf" "$work/big.sqlite" --records "$records"
fi

best() {  # best wall time in seconds of five runs of the command
  local best_time=
  for _ in 1 2 3 4 5; do
    local start end
    start=$(date +%s.%N)
    "$@" > /dev/null
    end=$(date +%s.%N)
    best_time=$(echo "$start $end ${best_time:-999}" | awk '{t = $2 - $1; print (t < $3 ? t : $3)}')
  done
  echo "$best_time"
}

tavlo_count=$("$cli" dump "$work/big.dbf" --count)
sqlite_count=$(sqlite3 "$work/big.sqlite" "select count(*) from t where active=1")
tavlo=$(best "$cli" dump "$work/big.dbf" --count)
sqlite=$(best sqlite3 "$work/big.sqlite" "select count(*) from t where active=1")
echo "records:        $records (visible: $tavlo_count; sqlite active=1: $sqlite_count)"
echo "tavlo --count:  ${tavlo}s"
echo "sqlite3 count:  ${sqlite}s"
awk -v a="$tavlo" -v b="$sqlite" 'BEGIN { printf "ratio:          %.2f (target: within 2)\n", a / b }'
