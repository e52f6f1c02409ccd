#!/bin/bash
# tavlo-cli report as a user runs it: sections and markers over the visible records, the
# template's and the table's bytes unconverted, --filter and --output, and every way no
# report is made (no record body, no record accepted, unreadable template or table, an output
# that cannot be created): exit 1 with the message and no file written. $1 is tavlo-cli.
set -u
cli=$(realpath "$1")
demo=$(cd "$(dirname "$0")/../../demo" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
export LC_ALL=C LANG=C TAVLO_OEM_CODEPAGE=850 TAVLO_ANSI_CODEPAGE=1252
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
expect_eq() { [[ "$1" == "$2" ]] || fail "$3: got [$1], expected [$2]"; }

# towns.dbf: NAME C(10), CITY C(8); record 3 deleted; "Zoé" stored in OEM 850 (0x82).
/usr/bin/python3 - <<'EOF2'
import struct
rows = [(" ", b"Ann", b"Paris"), (" ", b"Zo\x82", b"Lyon"), ("*", b"Dan", b"Paris"),
        (" ", b"[[CITY]]", b"Paris")]
fields = [("NAME", b"C", 10), ("CITY", b"C", 8)]
record_size = 1 + sum(f[2] for f in fields)
header_size = 32 + 32 * len(fields) + 1
with open("towns.dbf", "wb") as out:
    out.write(struct.pack("<BBBBIHH20x", 0x03, 126, 12, 9, len(rows), header_size, record_size))
    for name, kind, length in fields:
        out.write(struct.pack("<11sc4xBB14x", name.encode(), kind, length, 0))
    out.write(b"\r")
    for flag, name, city in rows:
        out.write(flag.encode() + name.ljust(10) + city.ljust(8))
    out.write(b"\x1a")
EOF2
printf '<reportheader><p>\xa7 Towns\r\n</reportheader>ignored<RecordHeader><tr></RecordHeader>'\
'<record><td>[[name]]</td><td>[[CITY]] [[Total]][[]]</td></record>'\
'<recordfooter></tr>\r\n</recordfooter><reportfooter></p></reportfooter>' > towns.drpt

expected=$(printf '<p>\xa7 Towns\r\n<tr><td>Ann</td><td>Paris Total</td></tr>\r\n'\
'<tr><td>Zo\xe9</td><td>Lyon Total</td></tr>\r\n'\
'<tr><td>[[CITY]]</td><td>Paris Total</td></tr>\r\n</p>' | od -An -tx1)
expect_eq "$("$cli" report towns.drpt towns.dbf | od -An -tx1)" "$expected" "report on stdout"

out=$("$cli" report towns.drpt towns.dbf --output out.html); rc=$?
expect_eq "$rc" "0" "--output exits 0"
expect_eq "$out" "" "--output prints nothing"
expect_eq "$(od -An -tx1 < out.html)" "$expected" "report in the output file"

expect_eq "$("$cli" report towns.drpt towns.dbf --filter ">CITY.get 'Paris' =" | grep -c '<tr>')" \
  "2" "filtered records only"

# A template whose record body comes before the record header makes no report.
printf '<record>[[NAME]]</record><recordheader>x</recordheader>' > late.drpt
err=$("$cli" report late.drpt towns.dbf --output late.html 2>&1 >/dev/null); rc=$?
expect_eq "$rc" "1" "no record body exits 1"
expect_eq "$err" "tavlo-cli: no report: late.drpt has no <record> section" "no body message"
[[ -e late.html ]] && fail "a file was written without a report"

err=$("$cli" report towns.drpt towns.dbf --filter "0" --output none.html 2>&1 >/dev/null); rc=$?
expect_eq "$rc" "1" "no accepted record exits 1"
expect_eq "$err" "tavlo-cli: no report: the filter accepts no record" "no record message"
[[ -e none.html ]] && fail "a file was written for no record"

err=$("$cli" report missing.drpt towns.dbf 2>&1 >/dev/null); rc=$?
expect_eq "$rc" "1" "missing template exits 1"
expect_eq "$err" "tavlo-cli: Cannot open file missing.drpt" "missing template message"

err=$("$cli" report towns.drpt missing.dbf 2>&1 >/dev/null); rc=$?
expect_eq "$rc" "1" "missing table exits 1"
[[ "$err" == tavlo-cli:*missing.dbf* ]] || fail "missing table message: [$err]"

printf 'not a table at all' > broken.dbf
err=$("$cli" report towns.drpt broken.dbf 2>&1 >/dev/null); rc=$?
expect_eq "$rc" "1" "unreadable table exits 1"
[[ "$err" == tavlo-cli:* ]] || fail "unreadable table message: [$err]"

err=$("$cli" report towns.drpt towns.dbf --output no/such/folder/r.html 2>&1 >/dev/null); rc=$?
expect_eq "$rc" "1" "uncreatable output exits 1"
expect_eq "$err" "tavlo-cli: Cannot create file no/such/folder/r.html" "uncreatable output message"

err=$("$cli" report towns.drpt towns.dbf --filter "1 nosuchword" 2>&1 >/dev/null); rc=$?
expect_eq "$rc" "1" "filter compile error exits 1"

for args in "" "towns.drpt" "towns.drpt towns.dbf extra" "towns.drpt towns.dbf --output" \
    "towns.drpt towns.dbf --bogus"; do
  # shellcheck disable=SC2086
  "$cli" report $args > /dev/null 2>&1
  expect_eq "$?" "2" "usage error for [$args]"
done

# The shipped templates make reports of the demo table: every visible client, all sections.
for pair in "clients.drpt:<td><b>" "template.html:<tr><td>"; do
  template=${pair%%:*} row=${pair#*:}
  out=$("$cli" report "$demo/reports/$template" "$demo/tables/clients.dbf"); rc=$?
  expect_eq "$rc" "0" "demo $template exits 0"
  expect_eq "$(grep -c "${row}Anna Berg" <<< "$out")" "1" "demo $template row"
  expect_eq "$(grep -o "$row" <<< "$out" | wc -l)" "24" "demo $template rows"
  [[ "$out" == *"</html>" ]] || fail "demo $template ends with its report footer"
  [[ "$out" == *"[["* ]] && fail "demo $template leaves a marker"
done

# The table is only read.
expect_eq "$(od -An -tx1 -j1 -N3 towns.dbf | tr -d ' ')" "7e0c09" "header date untouched"

[[ $failures -eq 0 ]] || exit 1
echo "report: all passed"
