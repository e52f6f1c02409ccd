#!/bin/bash
# tavlo-cli info: structure of a table, opening messages on stderr, the file left unchanged,
# and the errors for a missing table and bad arguments. $1 is tavlo-cli.
set -u
cli="$1"
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

# A level-1 table (version 0x8B) whose header says 1 record while it holds 2, with an index.
/usr/bin/python3 - "$dir/t.dbf" <<'PY'
import struct, sys
fields = [(b"CODE", b"C", 4, 0), (b"QTY", b"N", 7, 0)]
header = struct.pack("<BBBBIHH17xB2x", 0x8B, 99, 12, 31, 1, 32 + 32 * 2 + 1, 12, 0x57)
desc = b"".join(struct.pack("<11sc4xBB14x", n, t, l, d) for n, t, l, d in fields)
with open(sys.argv[1], "wb") as f:
    f.write(header + desc + b"\r" + b" abcd      7" + b"*efgh     -3")
PY
printf 'x%.0s' {1..600} > "$dir/t.mdx"
before=$(md5sum < "$dir/t.dbf")

"$cli" info "$dir/t" > "$dir/out" 2> "$dir/err" || fail "info exited with $?"
after=$(md5sum < "$dir/t.dbf")
[ "$before" = "$after" ] || fail "info changed the table"
# The opening message carries the program's name, its CR line breaks as line breaks.
[ "$(cat "$dir/err")" = $'tavlo-cli: Invalid Record Count,\nRecordCount in Hdr : 1\nexpected : 2' ] ||
  fail "record count message: $(od -c "$dir/err")"
for needle in "Version byte: 0x8B" "Level: 1" "Records: 2" "Header size: 97" "Record size: 12" \
    "Last update: 1999-12-31" "Language byte: 0x57" "Memo file: none" "Index files: 1" \
    "Fields: 2"; do
  grep -qF "$needle" "$dir/out" || fail "missing '$needle' in: $(cat "$dir/out")"
done
grep -qE '^2 +QTY +N +7 +0 +Integer$' "$dir/out" || fail "QTY line: $(cat "$dir/out")"

"$cli" info "$dir/none.dbf" > /dev/null 2> "$dir/err"
[ $? -eq 1 ] || fail "missing table did not exit 1"
grep -qF "Open: Table file not found : $dir/none.dbf" "$dir/err" || fail "message: $(cat "$dir/err")"

head -c 20 "$dir/t.dbf" > "$dir/short.dbf"
"$cli" info "$dir/short.dbf" > /dev/null 2> "$dir/err"
[ $? -eq 1 ] || fail "short table did not exit 1"
[ "$(cat "$dir/err")" = "tavlo-cli: Stream read error: $dir/short.dbf: the file is 20 bytes long, shorter than a table header (32 bytes)" ] ||
  fail "message: $(cat "$dir/err")"

# Invalid code-page settings are said once, however many texts are converted.
TAVLO_OEM_CODEPAGE=abc TAVLO_ANSI_CODEPAGE=0x4e4 "$cli" dump "$dir/t" > /dev/null 2> "$dir/err"
expected="tavlo-cli: Invalid TAVLO_OEM_CODEPAGE 'abc': a code page number such as 850 or 1252 is expected; it is ignored
Invalid TAVLO_ANSI_CODEPAGE '0x4e4': a code page number such as 850 or 1252 is expected; it is ignored"
[ "$(grep -v 'Record Count\|RecordCount in Hdr\|^expected' "$dir/err")" = "$expected" ] ||
  fail "code page message: $(cat "$dir/err")"

"$cli" info > /dev/null 2>&1
[ $? -eq 2 ] || fail "no argument did not exit 2"
echo ok
