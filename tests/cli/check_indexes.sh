#!/bin/bash
# tavlo-cli check and index files: a sound production index adds nothing, a stale one is a
# problem with its first differences (exit 1), --index-file checks a file the table does not
# name, and a tag not understood is a note. $1 is tavlo-cli.
set -u
cli="$1"
data="$(cd "$(dirname "$0")/../data/index" && pwd)"
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

cp "$data/VFPX-Samples/customers.dbf" "$data/VFPX-Samples/customers.cdx" "$dir/"
"$cli" check "$dir/customers.dbf" > "$dir/out" 2>&1 || fail "sound index: exit $?: $(cat "$dir/out")"
grep -q "^Index" "$dir/out" && fail "sound index reported: $(cat "$dir/out")"

cp "$data/php-xbase/issue115.dbf" "$data/php-xbase/issue115.cdx" "$dir/"
"$cli" check "$dir/issue115.dbf" > "$dir/out" 2>&1
[ $? -eq 1 ] || fail "a stale index did not exit 1: $(cat "$dir/out")"
for needle in \
    "Index issue115.cdx, tag COD: the index is stale: it does not match the table (8 differences)" \
    "Index issue115.cdx, tag COD: record 2 with key '0002' is missing" \
    "Index issue115.cdx, tag DENUMIRE: 8 records missing" \
    "9 records (0 deleted); 20 problems found"; do
  grep -qxF -- "$needle" "$dir/out" || fail "missing '$needle' in: $(cat "$dir/out")"
done

cp "$data/XSharpPublic/customer.dbf" "$data/XSharpPublic/CUSTNAME.NTX" "$dir/"
cp "$data/VFPX-Samples/SavedCovLog.cdx" "$dir/cov.cdx"
(cd "$dir" && "$cli" check customer.dbf --index-file CUSTNAME.NTX --index-file cov.cdx) \
  > "$dir/out" 2>&1
[ $? -eq 1 ] || fail "stale --index-file did not exit 1: $(cat "$dir/out")"
grep -qxF "Index CUSTNAME.NTX, tag CUSTNAME: record 2 has key 'Borne     Maria', the index has 'Byrne     Maria'" \
  "$dir/out" || fail "first difference: $(cat "$dir/out")"
grep -qF "Note: Index cov.cdx, tag AVG: its keys were not checked: " "$dir/out" ||
  fail "not understood note: $(cat "$dir/out")"

"$cli" check "$dir/customer.dbf" --index-file > /dev/null 2> "$dir/err"
[ $? -eq 2 ] || fail "missing file after --index-file did not exit 2"
grep -qF "missing file after --index-file" "$dir/err" || fail "usage: $(cat "$dir/err")"
echo ok
