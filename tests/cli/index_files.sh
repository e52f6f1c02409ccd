#!/bin/bash
# tavlo-cli and index files: info lists the production index found by header byte 28 with
# every tag, says when it is missing, lists --index-file files; dump, import and report take
# --index-file and refuse a file that is no index file. $1 is tavlo-cli.
set -u
cli="$1"
data="$(cd "$(dirname "$0")/../data/index" && pwd)"
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

cp "$data/VFPX-Samples/customers.dbf" "$dir/CUST.DBF"
cp "$data/VFPX-Samples/customers.cdx" "$dir/CUST.cdx"
"$cli" info "$dir/CUST.DBF" > "$dir/out" 2> "$dir/err" || fail "info exited with $?: $(cat "$dir/err")"
for needle in "Index files: 1" "  $dir/CUST.cdx: CDX, production" "Tags: 5" \
    "  CUSTOMERID (CUST.cdx): key customerid; for none; flags candidate; key C 5; keys 91; understood yes" \
    "  CITY (CUST.cdx): key UPPER(city); for none; flags none; key C 16; keys 91; understood yes"; do
  grep -qxF -- "$needle" "$dir/out" || fail "missing '$needle' in: $(cat "$dir/out")"
done

rm "$dir/CUST.cdx"
"$cli" info "$dir/CUST.DBF" > "$dir/out" 2>&1 || fail "info without its .cdx exited with $?"
grep -qxF "  production index $dir/CUST.CDX is missing" "$dir/out" || fail "missing: $(cat "$dir/out")"

# A table that names no index: the user's files, one not understood by its word.
cp "$data/XSharpPublic/customer.dbf" "$data/XSharpPublic/CUSTNUM.NTX" "$dir/"
cp "$data/VFPX-Samples/SavedCovLog.cdx" "$dir/cov.cdx"
"$cli" info "$dir/customer.dbf" --index-file "$dir/CUSTNUM.NTX" --index-file "$dir/cov.cdx" \
  > "$dir/out" 2>&1 || fail "info --index-file exited with $?"
grep -qxF "  $dir/CUSTNUM.NTX: NTX" "$dir/out" || fail "ntx line: $(cat "$dir/out")"
grep -qF "  CUSTNUM (CUSTNUM.NTX): key custnum; for !Deleted(); flags none; key N 5;" "$dir/out" ||
  fail "CUSTNUM line: $(cat "$dir/out")"
grep -qF "understood no: the table has no field" "$dir/out" || fail "reason: $(cat "$dir/out")"

[ "$("$cli" dump "$dir/customer.dbf" --count --index-file "$dir/CUSTNUM.NTX")" = 20 ] ||
  fail "dump --index-file"
"$cli" dump "$dir/customer.dbf" --index-file "$dir/customer.dbf" > /dev/null 2> "$dir/err"
[ $? -eq 1 ] || fail "a table as index file did not exit 1"
grep -qxF "tavlo-cli: $dir/customer.dbf is not an index file: its extension is not .cdx, .idx, .mdx, .ndx or .ntx" \
  "$dir/err" || fail "message: $(cat "$dir/err")"
"$cli" dump "$dir/customer.dbf" --index-file > /dev/null 2> "$dir/err"
[ $? -eq 2 ] || fail "--index-file without a file did not exit 2"
grep -qF "missing file after --index-file" "$dir/err" || fail "usage: $(cat "$dir/err")"
printf 'x' > "$dir/bad.ntx"
printf 'CUSTNUM\n' > "$dir/rows.csv"
before=$(md5sum < "$dir/customer.dbf")
"$cli" import "$dir/customer.dbf" "$dir/rows.csv" --index-file "$dir/bad.ntx" > /dev/null 2> "$dir/err"
[ $? -eq 1 ] || fail "import with a bad index file did not exit 1"
grep -qF "bad.ntx is not an NTX index file" "$dir/err" || fail "import message: $(cat "$dir/err")"
[ "$before" = "$(md5sum < "$dir/customer.dbf")" ] || fail "the refused import changed the table"
printf '<record>x</record>' > "$dir/t.drpt"
"$cli" report "$dir/t.drpt" "$dir/customer.dbf" --index-file "$dir/nothere.ntx" > /dev/null 2> "$dir/err"
[ $? -eq 1 ] || fail "report with a missing index file did not exit 1"
grep -qF "Cannot open file $dir/nothere.ntx" "$dir/err" || fail "report message: $(cat "$dir/err")"
echo ok
