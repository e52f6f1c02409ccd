#!/bin/bash
# tavlo-cli report over a 1,000,000-record table with a one-row-per-record template, side by
# side with sqlite3 -html printing the same columns of the same rows (the table's SQLite twin
# from make_big_table.py). Both write to a file. Prints the best of five runs of each, their
# ratio, the peak memory of each and the output sizes.
#
# usage: bench/bench_report.sh TAVLO_CLI [RECORDS]
set -euo pipefail

cli=${1:?usage: bench_report.sh TAVLO_CLI [RECORDS]}
records=${2:-1000000}
here=$(cd "$(dirname "$0")" && pwd)
work=${TMPDIR:-/tmp}/tavlo-bench-$records
mkdir -p "$work"
if [[ ! -s $work/big.dbf || ! -s $work/big.sqlite ]]; then
  /usr/bin/python3 "$here/make_big_table.py" "$work/big.dbf" "$work/big.sqlite" --records "$records"
fi
cat > "$work/rows.drpt" <<'TEMPLATE'
<reportheader><TABLE>
</reportheader><recordheader><TR></recordheader><record><TD>[[NAME]]</TD><TD>[[CITY]]</TD><TD>[[AGE]]</TD><TD>[[SALARY]]</TD><TD>[[BORN]]</TD><TD>[[ACTIVE]]</TD></record><recordfooter></TR>
</recordfooter><reportfooter></TABLE>
</reportfooter>
TEMPLATE
query="select name, city, age, salary, born, active from t"

best() {  # best wall time in seconds of five runs of the command
  local best_time=
  for _ in 1 2 3 4 5; do
    local start end
    start=$(date +%s.%N)
    "$@"
    end=$(date +%s.%N)
    best_time=$(echo "$start $end ${best_time:-999}" | awk '{t = $2 - $1; print (t < $3 ? t : $3)}')
  done
  echo "$best_time"
}
peak() {  # peak resident memory in MiB of one run of a shell command
  /usr/bin/time -f "%M" sh -c "exec $1" 2>&1 >/dev/null | tail -1 | awk '{printf "%.0f", $1 / 1024}'
}
run_tavlo() { "$cli" report "$work/rows.drpt" "$work/big.dbf" --output "$work/tavlo.html"; }
run_sqlite() { sqlite3 -html "$work/big.sqlite" "$query" > "$work/sqlite.html"; }

tavlo=$(best run_tavlo)
sqlite=$(best run_sqlite)
tavlo_peak=$(peak "'$cli' report '$work/rows.drpt' '$work/big.dbf' --output '$work/tavlo.html'")
sqlite_peak=$(peak "sqlite3 -html '$work/big.sqlite' '$query' > '$work/sqlite.html'")
echo "records:          $records (report rows: $(grep -c '<TR>' "$work/tavlo.html"); sqlite rows: $(grep -c '<TR>' "$work/sqlite.html"))"
echo "output bytes:     tavlo $(stat -c %s "$work/tavlo.html"), sqlite $(stat -c %s "$work/sqlite.html")"
echo "tavlo report:     ${tavlo}s, peak ${tavlo_peak} MiB"
echo "sqlite3 -html:    ${sqlite}s, peak ${sqlite_peak} MiB"
awk -v a="$tavlo" -v b="$sqlite" 'BEGIN { printf "ratio:            %.2f (target: at most 1)\n", a / b }'
