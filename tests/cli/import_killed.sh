#!/bin/bash
# tavlo-cli import killed (SIGKILL) at random moments while other processes open the table:
# afterwards every whole record is the row of the file it came from, in order, with its memo;
# the end marker follows the last whole record; the header's count is that number or one
# behind (the record being appended); dbfread reads the table, also while the import runs;
# and the next import appends after the last whole record. $1 is tavlo-cli.
set -u
cli="$1"
dir=$(mktemp -d)
readers=()
trap 'kill "${readers[@]}" 2>/dev/null; rm -rf "$dir"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
export LANG=C.UTF-8 TAVLO_OEM_CODEPAGE=850 TAVLO_ANSI_CODEPAGE=1252
rows=2000

printf 'name="NAME" type="string" size="12"\nname="N" type="integer"\nname="NOTE" type="memo"\n' \
  > "$dir/def.txt"
"$cli" create "$dir/empty.dbf" "$dir/def.txt" > /dev/null || fail "create"
/usr/bin/python3 - "$dir/rows.csv" "$rows" <<'PY'
import sys
with open(sys.argv[1], "w", newline="") as f:
    f.write("NAME,N,NOTE\r\n")
    for i in range(int(sys.argv[2])):
        f.write('r%d,%d,"memo %d\r\n%s"\r\n' % (i, i, i, "x" * (i % 700)))
PY
printf 'NAME,N\r\nafter1,1\r\nafter2,2\r\n' > "$dir/after.csv"

# The check of a table: what is on disk, and what dbfread reads. With "reader" it loops,
# reading the table as another program would at random moments until told to stop.
cat > "$dir/check.py" <<'PY'
import os, random, struct, sys, time, dbfread

def check(path, final):
    data = open(path, "rb").read()
    count, header, size = struct.unpack("<IHH", data[4:12])
    whole, tail = divmod(len(data) - header, size)
    if final:
        assert tail == 1 and data[-1] == 0x1A, "no end marker after record %d (tail %d)" % (whole, tail)
        assert count in (whole - 1, whole), "header count %d, %d whole records" % (count, whole)
        for i in range(whole):
            record = data[header + i * size: header + (i + 1) * size]
            expected = b" " + b"r%d" % i
            assert record[:len(expected)] == expected and record[len(expected):13].strip() == b"", \
                "record %d is %r" % (i, record)
            assert record[13:24].strip() == b"%d" % i, "record %d is %r" % (i, record)
    table = list(dbfread.DBF(path, encoding="cp850"))
    for i, r in enumerate(table):
        assert r["NAME"] == "r%d" % i and r["N"] == i, "dbfread record %d: %r" % (i, r)
        assert r["NOTE"] == "memo %d\r\n%s" % (i, "x" * (i % 700)), "memo %d: %r" % (i, r["NOTE"][:30])
    return whole, len(table)

path = sys.argv[1]
if sys.argv[2] == "reader":
    reads = 0
    while not os.path.exists(sys.argv[3]):
        try:
            check(path, False)
        except (struct.error, ValueError) as e:  # the table being created or replaced
            pass
        reads += 1
        time.sleep(random.uniform(0, 0.02))
    print(reads)
else:
    whole, read = check(path, True)
    print(whole, read)
PY

# Once whole, to know how long an import takes here.
cp "$dir/empty.dbf" "$dir/t.dbf"; cp "$dir/empty.dbt" "$dir/t.dbt"
start=$(date +%s%N)
"$cli" import "$dir/t.dbf" "$dir/rows.csv" > "$dir/out" 2>&1 || fail "whole import: $(cat "$dir/out")"
took=$(( ($(date +%s%N) - start) / 1000000 ))
grep -q "^$rows records appended, 0 refused" "$dir/out" || fail "$(cat "$dir/out")"
[ "$(/usr/bin/python3 "$dir/check.py" "$dir/t.dbf" final)" = "$rows $rows" ] || fail "whole import"

for round in 1 2 3 4 5 6; do
  cp "$dir/empty.dbf" "$dir/t.dbf"; cp "$dir/empty.dbt" "$dir/t.dbt"
  rm -f "$dir/stop"
  /usr/bin/python3 "$dir/check.py" "$dir/t.dbf" reader "$dir/stop" > "$dir/reads" 2> "$dir/reader.err" &
  readers=($!)
  ( while [ ! -e "$dir/stop" ]; do "$cli" dump "$dir/t.dbf" --count > /dev/null 2>&1; done ) &
  readers+=($!)
  "$cli" import "$dir/t.dbf" "$dir/rows.csv" > /dev/null 2>&1 &
  importer=$!
  # Anywhere in the import (the table's opening included): the readers slow it down, so up to
  # twice the time it took alone.
  sleep "$(awk -v t="$took" -v r="$RANDOM" 'BEGIN { printf "%.3f", t * 2 * r / 32768 / 1000 }')"
  kill -KILL "$importer" 2>/dev/null
  wait "$importer" 2>/dev/null
  touch "$dir/stop"
  wait "${readers[@]}"
  readers=()
  [ -s "$dir/reader.err" ] && fail "round $round: a reader during the import: $(cat "$dir/reader.err")"
  result=$(/usr/bin/python3 "$dir/check.py" "$dir/t.dbf" final 2>&1) || fail "round $round: $result"
  whole=${result% *}
  echo "round $round: killed after $whole records, $(cat "$dir/reads") reads meanwhile"
  # The next import goes on after the last whole record.
  "$cli" import "$dir/t.dbf" "$dir/after.csv" > "$dir/out" 2>&1 || fail "round $round: $(cat "$dir/out")"
  [ "$("$cli" dump "$dir/t.dbf" --count)" = $((whole + 2)) ] || fail "round $round: after the next import"
  "$cli" dump "$dir/t.dbf" | tail -n 2 | grep -q "^after2,2," || fail "round $round: appended where?"
done
echo ok
