#!/usr/bin/python3
"""Tables made by `tavlo-cli create` open in dbfread and python3-dbf with the right types;
records those programs write (and delete) come back through `tavlo-cli dump` as CSV."""
import csv
import io
import os
import subprocess
import sys
import tempfile

import dbf
import dbfread

CLI = sys.argv[1]
ENV = dict(os.environ, LC_ALL="C", LANG="C", TAVLO_OEM_CODEPAGE="437", TAVLO_ANSI_CODEPAGE="1252")
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAIL:", what)


def run(*arguments):
    return subprocess.run([CLI, *arguments], capture_output=True, env=ENV)


with tempfile.TemporaryDirectory() as folder:
    definition = os.path.join(folder, "people.txt")
    with open(definition, "wb") as f:
        f.write(b'name="NAME" type="string" size="20"\r\n'
                b'name="AGE" type="integer"\r\n'
                b'name="ACTIVE" type="boolean"\r\n'
                b'name="BORN" type="date"\r\n'
                b'name="PRICE" type="float"\r\n'
                b'name="NOTE" type="memo"\r\n')
    table = os.path.join(folder, "people.dbf")
    result = run("create", os.path.join(folder, "people.txt"), definition)
    check(result.returncode == 0, "create exits 0: %r" % result.stderr)
    check(result.stdout.decode().strip() == table, "create prints the table path")

    # dbfread sees the descriptors as created.
    fields = {f.name: (f.type, f.length, f.decimal_count) for f in dbfread.DBF(table).fields}
    check(fields == {"NAME": ("C", 20, 0), "AGE": ("N", 11, 0), "ACTIVE": ("L", 1, 0),
                     "BORN": ("D", 8, 0), "PRICE": ("N", 20, 4), "NOTE": ("M", 10, 0)},
          "descriptors read by dbfread: %r" % fields)
    check(len(dbfread.DBF(table)) == 0, "a new table has no records")

    # python3-dbf writes records into it, one of them deleted afterwards.
    t = dbf.Table(table)
    t.open(dbf.READ_WRITE)
    t.append(("Ann, \"the\" first", 30, True, dbf.Date(2024, 2, 29), 12.5, "line one\r\nline two"))
    t.append(("Bob", -7, False, dbf.Date(1985, 1, 1), -0.25, ""))
    t.append(("Gone", 1, None, None, None, "deleted memo"))
    t.append(("Caf\u00e9", None, None, None, 1234567.125, None))
    dbf.delete(t[2])
    t.close()

    result = run("dump", table)
    check(result.returncode == 0, "dump exits 0: %r" % result.stderr)
    text = result.stdout.decode("utf-8")
    check("\r\n" in text, "CSV lines end with CR LF")
    rows = list(csv.reader(io.StringIO(text, newline="")))
    expected = [
        ["NAME", "AGE", "ACTIVE", "BORN", "PRICE", "NOTE"],
        ["Ann, \"the\" first", "30", "True", "2024-02-29", "12.5", "line one\r\nline two"],
        ["Bob", "-7", "False", "1985-01-01", "-0.25", ""],
        # python3-dbf stores an unknown logical as "?" (null, as every reader reads it) and
        # gives every memo a block.
        ["Caf\u00e9", "", "", "", "1234567.125", ""],
    ]
    check(rows[0] == expected[0], "header row: %r" % rows[0])
    check(rows[1:] == expected[1:], "records: %r" % rows[1:])
    result = run("dump", table, "--date-format", "regional")
    rows = list(csv.reader(io.StringIO(result.stdout.decode("utf-8"), newline="")))
    check(rows[1][3] == "02/29/2024", "regional dates: %r" % rows[1])

    result = run("dump", table, "--count")
    check(result.stdout == b"3\n", "count of visible records: %r" % result.stdout)
    result = run("dump", table, "--deleted", "--count")
    check(result.stdout == b"4\n", "count with deleted records: %r" % result.stdout)
    result = run("dump", table, "--deleted", "--tsv")
    lines = result.stdout.decode("utf-8").split("\n")
    check(lines[0] == "_deleted\tNAME\tAGE\tACTIVE\tBORN\tPRICE\tNOTE", "TSV header: %r" % lines[0])
    check(lines[3].startswith("*\tGone\t1\t"), "deleted record marked: %r" % lines[3])

    # Dumping never writes to the table.
    before = open(table, "rb").read()
    run("dump", table)
    check(open(table, "rb").read() == before, "dump leaves the table file unchanged")

    # An existing table is refused, whatever extension was given.
    result = run("create", os.path.join(folder, "people.xyz"), definition)
    check(result.returncode == 1, "create over an existing table fails")
    check(result.stderr.decode() == "tavlo-cli: %s allready exists\n" % table,
          "message names the path: %r" % result.stderr)
    check(open(table, "rb").read() == before, "the existing table is untouched")

if failures:
    print("%d check(s) failed" % len(failures))
    sys.exit(1)
print("ok")
