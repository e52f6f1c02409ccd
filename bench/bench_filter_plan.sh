#!/bin/bash
# The filter plan against SQLite and against the interpreter, whole processes over the
# 1,000,000-record table of make_big_table.py, interleaved, RUNS times each (default 11):
#   city    tavlo-cli dump --filter ">CITY.get 'Paris' =" --count
#           vs sqlite3 "select count(*) from t where city='Paris'"
#   age     tavlo-cli dump --filter ">AGE.get 70 >= >ACTIVE.get and" --count
#           vs sqlite3 "select count(*) from t where age >= 70 and active = 1"
#   city/i  the city script with --no-plan (the interpreter on every record)
#   other   a script the plan does not take (">CITY.get ucase 'PARIS' ="), with and without
#           --no-plan: both run the interpreter, so they must take the same time
# Checks that each pair counts the same records and prints the medians of wall and CPU time
# (user + system) and the ratios.
#
# usage: bench/bench_filter_plan.sh TAVLO_CLI [TABLE.dbf TABLE.sqlite] [RUNS]
set -euo pipefail

cli=${1:?usage: bench_filter_plan.sh TAVLO_CLI [TABLE.dbf TABLE.sqlite] [RUNS]}
dbf=${2:-/tmp/big.dbf}
sqlite=${3:-/tmp/big.sqlite}
runs=${4:-11}
here=$(cd "$(dirname "$0")" && pwd)
if [[ ! -s $dbf || ! -s $sqlite ]]; then
  /usr/bin/python3 "$here/make_big_table.py" "$dbf" "$sqlite"
fi

city=">CITY.get 'Paris' ="
age=">AGE.get 70 >= >ACTIVE.get and"
other=">CITY.get ucase 'PARIS' ="
city_sql="select count(*) from t where city='Paris'"
age_sql="select count(*) from t where age >= 70 and active = 1"

check() {  # label tavlo-count sqlite-count
  if [[ $2 != "$3" ]]; then
    echo "$1: counts differ: tavlo $2, sqlite $3" >&2
    exit 1
  fi
}
check city "$("$cli" dump "$dbf" --filter "$city" --count)" "$(sqlite3 "$sqlite" "$city_sql")"
check age "$("$cli" dump "$dbf" --filter "$age" --count)" "$(sqlite3 "$sqlite" "$age_sql")"
check other "$("$cli" dump "$dbf" --filter "$other" --count)" "$(sqlite3 "$sqlite" "$city_sql")"

# One run: "WALL CPU" in seconds.
measure() {
  local start end cpu
  start=$(date +%s%N)
  cpu=$({ /usr/bin/time -f "%U %S" "$@" > /dev/null; } 2>&1 | awk '{ print $1 + $2 }')
  end=$(date +%s%N)
  echo "$(((end - start) / 1000))e-6 $cpu"
}

names=(city city_sqlite age age_sqlite city_interp other other_noplan)
declare -A wall cpu
for _ in $(seq "$runs"); do
  for name in "${names[@]}"; do
    case $name in
      city) cmd=("$cli" dump "$dbf" --filter "$city" --count) ;;
      city_sqlite) cmd=(sqlite3 "$sqlite" "$city_sql") ;;
      age) cmd=("$cli" dump "$dbf" --filter "$age" --count) ;;
      age_sqlite) cmd=(sqlite3 "$sqlite" "$age_sql") ;;
      city_interp) cmd=("$cli" dump "$dbf" --filter "$city" --count --no-plan) ;;
      other) cmd=("$cli" dump "$dbf" --filter "$other" --count) ;;
      other_noplan) cmd=("$cli" dump "$dbf" --filter "$other" --count --no-plan) ;;
    esac
    read -r w c < <(measure "${cmd[@]}")
    wall[$name]+="$w " cpu[$name]+="$c "
  done
done

median() { printf '%s\n' $1 | awk '{ printf "%.6f\n", $1 }' | sort -n | awk '{ v[NR] = $1 }
  END { print (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2) }'; }
row() {  # label a b
  for kind in wall cpu; do
    local -n times=$kind
    awk -v l="$1" -v k="$kind" -v a="$(median "${times[$2]}")" -v b="$(median "${times[$3]}")" \
      'BEGIN { printf "%-34s %-4s %.3f s vs %.3f s   ratio %.2f\n", l, k, a, b, a / b }'
  done
}
echo "medians of $runs interleaved runs"
row "city: plan vs sqlite (goal <= 0.5)" city city_sqlite
row "age and active: plan vs sqlite" age age_sqlite
row "city: plan vs interpreter" city city_interp
row "unplanned script: now vs --no-plan" other other_noplan
