#!/bin/bash
# Relative table names when the current folder is gone, and table names without a file name:
# a clear failure, and no table made or read anywhere else. $1 is tavlo-cli.
set -u
cli=$(realpath "$1")
clidir=$(dirname "$cli")
work=$(mktemp -d)
# Whatever a faulty build makes outside the scratch folder goes too, however the test ends.
root_had=$([ -e /.dbf ] && echo yes || echo no)
cleanup() {
  rm -rf "$work"
  [ "$root_had" = no ] && rm -f /.dbf /.dbt
  [ "$beside_before" = 0 ] && rm -f "$clidir/tavlo-gone-table.dbf" "$clidir/tavlo-gone-table.dbt"
}
beside_before=1
trap cleanup EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

printf 'name="NAME" type="string" size="12"\r\n' > "$work/people.def"
beside_before=$(ls "$clidir" | grep -c '^tavlo-gone-table\.dbf$')

mkdir "$work/gone"
cd "$work/gone" && rmdir "$work/gone"
err=$("$cli" create tavlo-gone-table.dbf "$work/people.def" 2>&1); rc=$?
[ $rc -eq 1 ] || fail "create in a deleted folder exited $rc"
[[ "$err" == "tavlo-cli: cannot tell the current folder ("*"), so tavlo-gone-table.dbf cannot be found; give the full path" ]] ||
  fail "create message: $err"
[ -e "$clidir/tavlo-gone-table.dbf" ] && [ "$beside_before" = 0 ] &&
  fail "created a table beside the program"
err=$("$cli" dump tavlo-gone-table.dbf 2>&1); rc=$?
[ $rc -eq 1 ] || fail "dump in a deleted folder exited $rc"
[[ "$err" == "tavlo-cli: cannot tell the current folder ("*")"* ]] || fail "dump message: $err"
cd "$work"

for name in "" "/" "sub/" ".dbf"; do
  err=$("$cli" create "$name" people.def 2>&1); rc=$?
  [ $rc -eq 1 ] || fail "create '$name' exited $rc"
  [ "$err" = "tavlo-cli: '$name' names no table file; give a name such as people.dbf" ] ||
    fail "create '$name': $err"
done
[ -e "$work/.dbf" ] && fail "created ./.dbf"
[ "$root_had" = no ] && [ -e /.dbf ] && fail "created /.dbf"
exit $failures
