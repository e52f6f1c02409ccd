#!/bin/bash
# The record filter against its yardsticks, whole processes over a 1,000,000-record table:
#   A  tavlo-cli dump big.dbf --filter ">CITY.get 'Paris' =" --count
#   B  sqlite3 big.sqlite "select count(*) from t where city='Paris'"
#   C  bench_filter_lua big.dbf "return get('CITY') == 'Paris'"  (Lua 5.4, same records)
# Runs the three interleaved, RUNS times each (default 11), checks that they count the same
# records and prints the medians of wall and CPU time and the ratios A/B and A/C.
#
# usage: bench/bench_filter.sh TAVLO_CLI BENCH_FILTER_LUA [TABLE.dbf TABLE.sqlite] [RUNS]
set -euo pipefail

cli=${1:?usage: bench_filter.sh TAVLO_CLI BENCH_FILTER_LUA [TABLE.dbf TABLE.sqlite] [RUNS]}
lua=${2:?usage: bench_filter.sh TAVLO_CLI BENCH_FILTER_LUA [TABLE.dbf TABLE.sqlite] [RUNS]}
dbf=${3:-/tmp/big.dbf}
sqlite=${4:-/tmp/big.sqlite}
runs=${5:-11}
here=$(cd "$(dirname "$0")" && pwd)
if [[ ! -s $dbf || ! -s $sqlite ]]; then
  /usr/bin/python3 "$here/make_big_table.py" "$dbf" "$sqlite"
fi

count_a=$("$cli" dump "$dbf" --filter ">CITY.get 'Paris' =" --count)
count_b=$(sqlite3 "$sqlite" "select count(*) from t where city='Paris'")
count_c=$("$lua" "$dbf" "return get('CITY') == 'Paris'")
if [[ $count_a != "$count_b" || $count_a != "$count_c" ]]; then
  echo "counts differ: tavlo $count_a, sqlite $count_b, lua $count_c" >&2
  exit 1
fi

# One run of the command: "WALL CPU" in seconds. CPU is user + system time (task-clock when
# perf is there): on a shared machine the wall time mostly measures the wait for a core.
measure() {
  local start end cpu
  start=$(date +%s%N)
  if command -v perf > /dev/null; then
    cpu=$(perf stat -x, -e task-clock "$@" 2>&1 > /dev/null | awk -F, '/task-clock/ { print $1 / 1000 }')
  else
    cpu=$({ /usr/bin/time -f "%U %S" "$@" > /dev/null; } 2>&1 | awk '{ print $1 + $2 }')
  fi
  end=$(date +%s%N)
  echo "$(((end - start) / 1000))e-6 $cpu"
}

declare -a wall_a wall_b wall_c cpu_a cpu_b cpu_c
for _ in $(seq "$runs"); do
  read -r w c < <(measure "$cli" dump "$dbf" --filter ">CITY.get 'Paris' =" --count)
  wall_a+=("$w") cpu_a+=("$c")
  read -r w c < <(measure sqlite3 "$sqlite" "select count(*) from t where city='Paris'")
  wall_b+=("$w") cpu_b+=("$c")
  read -r w c < <(measure "$lua" "$dbf" "return get('CITY') == 'Paris'")
  wall_c+=("$w") cpu_c+=("$c")
done

median() { printf '%s\n' "$@" | awk '{ printf "%.6f\n", $1 }' | sort -n | awk '{ v[NR] = $1 }
  END { print (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2) }'; }

report() {  # label a b c
  awk -v l="$1" -v a="$2" -v b="$3" -v c="$4" 'BEGIN {
    printf "%-5s A %.3f s   B %.3f s   C %.3f s   A/B %.2f   A/C %.2f\n", l, a, b, c, a / b, a / c
  }'
}
echo "records accepted: $count_a; medians of $runs interleaved runs"
echo "A tavlo-cli dump --filter --count, B sqlite3 count(*), C Lua 5.4 (targets: A/B <= 1.5, A/C <= 1)"
report wall "$(median "${wall_a[@]}")" "$(median "${wall_b[@]}")" "$(median "${wall_c[@]}")"
report cpu "$(median "${cpu_a[@]}")" "$(median "${cpu_b[@]}")" "$(median "${cpu_c[@]}")"
