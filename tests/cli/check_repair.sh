#!/bin/bash
# tavlo-cli check, repair, pack and dump on tables shaped as in the hostile-test reproducers
# and the real-file corpus: valid tables of other layouts check clean (a note is no problem),
# odd deletion flags read by one rule everywhere, a repaired copy with its rejects file read
# by dbfread, copies whose names would collide refused, dates that are no date shown as stored,
# and no memo file for a table without memo fields. $1 is tavlo-cli.
set -u
cli=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
export LC_ALL=C LANG=C TAVLO_OEM_CODEPAGE=850 TAVLO_ANSI_CODEPAGE=1252
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
expect_eq() { [[ "$1" == "$2" ]] || fail "$3: got [$1], expected [$2]"; }

/usr/bin/python3 - <<'PY'
import struct

def table(path, fields, records, version=0x03, wide=False, eof=True):
    first = 68 if wide else 32
    d = b''
    for name, typ, length in fields:
        if wide:
            d += name.encode().ljust(32, b'\0') + typ.encode() + bytes([length, 0]) + b'\0' * 13
        else:
            d += name.encode().ljust(11, b'\0') + typ.encode() + b'\0' * 4 + bytes([length, 0]) + b'\0' * 14
    hs = first + len(d) + 1
    rs = 1 + sum(f[2] for f in fields)
    head = bytes([version, 124, 1, 2]) + struct.pack('<IHH', len(records), hs, rs) + b'\0' * 20
    if wide:
        head += b'\0' * 36
    with open(path, 'wb') as f:
        f.write(head + d + b'\r' + b''.join(records) + (b'\x1a' if eof else b''))

table('seven.dbf', [('NAME', 'C', 5), ('N', 'I', 4)], [b' hello\x80\x00\x00\x05'], 0x04, True)
table('wide.dbf', [('F%d' % i, 'C', 1) for i in range(255)], [b' ' + b'x' * 255])
table('fox.dbf', [('N', 'I', 4)], [b' \x01\x00\x00\x00'], 0x30, eof=False)
table('flags.dbf', [('NAME', 'C', 3)], [b' ann', b'*bob', b'\0cid', b'Xdan', b'\x1aeve'])
table('bad.dbf', [('NAME', 'C', 3), ('QTY', 'N', 3), ('DAY', 'D', 8), ('OK', 'L', 1)],
      [b' ann 4x20010231T', b' bob 3219991231F', b' cid\0\0\0        X'])
PY

# Valid tables check clean; the note of a FoxPro or dBase 7 table leaves the exit status 0.
for t in seven wide fox; do
  out=$("$cli" check $t.dbf); rc=$?
  expect_eq "$rc" "0" "check of the valid $t.dbf"
  expect_eq "${out##*$'\n'}" "1 records (0 deleted); no problems found" "closing line of $t.dbf"
done
"$cli" check fox.dbf | grep -q "^Note: Table: a FoxPro table" || fail "the FoxPro note"
# Every line of the report, the last included, ends with a line break.
expect_eq "$("$cli" check bad.dbf | tail -c 1 | od -An -c | tr -d ' ')" '\n' "last line break"
"$cli" pack wide.dbf > /dev/null || fail "pack of a table of 255 fields"

# One rule for odd deletion flags: dump, check, pack and repair agree.
expect_eq "$("$cli" dump flags.dbf --count)" "4" "dump shows the records with damaged flags"
out=$("$cli" check flags.dbf); rc=$?
expect_eq "$rc" "1" "check reports damaged flags"
echo "$out" | grep -q "^Record 5: deletion flag 0x1A is neither blank nor '\*'" || fail "flag: $out"
expect_eq "${out##*$'\n'}" \
  "5 records (1 deleted, 3 with a damaged deletion flag read as live); 3 problems found" "flags"
"$cli" repair flags.dbf --output flags_fixed.dbf > /dev/null || fail "repair of flags.dbf"
expect_eq "$("$cli" dump flags_fixed.dbf --count)" "4" "the repaired copy shows the same"
cp flags.dbf packed.dbf
expect_eq "$("$cli" pack packed.dbf | head -1)" "4 records kept, 1 deleted records removed" "pack"

# A repaired copy reads in dbfread; the values it could not keep are in its rejects file.
out=$("$cli" repair bad.dbf --output fixed.dbf); rc=$?
expect_eq "$rc" "0" "repair exits 0"
echo "$out" | grep -q "^3 values left out of the copy, with their stored bytes: fixed.rejects.csv$" \
  || fail "repair names the rejects: $out"
"$cli" check fixed.dbf > /dev/null || fail "the repaired copy checks clean"
/usr/bin/python3 - <<'PY' || fail "dbfread on the repaired copy and its rejects"
import csv, datetime, dbfread
rows = list(dbfread.DBF('fixed.dbf'))
assert [(r['NAME'], r['QTY'], r['DAY'], r['OK']) for r in rows] == [
    ('ann', None, None, True), ('bob', 32, datetime.date(1999, 12, 31), False),
    ('cid', None, None, None)], rows
with open('fixed.rejects.csv', newline='') as f:
    rejects = list(csv.DictReader(f))
assert [(r['record'], r['field'], r['stored'], r['hex']) for r in rejects] == [
    ('1', 'QTY', ' 4x', '203478'), ('1', 'DAY', '20010231', '3230303130323331'),
    ('3', 'OK', 'X', '58')], rejects
PY

# A date that is no calendar date shows as it is stored, whatever the date format.
expect_eq "$("$cli" dump bad.dbf | sed -n 2p | cut -d, -f3)" "20010231" "a stored date that is no date"

# The copy's files never collide, and a retry is never refused by what a failure left.
err=$("$cli" repair bad.dbf --output x.dbt 2>&1); rc=$?
expect_eq "$rc" "1" "repair to a .dbt name exits 1"
expect_eq "$err" "tavlo-cli: The repaired copy x.dbt must be a .dbf file (its memo file is named after it with .dbt)" \
  "repair to a .dbt name"
[[ -e x.dbt ]] && fail "nothing written for a .dbt name"

# No memo file for a table without memo fields.
printf 'name="NAME" type="string" size="12"\r\n' > plain.def
"$cli" create plain.dbf plain.def > /dev/null || fail "create plain.dbf"
[[ -e plain.dbt ]] && fail "create made a memo file for a table without memo fields"

[[ $failures -eq 0 ]] && echo ok
exit $((failures > 0))
