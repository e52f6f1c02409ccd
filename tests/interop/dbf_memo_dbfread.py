#!/usr/bin/python3
"""Memo texts that Tavlo stores at level 0 (new, rewritten in place, moved to the end,
straddling a block boundary) read back in dbfread with the same texts. argv[1] is tavlo-cli."""
import os
import subprocess
import sys
import tempfile

import dbf
import dbfread

CLI = sys.argv[1]
HELPER = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(CLI))),
                      "tests", "dbf", "dbf_interop_helper")


def fail(message):
    print("FAIL:", message)
    sys.exit(1)


def set_memo(table, record, text, folder):
    text_path = os.path.join(folder, "text.bin")
    with open(text_path, "wb") as out:
        out.write(text.encode("latin-1"))
    done = subprocess.run([HELPER, "setmemo", table, "NOTES", str(record), text_path],
                          capture_output=True, text=True)
    if done.returncode != 0:
        fail("setmemo failed: " + done.stderr)
    return int(done.stdout)


def main():
    if not os.path.exists(HELPER):
        fail(f"{HELPER} is missing: build the dbf_interop_helper target")
    folder = tempfile.mkdtemp(prefix="tavlo-interop-")
    path = os.path.join(folder, "memos.dbf")
    table = dbf.Table(path, "id N(3,0); notes M", dbf_type="db3")
    table.open(dbf.READ_WRITE)
    for i in range(5):
        table.append((i, ""))
    table.close()

    expected = {
        0: "Hello",
        1: "s" * 511,  # its terminator straddles two blocks
        2: "line one\r\nline two\r\n" * 40,
        3: "tab\tand high bytes \xe9\xfc",
        4: "",
    }
    blocks = {r: set_memo(path, r, t, folder) for r, t in expected.items()}
    if blocks[4] != 0:
        fail(f"an empty memo got block {blocks[4]}")

    # A shorter text keeps its blocks; a longer one moves to the end of the file.
    expected[2] = "shorter"
    if set_memo(path, 2, expected[2], folder) != blocks[2]:
        fail("a shorter memo did not stay in place")
    expected[0] = "grown " * 200
    if set_memo(path, 0, expected[0], folder) <= max(blocks.values()):
        fail("a grown memo was not appended")

    for index, record in enumerate(dbfread.DBF(path, encoding="latin-1", char_decode_errors="strict")):
        got = record["NOTES"] or ""
        if got != expected[index]:
            fail(f"record {index}: dbfread read {got[:40]!r}... ({len(got)} bytes), "
                 f"expected {len(expected[index])} bytes")
    print("ok")


main()
