#!/bin/bash
# tavlo-cli dump --filter as a user runs it: the records a filter script accepts (deleted
# ones never reach it), field names without case, memo fields of the record under test,
# a compile error before the table is touched and a run error that stops the scan.
set -u
cli=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
export LC_ALL=C LANG=C TAVLO_OEM_CODEPAGE=850 TAVLO_ANSI_CODEPAGE=1252
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
expect_eq() { [[ "$1" == "$2" ]] || fail "$3: got [$1], expected [$2]"; }

# people.dbf: NAME C(6), CITY C(8), AGE N(3,0), NOTE M with people.dbt; record 4 deleted.
/usr/bin/python3 - <<'EOF'
import struct
rows = [(" ", "Ann", "Paris", 31, "vip since 2001"), (" ", "Bob", "London", 45, "regular"),
        (" ", "Cid", "paris", 27, "vip"), ("*", "Dan", "Paris", 50, "vip, deleted"),
        (" ", "Eve", "Paris", 19, "new")]
fields = [("NAME", b"C", 6), ("CITY", b"C", 8), ("AGE", b"N", 3), ("NOTE", b"M", 10)]
memo = bytearray(512)
blocks = []
for row in rows:
    if not row[4]:
        blocks.append(0)
        continue
    blocks.append(len(memo) // 512)
    text = row[4].encode() + b"\x1a\x1a"
    memo += text + bytes(-len(text) % 512)
memo[0:4] = struct.pack("<I", len(memo) // 512)
record_size = 1 + sum(f[2] for f in fields)
header_size = 32 + 32 * len(fields) + 1
with open("people.dbf", "wb") as out:
    out.write(struct.pack("<BBBBIHH20x", 0x83, 126, 12, 9, len(rows), header_size, record_size))
    for name, kind, length in fields:
        out.write(struct.pack("<11sc4xBB14x", name.encode(), kind, length, 0))
    out.write(b"\r")
    for (flag, name, city, age, _), block in zip(rows, blocks):
        out.write(flag.encode() + name.encode().ljust(6) + city.encode().ljust(8) +
                  str(age).encode().rjust(3) +
                  (str(block).encode().rjust(10) if block else b" " * 10))
    out.write(b"\x1a")
with open("people.dbt", "wb") as out:
    out.write(memo)
EOF

# Accepted records only, in physical order; the comparison is exact, so "paris" is not in.
expect_eq "$("$cli" dump people.dbf --filter ">CITY.get 'Paris' =")" \
  "$(printf 'NAME,CITY,AGE,NOTE\r\nAnn,Paris,31,vip since 2001\r\nEve,Paris,19,new\r')" "Paris records"
expect_eq "$("$cli" dump people.dbf --count --filter ">city.get 'Paris' =")" "2" "lower-case name"
expect_eq "$("$cli" dump people.dbf --count --filter ">AGE.get 30 <")" "2" "numeric field"
expect_eq "$("$cli" dump people.dbf --count --filter "0")" "0" "nothing accepted"
expect_eq "$("$cli" dump people.dbf --count --filter "1")" "4" "everything but the deleted"
# --deleted hands the deleted record to the filter too.
expect_eq "$("$cli" dump people.dbf --count --deleted --filter ">CITY.get 'Paris' =")" "3" \
  "deleted records filtered when shown"

# The memo read by the filter is that of the record under test.
expect_eq "$("$cli" dump people.dbf --tsv --filter ">NOTE.get 3 left 'vip' =" | cut -f1)" \
  "$(printf 'NAME\nAnn\nCid')" "memo filter"

# A script that does not compile is reported before the table is even opened.
out=$("$cli" dump missing.dbf --count --filter "1 nosuchword" 2>"$work/err"); rc=$?
expect_eq "$rc" "1" "compile error exits 1"
expect_eq "$out" "" "compile error prints no record"
expect_eq "$(head -c 39 "$work/err")" 'tavlo-cli: undefined word "nosuchword" ' "compile message"

# A run error stops the scan at the failing record with the message.
out=$("$cli" dump people.dbf --count --filter ">NAME.get 'Cid' = if 'x' else 1 endif" \
  2>"$work/err"); rc=$?
expect_eq "$rc" "1" "run error exits 1"
expect_eq "$out" "" "no count after a run error"
expect_eq "$(cat "$work/err")" "tavlo-cli: Invalid variant type conversion" "run error message"

err=$("$cli" dump people.dbf --filter ">ZIP.get 1 =" 2>&1 >/dev/null); rc=$?
expect_eq "$rc" "1" "unknown field exits 1"
expect_eq "$err" "tavlo-cli: The field ZIP is not found in this collection" "unknown field"

err=$("$cli" dump people.dbf --count --filter "" 2>&1 >/dev/null)
expect_eq "$err" "tavlo-cli: Invalid variant type conversion" "empty filter yields Null"

"$cli" dump people.dbf --filter > /dev/null 2>&1
expect_eq "$?" "2" "--filter without a script is a usage error"

# A filter that would change anything is refused before a record is read; the memo file stays.
err=$("$cli" dump people.dbf --filter "'people.dbt' deletefile true" 2>&1 >/dev/null); rc=$?
expect_eq "$rc" "1" "a deleting filter exits 1"
expect_eq "$err" "tavlo-cli: The word deletefile is not allowed in a filter" "deleting filter"
[[ -f people.dbt ]] || fail "the memo file was deleted by a filter"
err=$("$cli" dump people.dbf --filter "'x' 'out.txt' set.save true" 2>&1 >/dev/null)
expect_eq "$err" "tavlo-cli: The word set.save is not allowed in a filter" "saving filter"
[[ ! -e out.txt ]] || fail "a filter wrote a file"
# Nor through a script the filter runs: the refusal is the run's, whatever compiled the word.
err=$("$cli" dump people.dbf --filter "[ 'people.dbt' deletefile true ] set.do" 2>&1 >/dev/null); rc=$?
expect_eq "$rc" "1" "a filter deleting through set.do exits 1"
expect_eq "$err" "tavlo-cli: The word deletefile is not allowed in a filter" "deleting through set.do"
[[ -f people.dbt ]] || fail "the memo file was deleted through set.do"
err=$("$cli" dump people.dbf --filter "[ 'x' 'out.txt' set.save true ] set.do" 2>&1 >/dev/null)
expect_eq "$err" "tavlo-cli: The word set.save is not allowed in a filter" "saving through set.do"
[[ ! -e out.txt ]] || fail "a filter wrote a file through set.do"
# eval still runs every word.
"$cli" eval "'x' 'out.txt' set.save" >/dev/null && [[ -f out.txt ]] || fail "eval may save"

# The table is only read.
expect_eq "$(od -An -tx1 -j1 -N3 people.dbf | tr -d ' ')" "7e0c09" "header date untouched"

[[ $failures -eq 0 ]] || exit 1
echo "filter_dump: all passed"
