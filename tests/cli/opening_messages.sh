#!/bin/bash
# What an opening corrects and goes on with is said on stderr byte for byte, before the output,
# by every command that opens a table (dump, info, import, report), in the order found, and
# also when the opening then fails. $1 is tavlo-cli.
set -u
cli="$1"
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
cd "$dir" || exit 1

# CODE C(4), QTY N(7): 12-byte records. count.dbf says 1 record for 2; size.dbf says 14-byte
# records; both.dbf says 5 records of 14 bytes; nofields.dbf says 7 records and has no room
# for a descriptor.
/usr/bin/python3 - <<'PY'
import struct
fields = [(b"CODE", b"C", 4, 0), (b"QTY", b"N", 7, 0)]
desc = b"".join(struct.pack("<11sc4xBB14x", n, t, l, d) for n, t, l, d in fields)
def make(path, count, size):
    header = struct.pack("<BBBBIHH17xB2x", 0x03, 99, 12, 31, count, 32 + 32 * 2 + 1, size, 0x57)
    pad = b"X" * (size - 12)
    with open(path, "wb") as f:
        f.write(header + desc + b"\r" + b" abcd      7" + pad + b" efgh     -3" + pad + b"\x1a")
make("count.dbf", 1, 12)
make("append.dbf", 1, 12)
make("size.dbf", 2, 14)
make("both.dbf", 5, 14)
with open("nofields.dbf", "wb") as f:
    f.write(struct.pack("<BBBBIHH17xB2x", 0x03, 99, 12, 31, 7, 33, 12, 0x57) + b"\r" +
            b" abcd      7" * 2)
PY
count=$'tavlo-cli: Invalid Record Count,\nRecordCount in Hdr : 1\nexpected : 2\n'
size=$'tavlo-cli: Invalid Record Size,\nRecord Size in Hdr : 14\nExpected : 12\nThe table opens read-only until it is repaired.\n'
both=$'tavlo-cli: Invalid Record Count,\nRecordCount in Hdr : 5\nexpected : 2\n'"$size"
nofields=$'tavlo-cli: Invalid Record Count,\nRecordCount in Hdr : 7\nexpected : 2\ntavlo-cli: Invalid field count : 0 (must be between 1 and 255)\n'

# expect STATUS STDERR COMMAND...: the exit status and stderr exactly.
expect() {
  local status=$1 wanted=$2
  shift 2
  "$cli" "$@" > out 2> err
  local got=$?
  [ "$got" -eq "$status" ] || fail "$*: exit $got, not $status; stderr: $(cat err)"
  printf '%s' "$wanted" > wanted
  cmp -s err wanted || fail "$*: stderr $(od -c err) instead of $(od -c wanted)"
}

for command in "dump" "dump --count --tsv" "dump --order code" "info"; do
  # shellcheck disable=SC2086
  {
    expect 0 "$count" $command count.dbf
    expect 0 "$size" $command size.dbf
    expect 0 "$both" $command both.dbf
    expect 1 "$nofields" $command nofields.dbf
  }
done
expect 0 "$count" dump --filter ">CODE.get 'abcd' =" count.dbf
[ "$(cat out)" = $'CODE,QTY\r\nabcd,7\r' ] || fail "filtered dump: $(cat out)"
expect 0 "$both" dump both.dbf
[ "$(cat out)" = $'CODE,QTY\r\nabcd,7\r\nefgh,-3\r' ] || fail "dump of both.dbf: $(cat out)"

printf 'CODE,QTY\nzz,5\n' > rows.csv
expect 0 "$count" import append.dbf rows.csv
printf '<record><#code></record>\n' > t.drpt
expect 0 "$count" report t.drpt count.dbf
expect 1 "$nofields" report t.drpt nofields.dbf

# The environment's code-page problem is said first, once, before what the opening found.
TAVLO_OEM_CODEPAGE=abc expect 0 $'tavlo-cli: Invalid TAVLO_OEM_CODEPAGE \'abc\': a code page number such as 850 or 1252 is expected; it is ignored\n'"$both" info both.dbf
echo ok
