#!/usr/bin/python3
"""Tables that python3-dbf writes in each of its formats (db3, clp, fp, vfp) with every field
type it writes there, memos, nulls and the code pages cp437, cp850, cp866, cp1251 and cp1252
read back in Tavlo value by value as dbfread reads them; tavlo-cli dump prints the same text
and tavlo-cli info names the page. argv[1] is tavlo-cli."""
import csv
import datetime
import decimal
import io
import json
import os
import subprocess
import sys
import tempfile

import dbf
import dbfread

CLI = sys.argv[1]
HELPER = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(CLI))),
                      "tests", "dbf", "dbf_interop_helper")

FORMATS = {
    "db3": ("name C(20); count N(6,0); price N(9,2); rate F(10,3); ok L; born D; notes M",
            lambda text: [
                (text, 42, 1234.5, -0.125, True, datetime.date(1999, 12, 31), text + " memo"),
                ("", None, None, None, None, None, ""),
                ("second", -7, -0.5, 3.0, False, datetime.date(2024, 2, 29), "x" * 700),
            ]),
    "clp": ("name C(300); count N(6,0); ok L; born D; notes M",
            lambda text: [
                (text * 10, 42, True, datetime.date(1999, 12, 31), text + " memo"),
                ("", None, None, None, ""),
            ]),
    "fp": ("name C(20); count N(6,0); rate F(10,3); ok L; born D; notes M; pic G; obj P",
           lambda text: [
               (text, 42, -0.125, True, datetime.date(1999, 12, 31), text + " memo", None, None),
               ("", None, None, None, None, "", None, None),
           ]),
    "vfp": ("name C(20) null; count N(6,0); whole I; real B; money Y; stamp T; ok L null; "
            "born D null; notes M null; pic G; obj P",
            lambda text: [
                (text, 42, -3, 2.5, decimal.Decimal("12.3456"),
                 datetime.datetime(2024, 1, 2, 3, 4, 5), True, datetime.date(2020, 1, 1),
                 text + " memo", None, None),
                (None, None, 0, 0.0, 0, None, None, None, None, None, None),
                ("third", 7, 2147483646, -1e300, decimal.Decimal("-922337203685.4775"),
                 datetime.datetime(1899, 12, 30, 23, 59, 59), False, datetime.date(1, 1, 1),
                 "y" * 300, None, None),
            ]),
}
PAGES = {"cp437": "Müller Café", "cp850": "Müller Café", "cp1252": "Müller Café",
         "cp866": "Привет мир", "cp1251": "Привет мир"}

failures = []


def check(condition, message):
    if not condition:
        failures.append(message)


def same(theirs, ours):
    if isinstance(theirs, bytes):  # picture and object memos: compared by presence
        return (ours is not None) == bool(theirs)
    if theirs is None or theirs == "":
        return ours is None or ours == "" or ours == "(BLOB)" and theirs == ""
    if isinstance(theirs, str):
        return isinstance(ours, str) and theirs.rstrip() == ours
    if isinstance(theirs, bool):
        return ours is theirs
    if isinstance(theirs, datetime.datetime):
        return ours == theirs.strftime("%Y-%m-%dT%H:%M:%S")
    if isinstance(theirs, datetime.date):
        return isinstance(ours, str) and ours.startswith(theirs.isoformat() + "T")
    if isinstance(theirs, (int, float, decimal.Decimal)):
        if not isinstance(ours, (int, float)):
            return False
        theirs = float(theirs)
        return abs(theirs - ours) <= 1e-9 * max(1.0, abs(theirs))
    return theirs == ours


def one_table(folder, fmt, page):
    spec, rows_for = FORMATS[fmt]
    text = PAGES[page]
    path = os.path.join(folder, f"{fmt}_{page}.dbf")
    table = dbf.Table(path, spec, dbf_type=fmt, codepage=page)
    table.open(dbf.READ_WRITE)
    rows = rows_for(text)
    for row in rows:
        table.append(row)
    table.close()
    where = f"{fmt}/{page}"

    theirs = list(dbfread.DBF(path, encoding=page, char_decode_errors="strict"))
    out = subprocess.run([HELPER, "values", path], capture_output=True, text=True)
    check(out.returncode == 0, f"{where}: helper failed: {out.stderr}")
    ours = [json.loads(line) for line in out.stdout.splitlines()]
    check(len(ours) == len(theirs), f"{where}: {len(ours)} records, dbfread {len(theirs)}")
    for index, (their, our) in enumerate(zip(theirs, ours)):
        for name, value in their.items():
            if name.startswith("_"):
                continue  # the hidden _NullFlags field
            mine = our.get(name, "<missing>")
            check(same(value, mine),
                  f"{where} record {index} field {name}: tavlo {mine!r}, dbfread {value!r}")

    # The command line prints the same text for the character field.
    dump = subprocess.run([CLI, "dump", path], capture_output=True)
    check(dump.returncode == 0, f"{where}: dump failed: {dump.stderr!r}")
    lines = list(csv.reader(io.StringIO(dump.stdout.decode("utf-8"), newline="")))
    check(len(lines) == len(theirs) + 1, f"{where}: dump printed {len(lines)} lines")
    for their, line in zip(theirs, lines[1:]):
        check(line[0] == (their["NAME"] or "").rstrip(),
              f"{where}: dump NAME {line[0]!r}, dbfread {their['NAME']!r}")

    info = subprocess.run([CLI, "info", path], capture_output=True, text=True)
    number = page[2:]
    check(f"Code page: {number} (language byte" in info.stdout,
          f"{where}: info does not name page {number}:\n{info.stdout}")
    check(info.stderr == "", f"{where}: opening message: {info.stderr}")


def main():
    if not os.path.exists(HELPER):
        print(f"FAIL: {HELPER} is missing: build the dbf_interop_helper target")
        sys.exit(1)
    folder = tempfile.mkdtemp(prefix="tavlo-formats-")
    tables = 0
    for fmt in FORMATS:
        for page in PAGES:
            one_table(folder, fmt, page)
            tables += 1
    if failures:
        for failure in failures:
            print("FAIL:", failure)
        sys.exit(1)
    print(f"ok: {tables} tables")


main()
