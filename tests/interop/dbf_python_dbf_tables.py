#!/usr/bin/python3
"""Tables written by python3-dbf (dBase III: C, N with and without decimals, F, L, D and M
fields, a .dbt memo, deleted records) decode in Tavlo to the values python3-dbf reads back,
and tavlo-cli info reports their structure. argv[1] is tavlo-cli."""
import datetime
import json
import os
import subprocess
import sys
import tempfile

import dbf

CLI = sys.argv[1]
HELPER = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(CLI))),
                      "tests", "dbf", "dbf_interop_helper")

ROWS = [
    ("Anna", 31, 12345, 1234.5, 1.25, True, datetime.date(1990, 5, 17), "hello memo"),
    ("Boris", -7, -2147483, -2.25, None, False, None, ""),
    ("Clara", None, 0, None, -0.5, None, datetime.date(2000, 2, 29), "x" * 700),
    ("", 999, 99999999999, 99999.99, 123.456, True, datetime.date(1, 1, 1),
     "two\r\nlines and a \x1a inside"),
]
DELETED = {1, 3}
SPEC = "name C(20); age N(3,0); big N(11,0); salary N(8,2); rate F(8,3); ok L; born D; notes M"


def fail(message):
    print("FAIL:", message)
    sys.exit(1)


def main():
    if not os.path.exists(HELPER):
        fail(f"{HELPER} is missing: build the dbf_interop_helper target")
    folder = tempfile.mkdtemp(prefix="tavlo-interop-")
    path = os.path.join(folder, "people.dbf")
    table = dbf.Table(path, SPEC, dbf_type="db3")
    table.open(dbf.READ_WRITE)
    for row in ROWS:
        table.append(row)
    for index in DELETED:
        dbf.delete(table[index])
    table.close()

    out = subprocess.run([HELPER, "dump", path], capture_output=True, text=True, check=True)
    decoded = [json.loads(line) for line in out.stdout.splitlines()]
    if len(decoded) != len(ROWS):
        fail(f"{len(decoded)} records, expected {len(ROWS)}")

    table = dbf.Table(path)
    table.open(dbf.READ_ONLY)
    names = [n.upper() for n in table.field_names]
    for index, (record, mine) in enumerate(zip(table, decoded)):
        if mine["_deleted"] != dbf.is_deleted(record):
            fail(f"record {index}: deletion flag {mine['_deleted']}")
        for name in names:
            theirs = record[name.lower()]
            ours = mine[name]
            if isinstance(theirs, str):
                theirs = theirs.rstrip()
                ours = "" if ours is None else ours
            elif isinstance(theirs, datetime.date):
                theirs = theirs.isoformat()
            if isinstance(theirs, float) and isinstance(ours, (int, float)):
                same = abs(theirs - ours) < 1e-9
            else:
                same = theirs == ours
            if not same:
                fail(f"record {index} field {name}: tavlo {ours!r}, python3-dbf {theirs!r}")
    table.close()

    info = subprocess.run([CLI, "info", path], capture_output=True, text=True)
    if info.returncode != 0:
        fail("info failed: " + info.stderr)
    text = info.stdout
    for needle in ["Version byte: 0x83", "Level: 0", f"Records: {len(ROWS)}",
                   "Memo file: " + os.path.join(folder, "people.dbt"), "Index files: none",
                   "Fields: 8"]:
        if needle not in text:
            fail(f"info lacks {needle!r}:\n{text}")
    expected_types = {"NAME": ("C", "String"), "AGE": ("N", "Smallint"),
                      "BIG": ("N", "Integer"), "SALARY": ("N", "Float"),
                      "RATE": ("F", "Float"), "OK": ("L", "Boolean"), "BORN": ("D", "Date"),
                      "NOTES": ("M", "Memo")}
    for line in text.splitlines():
        parts = line.split()
        if len(parts) == 6 and parts[1] in expected_types:
            if (parts[2], parts[5]) != expected_types.pop(parts[1]):
                fail("wrong field line: " + line)
    if expected_types:
        fail(f"fields missing from info: {sorted(expected_types)}")
    if info.stderr:
        fail("unexpected opening message: " + info.stderr)
    print("ok")


main()
