#!/bin/bash
# tavlo-cli pack, check and repair as a user meets them: table names taken as dump takes them,
# the true reason a pack is refused, a backup that cannot be replaced (a folder; another
# user's file in a shared sticky folder), a user's own NAME.pack.dbf, and packs killed at
# random moments while dump reads the table again and again, checked by dbfread. $1 is tavlo-cli.
set -u
cli=$(readlink -f "$1")
dir=$(mktemp -d)
chmod 755 "$dir"
trap 'rm -rf "$dir"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
export LANG=C.UTF-8

# A table NAME C(12), NOTE M(10) of $2 records whose memos start with their record's name;
# every third record is deleted. Prints the number of live records.
make_table() {
  /usr/bin/python3 - "$1" "$2" <<'PY'
import struct, sys
out, n = sys.argv[1], int(sys.argv[2])
def desc(name, typ, length):
    return name.encode().ljust(11, b'\0') + typ.encode() + b'\0' * 4 + bytes([length, 0]) + b'\0' * 14
memo = bytearray(512)
recs = []
live = 0
for i in range(n):
    flag = b'*' if i % 3 == 1 else b' '
    live += flag == b' '
    name = 'R%d' % i
    block = len(memo) // 512
    text = (name + ' says ' + chr(97 + i % 26) * (40 + 700 * (i % 3 == 0))).encode() + b'\x1a\x1a'
    memo += text + b'\0' * ((-len(text)) % 512)
    recs.append(flag + name.encode().ljust(12) + str(block).rjust(10).encode())
memo[0:4] = struct.pack('<I', len(memo) // 512)
d = desc('NAME', 'C', 12) + desc('NOTE', 'M', 10)
hdr = bytes([0x83, 124, 1, 1]) + struct.pack('<IHH', n, 32 + len(d) + 1, 23) + b'\0' * 20
ext = '.DBT' if out.endswith('.DBF') else '.dbt'
open(out, 'wb').write(hdr + d + b'\r' + b''.join(recs) + b'\x1a')
open(out[:-4] + ext, 'wb').write(memo)
print(live)
PY
}

# dbfread reads $1 with every memo its record's own and $2 live records.
peer_check() {
  /usr/bin/python3 - "$1" "$2" <<'PY'
import sys, dbfread
rows = list(dbfread.DBF(sys.argv[1], load=False))
bad = [r['NAME'] for r in rows if not (r['NOTE'] or '').startswith(r['NAME'] + ' says ')]
assert not bad and len(rows) == int(sys.argv[2]), (bad[:3], len(rows))
PY
}

# As another user: root runs the command as nobody; anyone else as themselves.
as_user() {
  if [ "$(id -u)" = 0 ]; then setpriv --reuid=nobody --regid=nogroup --clear-groups "$@"; else "$@"; fi
}

# 1. Names as dump takes them: without the extension, and upper case on disk.
cd "$dir" || fail "cd"
live=$(make_table "$dir/T.DBF" 30)
[ "$("$cli" dump T --count)" = "$live" ] || fail "dump T"
"$cli" check T > out 2>&1 || fail "check T: $(cat out)"
"$cli" check T.DBF > out 2>&1 || fail "check T.DBF: $(cat out)"
"$cli" repair T --output fixed.dbf > out 2>&1 || fail "repair T: $(cat out)"
[ -f fixed.dbf ] && [ -f fixed.dbt ] || fail "no repaired copy"
"$cli" pack T > out 2>&1 || fail "pack T: $(cat out)"
grep -q "^$live records kept, 10 deleted records removed" out || fail "pack T said: $(cat out)"
[ -f T.bak.DBF ] && [ -f T.bak.DBT ] || fail "backups keep the table's case: $(ls -a)"
peer_check T.DBF "$live" || fail "dbfread after pack T"

# 2. A read-only table says why it cannot be packed.
mkdir "$dir/ro" && chmod 777 "$dir/ro"
make_table "$dir/ro/t.dbf" 12 > /dev/null
chmod 444 "$dir/ro/t.dbf"
as_user "$cli" pack "$dir/ro/t.dbf" > out 2>&1 && fail "pack of a read-only table went ahead"
grep -q "Permission denied (a pack rewrites the table, so it needs write access to it)" out ||
  fail "read-only pack said: $(cat out)"

# 3. The old backup cannot be replaced: a folder, or another user's file in a sticky folder.
mkdir "$dir/bak" && cd "$dir/bak" || fail "cd bak"
make_table t.dbf 30 > /dev/null
mkdir t.bak.dbf
before=$(cat t.dbf t.dbt | sha256sum)
"$cli" pack t.dbf > out 2>&1 && fail "pack over a folder t.bak.dbf went ahead"
grep -q "t.bak.dbf is in the way of the old table's backup" out || fail "folder: $(cat out)"
[ "$before" = "$(cat t.dbf t.dbt | sha256sum)" ] || fail "refused pack changed the table"
[ "$(ls -A | sort | tr '\n' ' ')" = "out t.bak.dbf t.dbf t.dbt " ] || fail "left behind: $(ls -A)"
if [ "$(id -u)" = 0 ]; then
  mkdir "$dir/sticky" && chmod 1777 "$dir/sticky" && cd "$dir/sticky" || fail "cd sticky"
  live=$(make_table t.dbf 30)
  chown nobody t.dbf t.dbt
  echo "root's own file" > t.bak.dbf
  before=$(cat t.dbf t.dbt | sha256sum)
  as_user "$cli" pack t.dbf > out 2>&1 && fail "pack replaced another user's backup"
  grep -q "the old backup .*t.bak.dbf cannot be deleted (Operation not permitted); the table is unchanged" out ||
    fail "sticky: $(cat out)"
  [ "$before" = "$(cat t.dbf t.dbt | sha256sum)" ] || fail "refused pack changed the table"
  [ "$(as_user "$cli" dump t.dbf --count)" = "$live" ] || fail "table does not open after the refusal"
  peer_check t.dbf "$live" || fail "dbfread after the refused pack"
  [ "$(ls -A | sort | tr '\n' ' ')" = "out t.bak.dbf t.dbf t.dbt " ] || fail "left behind: $(ls -A)"
fi

# 4. From a hostile-test reproducer: a user's sales.pack.dbf beside sales.dbf survives a dump.
mkdir "$dir/sales" && cd "$dir/sales" || fail "cd sales"
make_table sales.dbf 6 > /dev/null
cp sales.dbf sales.pack.dbf
"$cli" dump sales.dbf > /dev/null || fail "dump sales"
cmp -s sales.dbf sales.pack.dbf || fail "dump removed or changed sales.pack.dbf"
"$cli" pack sales.dbf > /dev/null || fail "pack sales"
[ -f sales.pack.dbf ] || fail "pack removed sales.pack.dbf"

# 5. Packs killed at random moments while dump opens the table in a loop.
mkdir "$dir/kill" "$dir/ref" && cd "$dir/kill" || fail "cd kill"
live=$(make_table "$dir/ref/ref.dbf" 2500)
cp "$dir/ref/ref.dbf" p.dbf && cp "$dir/ref/ref.dbt" p.dbt
start=$(date +%s%N)
"$cli" pack p.dbf > /dev/null || fail "pack to time"
took=$(( ($(date +%s%N) - start) / 1000 ))  # microseconds
killed=0
for round in 1 2 3 4 5; do
  rm -f ./* ./.[!.]*
  cp "$dir/ref/ref.dbf" p.dbf && cp "$dir/ref/ref.dbt" p.dbt
  "$cli" pack p.dbf > /dev/null 2>&1 &
  packer=$!
  ( while kill -0 $packer 2> /dev/null; do "$cli" dump p.dbf --count 2>&1; done ) > seen &
  reader=$!
  delay=$(( RANDOM * took / 32768 ))
  sleep "$(printf '%d.%06d' $((delay / 1000000)) $((delay % 1000000)))"
  kill -9 $packer 2> /dev/null && killed=$((killed + 1))
  wait $packer 2> /dev/null
  wait $reader
  bad=$(grep -v "^$live\$" seen | head -3)
  [ -z "$bad" ] || fail "round $round: a dump during the pack saw: $bad"
  [ "$("$cli" dump p.dbf --count)" = "$live" ] || fail "round $round: the table does not open whole"
  peer_check p.dbf "$live" || fail "round $round: dbfread disagrees"
  for name in $(ls -A); do
    case "$name" in p.dbf|p.dbt|p.bak.dbf|p.bak.dbt|seen) ;; *) fail "round $round: left behind: $name" ;; esac
  done
done
[ $killed -ge 2 ] || echo "note: only $killed of 5 packs were killed before they ended"

# 6. A pack killed at each of its renames, then check and repair first (they read the files
# themselves, not through an open): each finishes or undoes the pack first and reports on
# the whole table.
if strace -o /dev/null true 2> /dev/null; then
  before=$("$cli" check "$dir/ref/ref.dbf" | tail -1)
  for rename in 1 2 3 4; do
    for command in check repair; do
      rm -f ./* ./.[!.]*
      cp "$dir/ref/ref.dbf" p.dbf && cp "$dir/ref/ref.dbt" p.dbt
      strace -f -o /dev/null -e trace=rename,renameat,renameat2 \
        -e inject=rename,renameat,renameat2:signal=KILL:when=$rename "$cli" pack p.dbf > /dev/null 2>&1
      args=(p.dbf)
      [ $command = repair ] && args+=(--output fixed.dbf)
      "$cli" $command "${args[@]}" > out 2>&1 || fail "$command after a kill at rename $rename: $(cat out)"
      # Undone (the table as it was) or finished (packed), never anything between.
      grep -qx "$before\|$live records (0 deleted); no problems found" out ||
        fail "$command after a kill at rename $rename: $(cat out)"
    done
  done
else
  echo "note: strace cannot trace here; the kills at each rename were not tried"
fi
echo ok
