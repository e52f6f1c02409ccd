#!/bin/bash
# tavlo-cli import, check, repair and pack as a user runs them: a CSV written by Python's csv
# module appended (quotes, embedded line breaks, a bad date, a too-long number, an unknown
# column, non-ASCII text), the result read by dbfread; check's exit codes and the table's bytes
# unchanged; a repaired copy read by dbfread; pack with its backup. $1 is tavlo-cli.
set -u
cli="$1"
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
export LANG=C.UTF-8 TAVLO_OEM_CODEPAGE=850 TAVLO_ANSI_CODEPAGE=1252

printf 'name="NAME" type="string" size="20"\r\nname="QTY" type="integer"\r\nname="DAY" type="date"\r\nname="NOTE" type="memo"\r\n' > "$dir/def.txt"
"$cli" create "$dir/t.dbf" "$dir/def.txt" || fail "create"

/usr/bin/python3 - "$dir/in.csv" <<'PY'
import csv, sys
with open(sys.argv[1], "w", newline="", encoding="utf-8") as f:
    w = csv.writer(f)
    w.writerow(["name", "Qty", "day", "NOTE", "colour"])
    w.writerow(["Ann, \"the first\"", "7", "03/14/2019", "line one\nline two", "red"])
    w.writerow(["Bob", "8", "02/30/2019", "bad date", "blue"])
    w.writerow(["Cid", "123456789012345678901234567890", "", "too long", ""])
    w.writerow(["Zoë Müller", "9", "", "", "green"])
    w.writerow(["Dan 漢", "10", "", "", ""])
PY
"$cli" import "$dir/t.dbf" "$dir/in.csv" > "$dir/out" 2>&1
status=$?
[ $status -eq 1 ] || fail "import with refused rows exited $status: $(cat "$dir/out")"
grep -q "Column colour is not a field of the table; ignored" "$dir/out" || fail "unknown column: $(cat "$dir/out")"
grep -q "^Line 4: " "$dir/out" || fail "bad date not refused with its line: $(cat "$dir/out")"
grep -q "^Line 5: " "$dir/out" || fail "long number not refused: $(cat "$dir/out")"
grep -q "^Line 7: .*cannot store" "$dir/out" || fail "unstorable character not refused: $(cat "$dir/out")"
grep -q "^2 records appended, 3 refused" "$dir/out" || fail "totals: $(cat "$dir/out")"

/usr/bin/python3 - "$dir/t.dbf" <<'PY' || fail "dbfread disagrees"
import sys, datetime, dbfread
rows = list(dbfread.DBF(sys.argv[1], encoding="cp850"))
assert [r["NAME"] for r in rows] == ['Ann, "the first"', "Zoë Müller"], rows
assert rows[0]["QTY"] == 7 and rows[0]["DAY"] == datetime.date(2019, 3, 14), rows[0]
assert rows[0]["NOTE"] == "line one\r\nline two" or rows[0]["NOTE"] == "line one\nline two", rows[0]
PY

# check: clean table exit 0; a damaged one exit 1 with its bytes unchanged.
"$cli" check "$dir/t.dbf" > "$dir/out" || fail "clean table: $(cat "$dir/out")"
grep -q "no problems found" "$dir/out" || fail "clean report: $(cat "$dir/out")"
cp "$dir/t.dbf" "$dir/bad.dbf"; cp "$dir/t.dbt" "$dir/bad.dbt"
printf '\x63' | dd of="$dir/bad.dbf" bs=1 seek=4 conv=notrunc 2>/dev/null   # record count 99
printf 'x' | dd of="$dir/bad.dbf" bs=1 seek=$(( $(stat -c %s "$dir/bad.dbf") - 1 )) conv=notrunc 2>/dev/null
before=$(sha256sum < "$dir/bad.dbf")
"$cli" check "$dir/bad.dbf" > "$dir/out"; status=$?
[ $status -eq 1 ] || fail "damaged table exited $status"
[ "$before" = "$(sha256sum < "$dir/bad.dbf")" ] || fail "check changed the table"
grep -q "Header: record count 99, the file holds 2 whole records" "$dir/out" || fail "$(cat "$dir/out")"
"$cli" check > /dev/null 2>&1; [ $? -eq 2 ] || fail "check without a table is not a usage error"

"$cli" repair "$dir/bad.dbf" --output "$dir/fixed.dbf" > "$dir/out" || fail "repair: $(cat "$dir/out")"
[ "$before" = "$(sha256sum < "$dir/bad.dbf")" ] || fail "repair changed the original"
/usr/bin/python3 -c "import dbfread,sys; r=list(dbfread.DBF(sys.argv[1], encoding='cp850')); assert len(r)==2, r" "$dir/fixed.dbf" || fail "dbfread on the repaired copy"

# pack: delete Ann through a script-free path (the deletion flag), then pack.
printf '*' | dd of="$dir/t.dbf" bs=1 seek=$(( 32 + 32 * 4 + 1 )) conv=notrunc 2>/dev/null
"$cli" pack "$dir/t.dbf" > "$dir/out" || fail "pack: $(cat "$dir/out")"
grep -q "1 records kept, 1 deleted records removed" "$dir/out" || fail "$(cat "$dir/out")"
[ -f "$dir/t.bak.dbf" ] && [ -f "$dir/t.bak.dbt" ] || fail "no backup files"
[ "$("$cli" dump "$dir/t.dbf" --count)" = 1 ] || fail "pack left the wrong records"
/usr/bin/python3 -c "import dbfread,sys; r=list(dbfread.DBF(sys.argv[1], encoding='cp850')); assert [x['NAME'] for x in r]==['Zoë Müller'], r" "$dir/t.dbf" || fail "dbfread after pack"
echo ok
