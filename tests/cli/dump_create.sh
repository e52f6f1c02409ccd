#!/bin/bash
# tavlo-cli create and dump as a user runs them: definition texts that make a table or
# nothing, CSV quoting, the code-page translation to UTF-8, and the error exits.
set -u
cli=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
export LC_ALL=C LANG=C TAVLO_OEM_CODEPAGE=850 TAVLO_ANSI_CODEPAGE=1252
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
expect_eq() { [[ "$1" == "$2" ]] || fail "$3: got [$1], expected [$2]"; }

# A definition whose last line ends with a line break works; the table is empty.
printf 'name="NAME" type="string" size="12"\r\nname="AGE" type="integer"\r\n' > people.def
out=$("$cli" create people.txt people.def) || fail "create exits 0"
expect_eq "$out" "$work/people.dbf" "create prints the table path"
expect_eq "$(stat -c %s people.dbf)" "98" "the 98-byte table"
expect_eq "$("$cli" dump people.dbf | od -An -c | tr -s ' ')" " N A M E , A G E \r \n" \
  "header row only"
expect_eq "$("$cli" dump people.dbf --count)" "0" "no records"

# An existing table is refused and left alone.
before=$(md5sum < people.dbf)
err=$("$cli" create people people.def 2>&1 >/dev/null); rc=$?
expect_eq "$rc" "1" "create over an existing table exits 1"
expect_eq "$err" "tavlo-cli: $work/people.dbf allready exists" "existing table message"
expect_eq "$(md5sum < people.dbf)" "$before" "existing table untouched"

# An incomplete definition creates nothing and says which line.
printf 'name="A" type="integer"\r\n\r\nname="B" type="date"\r\n' > gap.def
err=$("$cli" create gap.dbf gap.def 2>&1); rc=$?
expect_eq "$rc" "1" "incomplete definition exits 1"
expect_eq "$err" "tavlo-cli: line 2 of gap.def has no name; no table created" "incomplete message"
[[ -e gap.dbf ]] && fail "no table for an incomplete definition"

printf 'name="LONGERTHAN10" type="boolean"\r\n' > long.def
err=$("$cli" create long.dbf long.def 2>&1); rc=$?
expect_eq "$rc" "1" "long name exits 1"
expect_eq "$err" "tavlo-cli: Field name 'LONGERTHAN10' is longer than 10 characters (line 1)" \
  "long name"
[[ -e long.dbf ]] && fail "no table for a long name"

# "~~" reads as a line break: a name beginning with it once made a table that would not open.
printf 'name="A" type="string" size="5"\r\nname="~~B" type="string" size="5"\r\n' > tilde.def
err=$("$cli" create tilde.dbf tilde.def 2>&1); rc=$?
expect_eq "$rc" "1" "a name with a line break exits 1"
expect_eq "$err" "tavlo-cli: Field name '\\x0D\\x0AB' may hold only letters A-Z, digits 0-9 and _, \
and must begin with a letter (line 2; ~~ in a definition is read as a line break)" "line break in a name"
[[ -e tilde.dbf || -e tilde.dbt ]] && fail "no table for a name with a line break"

# The language byte names the page the text is stored in (850 here), as other programs read it.
expect_eq "$(od -An -tx1 -j29 -N1 people.dbf | tr -d ' ')" "02" "language byte of page 850"
expect_eq "$("$cli" info people.dbf | grep '^Code page')" "Code page: 850 (language byte 0x02)" \
  "info names the page"

printf 'name="A" type="date"\r\nname="a" type="memo"\r\n' > twice.def
err=$("$cli" create twice.dbf twice.def 2>&1)
expect_eq "$err" "tavlo-cli: A component named a already exists" "repeated name"

: > empty.def
err=$("$cli" create empty.dbf empty.def 2>&1); rc=$?
expect_eq "$rc" "1" "empty definition exits 1"
[[ -e empty.dbf ]] && fail "no table for an empty definition"

# A hand-made table: CSV quoting, OEM text shown as UTF-8, a deleted record.
{
  printf '\x03\x7e\x0c\x09\x03\x00\x00\x00\x41\x00\x0b\x00'
  printf '\x00%.0s' {1..17}; printf '\x58\x00\x00'
  printf 'TEXT\x00\x00\x00\x00\x00\x00\x00C\x00\x00\x00\x00\x0a\x00'
  printf '\x00%.0s' {1..14}
  printf '\x0d'
  printf ' a,"b"     '
  printf '*deleted   '
  printf ' caf\x82     '
  printf '\x1a'
} > hand.dbf
expect_eq "$("$cli" dump hand.dbf | tr -d '\r')" $'TEXT\n"a,""b"""\ncafé' "quoted and translated"
expect_eq "$("$cli" dump hand.dbf --deleted --tsv)" $'_deleted\tTEXT\n\ta,"b"\n*\tdeleted\n\tcafé' \
  "deleted records with --deleted"
expect_eq "$("$cli" dump hand.dbf --count)" "2" "count leaves out the deleted record"

# Failures and usage.
err=$("$cli" dump missing.dbf 2>&1); rc=$?
expect_eq "$rc" "1" "missing table exits 1"
expect_eq "$err" "tavlo-cli: Open: Table file not found : $work/missing.dbf" "missing table"
"$cli" dump > /dev/null 2>&1; expect_eq "$?" "2" "dump without a table is a usage error"
"$cli" dump hand.dbf --bogus > /dev/null 2>&1; expect_eq "$?" "2" "unknown option"
"$cli" create only-one > /dev/null 2>&1; expect_eq "$?" "2" "create needs two arguments"

if ((failures > 0)); then
  echo "$failures check(s) failed"
  exit 1
fi
echo ok
