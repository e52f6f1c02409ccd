#!/bin/bash
# A table whose memo file is missing, empty, a folder or a pipe still opens, but info says so
# and dump (with or without a filter) warns once on stderr. $1 is tavlo-cli.
set -u
cli="$1"
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# A level-0 table with a memo field and two records whose memos lie in blocks 1 and 2.
/usr/bin/python3 - "$dir/t.dbf" "$dir/t.dbt" <<'PY'
import struct, sys
fields = [(b"NAME", b"C", 5, 0), (b"NOTE", b"M", 10, 0)]
header = struct.pack("<BBBBIHH17xB2x", 0x83, 124, 1, 2, 2, 32 + 32 * 2 + 1, 16, 0x58)
desc = b"".join(struct.pack("<11sc4xBB14x", n, t, l, d) for n, t, l, d in fields)
records = b" Ann           1" + b" Bob           2"
with open(sys.argv[1], "wb") as f:
    f.write(header + desc + b"\r" + records + b"\x1a")
block = lambda text: (text + b"\x1a\x1a").ljust(512, b"\0")
with open(sys.argv[2], "wb") as f:
    f.write(struct.pack("<I16xH", 3, 512).ljust(512, b"\0") + block(b"first") + block(b"second"))
PY
cp "$dir/t.dbt" "$dir/good.dbt"

# The sound table: a memo filter finds its record, nothing on stderr.
out=$("$cli" dump "$dir/t.dbf" --filter ">NOTE.get 'first' =" 2> "$dir/err")
[ "$out" = $'NAME,NOTE\r\nAnn,first\r' ] || fail "good dump: $out"
[ -s "$dir/err" ] && fail "good dump warned: $(cat "$dir/err")"

for kind in missing empty folder pipe; do
  rm -rf "$dir/t.dbt"
  case $kind in
    missing) reason="$dir/t.dbt is missing" ;;
    empty) : > "$dir/t.dbt"; reason="$dir/t.dbt is empty" ;;
    folder) mkdir "$dir/t.dbt"; reason="$dir/t.dbt is a folder" ;;
    pipe) mkfifo "$dir/t.dbt"; reason="$dir/t.dbt is not a regular file" ;;
  esac
  "$cli" info "$dir/t.dbf" > "$dir/out" 2> "$dir/err" || fail "$kind: info exited $?"
  grep -qF "Memo file: missing or unreadable: $reason" "$dir/out" ||
    fail "$kind: info says $(grep Memo "$dir/out")"
  out=$(timeout 10 "$cli" dump "$dir/t.dbf" 2> "$dir/err") || fail "$kind: dump exited $?"
  [ "$out" = $'NAME,NOTE\r\nAnn,(MEMO)\r\nBob,(MEMO)\r' ] || fail "$kind: dump: $out"
  expected="tavlo-cli: warning: memo file $reason; memo fields show as (MEMO)"
  [ "$(cat "$dir/err")" = "$expected" ] || fail "$kind: dump stderr: $(cat "$dir/err")"
  timeout 10 "$cli" dump "$dir/t.dbf" --filter ">NOTE.get 'first' =" > /dev/null 2> "$dir/err"
  [ "$(cat "$dir/err")" = "$expected" ] || fail "$kind: filtered dump stderr: $(cat "$dir/err")"
done
exit $failures
