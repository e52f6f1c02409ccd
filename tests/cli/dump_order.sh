#!/bin/bash
# tavlo-cli dump --order against an independent reference written in Python: a table with
# every orderable type, nulls, equal keys, case-differing texts and a deleted record, ordered
# by one and by two fields, ascending and descending; and the usage errors.
set -u
cli=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
export LC_ALL=C LANG=C TAVLO_OEM_CODEPAGE=850 TAVLO_ANSI_CODEPAGE=1252
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

/usr/bin/python3 - <<'EOF'
import random, struct
rng = random.Random(7)
fields = [("NAME", b"C", 8, 0), ("CITY", b"C", 9, 0), ("QTY", b"N", 5, 0),
          ("PRICE", b"N", 8, 2), ("SEEN", b"D", 8, 0), ("OK", b"L", 1, 0)]
cities = ["Paris", "paris", "PARIS", "Oslo", "oslo x", "Rome", "", "Berlin"]
rows = []
for i in range(300):
    rows.append(("*" if i % 37 == 5 else " ", f"n{i:03d}", rng.choice(cities),
                 "" if rng.random() < 0.1 else str(rng.randint(-50, 50)),
                 "" if rng.random() < 0.1 else f"{rng.randint(-9999, 99999) / 100:.2f}",
                 "" if rng.random() < 0.1 else f"{rng.randint(1990, 2030)}{rng.randint(1, 12):02d}{rng.randint(1, 28):02d}",
                 rng.choice(["T", "F", "?", " ", "t", "n"])))
record_size = 1 + sum(f[2] for f in fields)
header_size = 32 + 32 * len(fields) + 1
with open("all.dbf", "wb") as out:
    out.write(struct.pack("<BBBBIHH20x", 3, 126, 12, 9, len(rows), header_size, record_size))
    for name, kind, length, dec in fields:
        out.write(struct.pack("<11sc4xBB14x", name.encode(), kind, length, dec))
    out.write(b"\r")
    for r in rows:
        out.write(r[0].encode() + r[1].encode().ljust(8) + r[2].encode().ljust(9) +
                  r[3].encode().rjust(5) + r[4].encode().rjust(8) + r[5].encode().ljust(8) +
                  r[6].encode())
    out.write(b"\x1a")

def key(r, field):
    v = {"CITY": r[2], "QTY": r[3], "PRICE": r[4], "SEEN": r[5], "OK": r[6]}[field].strip()
    if field == "OK":
        # "?" is a logical never set, null like a blank; T t Y y are true, other letters false.
        return (0, 0) if v in ("", "?") else (1, int(v in "TtYy"))
    if v == "":
        return (0, 0)
    if field == "CITY":
        return (1, v.upper())
    if field == "SEEN":
        return (1, v)
    return (1, float(v))

live = [(i, r) for i, r in enumerate(rows) if r[0] == " "]
for name, fields_, desc in [("city", ["CITY"], False), ("qty_seen", ["QTY", "SEEN"], False),
                            ("price_desc", ["PRICE"], True), ("ok_city", ["OK", "CITY"], True)]:
    # Descending reverses the keys; equal keys stay in file order either way.
    ordered = sorted(live, key=lambda p: [key(p[1], f) for f in fields_], reverse=desc)
    if desc:
        groups, result = {}, []
        for p in ordered:
            groups.setdefault(tuple(tuple(key(p[1], f)) for f in fields_), []).append(p)
        seen = set()
        for p in ordered:
            k = tuple(tuple(key(p[1], f)) for f in fields_)
            if k not in seen:
                seen.add(k)
                result += sorted(groups[k])
        ordered = result
    with open(f"expect_{name}.txt", "w") as out:
        out.write("\n".join(r[1] for _, r in ordered) + "\n")
EOF

run() { "$cli" dump all.dbf --tsv "$@" | tail -n +2 | cut -f1; }
run --order CITY > got_city.txt
run --order qty,SEEN > got_qty_seen.txt
run --order PRICE --descending > got_price_desc.txt
run --order OK,CITY --descending > got_ok_city.txt
for name in city qty_seen price_desc ok_city; do
  cmp -s "expect_$name.txt" "got_$name.txt" || fail "order $name differs: $(diff "expect_$name.txt" "got_$name.txt" | head -5)"
done
[[ $(run --order CITY | wc -l) == $("$cli" dump all.dbf --count) ]] || fail "ordered dump lost records"

out=$("$cli" dump all.dbf --order NOPE 2>&1) && fail "unknown field accepted"
[[ "$out" == *"Field 'NOPE' not found"* ]] || fail "unknown field message: $out"
out=$("$cli" dump all.dbf --descending 2>&1) && fail "--descending alone accepted"
[[ "$out" == *"--descending needs --order"* ]] || fail "descending message: $out"
out=$("$cli" dump all.dbf --order 'CITY,' 2>&1) && fail "empty field name accepted"
[[ "$out" == *"empty field name"* ]] || fail "empty name message: $out"

exit $((failures > 0))
