#!/usr/bin/python3
"""Writes the benchmark table: N records (default 1,000,000) of
NAME C(20), CITY C(15), AGE N(3,0), SALARY N(10,2), BORN D, ACTIVE L, every 50th deleted,
as a dBase III file, and the same rows (without the deleted ones) as an SQLite table t.

usage: make_big_table.py OUT.dbf [OUT.sqlite] [--records N]
"""
import datetime
import os
import random
import sqlite3
import struct
import sys

CITIES = ["Paris", "London", "Berlin", "Madrid", "Rome", "Vienna", "Prague", "Oslo",
          "Lisbon", "Dublin", "Warsaw", "Athens", "Helsinki", "Brussels", "Zurich"]
FIRST = ["Anna", "Boris", "Clara", "David", "Elena", "Felix", "Greta", "Hugo", "Irina", "Jonas"]
LAST = ["Smith", "Ivanov", "Muller", "Rossi", "Dubois", "Novak", "Silva", "Berg", "Kowalski"]
FIELDS = [("NAME", b"C", 20, 0), ("CITY", b"C", 15, 0), ("AGE", b"N", 3, 0),
          ("SALARY", b"N", 10, 2), ("BORN", b"D", 8, 0), ("ACTIVE", b"L", 1, 0)]


def rows(count):
    rng = random.Random(20261209)
    base = datetime.date(1950, 1, 1)
    for i in range(count):
        name = f"{rng.choice(FIRST)} {rng.choice(LAST)}"
        city = rng.choice(CITIES)
        age = rng.randint(18, 99)
        salary = rng.randint(100000, 99999999) / 100.0
        born = base + datetime.timedelta(days=rng.randint(0, 20000))
        active = rng.random() < 0.7
        deleted = i % 50 == 49
        yield deleted, name, city, age, salary, born, active


def write_dbf(path, count):
    record_size = 1 + sum(f[2] for f in FIELDS)
    header_size = 32 + 32 * len(FIELDS) + 1
    today = datetime.date.today()
    with open(path, "wb") as out:
        out.write(struct.pack("<BBBBIHH20x", 0x03, today.year - 1900, today.month, today.day,
                              count, header_size, record_size))
        offset = 1
        for name, kind, length, decimals in FIELDS:
            out.write(struct.pack("<11sc4xBB14x", name.encode(), kind, length, decimals))
            offset += length
        out.write(b"\r")
        chunk = []
        for deleted, name, city, age, salary, born, active in rows(count):
            chunk.append(b"*" if deleted else b" ")
            chunk.append(name.encode().ljust(20))
            chunk.append(city.encode().ljust(15))
            chunk.append(str(age).encode().rjust(3))
            chunk.append(f"{salary:.2f}".encode().rjust(10))
            chunk.append(born.strftime("%Y%m%d").encode())
            chunk.append(b"T" if active else b"F")
            if len(chunk) > 70000:
                out.write(b"".join(chunk))
                chunk = []
        out.write(b"".join(chunk))
        out.write(b"\x1a")


def write_sqlite(path, count):
    if os.path.exists(path):
        os.remove(path)
    db = sqlite3.connect(path)
    db.execute("create table t (name text, city text, age integer, salary real, born text,"
               " active integer)")
    db.executemany("insert into t values (?,?,?,?,?,?)",
                   ((n, c, a, s, b.isoformat(), int(act))
                    for d, n, c, a, s, b, act in rows(count) if not d))
    db.commit()
    db.close()


def main(argv):
    count = 1000000
    args = []
    i = 1
    while i < len(argv):
        if argv[i] == "--records":
            count = int(argv[i + 1])
            i += 2
        else:
            args.append(argv[i])
            i += 1
    if not args:
        sys.exit(__doc__)
    write_dbf(args[0], count)
    if len(args) > 1:
        write_sqlite(args[1], count)


if __name__ == "__main__":
    main(sys.argv)
