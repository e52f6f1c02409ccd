#!/bin/bash
# Index tags on the 10,000,000-record table: make_big_table.py --records 10000000, a copy
# without an index (the scan), and bench/make_cdx.py's structural .cdx with tags CITY and NAME
# on the original; SQLite's copy gets an index on city. Then, in one run:
#   bench_tag       first screens in tag order and column order, filtered counts in process
#   city            tavlo-cli dump --filter ">CITY.get 'Paris' =" --count, with the tag and
#                   without, vs sqlite3 "select count(*) from t where city='Paris'" (indexed)
# Each process RUNS times (default 5), interleaved; medians of wall time and the peak RSS.
#
# usage: bench/bench_tag.sh TAVLO_CLI BENCH_TAG [FOLDER] [RUNS]
set -euo pipefail

cli=${1:?usage: bench_tag.sh TAVLO_CLI BENCH_TAG [FOLDER] [RUNS]}
bench=${2:?usage: bench_tag.sh TAVLO_CLI BENCH_TAG [FOLDER] [RUNS]}
folder=${3:-/tmp/bench}
runs=${4:-5}
here=$(cd "$(dirname "$0")" && pwd)
dbf=$folder/big10.dbf
plain=$folder/big10-plain.dbf
sqlite=$folder/big10.sqlite
mkdir -p "$folder"
if [[ ! -s $dbf || ! -s $plain || ! -s $folder/big10.cdx || ! -s $sqlite ]]; then
  /usr/bin/python3 "$here/make_big_table.py" "$dbf" "$sqlite" --records 10000000
  cp "$dbf" "$plain"
  /usr/bin/python3 "$here/make_cdx.py" "$dbf" CITY NAME
  sqlite3 "$sqlite" "create index if not exists t_city on t(city)"
fi

"$bench" "$dbf" "$plain"

script=">CITY.get 'Paris' ="
sql="select count(*) from t where city='Paris'"
run() {  # label command... : wall seconds and peak RSS (MB), one line
  local out
  out=$( { /usr/bin/time -f "%e %M" "$@" > /dev/null; } 2>&1 | tail -1)
  echo "$out"
}
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
declare -A wall rss
for ((i = 0; i < runs; i++)); do
  for label in tag scan sqlite; do
    case $label in
      tag) r=$(run "$cli" dump "$dbf" --filter "$script" --count) ;;
      scan) r=$(run "$cli" dump "$plain" --filter "$script" --count) ;;
      sqlite) r=$(run sqlite3 "$sqlite" "$sql") ;;
    esac
    wall[$label]+="${r% *}"$'\n'
    rss[$label]+="${r#* }"$'\n'
  done
done
tag=$("$cli" dump "$dbf" --filter "$script" --count)
scan=$("$cli" dump "$plain" --filter "$script" --count)
lite=$(sqlite3 "$sqlite" "$sql")
if [[ $tag != "$scan" || $tag != "$lite" ]]; then
  echo "counts differ: tag $tag, scan $scan, sqlite $lite" >&2
  exit 1
fi
echo "city: $tag records"
for label in tag scan sqlite; do
  w=$(printf '%s' "${wall[$label]}" | median)
  m=$(printf '%s' "${rss[$label]}" | median)
  printf '%-7s wall %6.3f s  peak RSS %7.1f MB\n' "$label" "$w" "$(echo "$m / 1024" | bc -l)"
done
