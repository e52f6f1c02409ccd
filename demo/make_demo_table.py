#!/usr/bin/python3
"""Writes the demo table tables/clients.dbf with its memo file clients.dbt: one field of every
type the program knows (text, small, whole and large numbers, a decimal number, a logical, a
date and a memo), 24 clients and one deleted record that the program hides.

usage: /usr/bin/python3 make_demo_table.py [FOLDER]   (default: tables beside this script)
"""
import datetime
import os
import sys

import dbf

CLIENTS = [
    ("Anna Berg", "Oslo", 12, 100234, 9000000000001, 1520.50, True, (2019, 3, 14)),
    ("Boris Ivanov", "Prague", 3, 100871, 9000000000002, 310.00, True, (2020, 7, 1)),
    ("Clara Dubois", "Paris", 27, 101002, 9000000000003, 7420.75, False, (2018, 11, 23)),
    ("David Rossi", "Rome", 8, 101115, 9000000000004, 980.20, True, (2021, 1, 5)),
    ("Elena Silva", "Lisbon", 15, 101340, 9000000000005, 2210.00, True, (2017, 5, 30)),
    ("Felix Muller", "Berlin", 1, 101477, 9000000000006, 45.90, False, (2022, 9, 12)),
    ("Greta Novak", "Vienna", 42, 101590, 9000000000007, 12999.99, True, (2016, 2, 29)),
    ("Hugo Smith", "London", 6, 101603, 9000000000008, 640.00, True, (2023, 4, 18)),
    ("Irina Kowalski", "Warsaw", 19, 101788, 9000000000009, 3305.10, False, (2019, 12, 2)),
    ("Jonas Berg", "Helsinki", 4, 101845, 9000000000010, 415.35, True, (2020, 10, 10)),
    ("Anna Rossi", "Madrid", 33, 101932, 9000000000011, 8800.00, True, (2015, 8, 21)),
    ("Boris Dubois", "Brussels", 2, 102011, 9000000000012, 120.00, False, (2024, 1, 15)),
    ("Clara Smith", "Dublin", 11, 102164, 9000000000013, 1999.00, True, (2018, 6, 6)),
    ("David Novak", "Zurich", 25, 102233, 9000000000014, 5100.40, True, (2017, 3, 3)),
    ("Elena Muller", "Athens", 7, 102390, 9000000000015, 730.80, False, (2021, 11, 27)),
    ("Felix Silva", "Paris", 14, 102456, 9000000000016, 2480.00, True, (2016, 9, 9)),
    ("Greta Ivanov", "London", 9, 102517, 9000000000017, 1130.25, True, (2022, 2, 14)),
    ("Hugo Kowalski", "Berlin", 21, 102680, 9000000000018, 4020.00, False, (2019, 7, 19)),
    ("Irina Berg", "Oslo", 5, 102749, 9000000000019, 560.60, True, (2023, 12, 24)),
    ("Jonas Rossi", "Rome", 38, 102893, 9000000000020, 9450.00, True, (2014, 4, 1)),
    ("Anna Novak", "Prague", 16, 102904, 9000000000021, 2750.90, False, (2020, 5, 5)),
    ("Boris Smith", "Vienna", 10, 103071, 9000000000022, 1600.00, True, (2018, 1, 31)),
    ("Clara Silva", "Lisbon", 23, 103150, 9000000000023, 3890.45, True, (2021, 8, 8)),
    ("David Muller", "Madrid", 13, 103266, 9000000000024, 2040.00, False, (2017, 10, 16)),
]

NOTES = {
    0: "Prefers e-mail.\r\nInvoices quarterly.",
    2: "Key account since 2018.\r\nAsk for Clara at reception.",
    6: "Large orders in spring; check stock in February.",
    10: "Pays in advance.",
    19: "Oldest client on file.\r\nSends a card every December.",
}


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "tables")
    os.makedirs(folder, exist_ok=True)
    path = os.path.join(folder, "clients.dbf")
    for ext in (".dbf", ".dbt"):
        if os.path.exists(path[:-4] + ext):
            os.remove(path[:-4] + ext)
    table = dbf.Table(path, "NAME C(25); CITY C(15); ORDERS N(4,0); CODE N(9,0); "
                      "ACCOUNT N(15,0); BALANCE N(10,2); ACTIVE L; JOINED D; NOTES M",
                      dbf_type="db3", codepage="cp437")
    table.open(dbf.READ_WRITE)
    for i, (name, city, orders, code, account, balance, active, joined) in enumerate(CLIENTS):
        table.append((name, city, orders, code, account, balance, active,
                      datetime.date(*joined), NOTES.get(i, "")))
    table.append(("Removed Client", "Nowhere", 0, 999999, 0, 0.0, False,
                  datetime.date(2000, 1, 1), "Deleted: the program never shows this record."))
    dbf.delete(table[-1])
    table.close()


if __name__ == "__main__":
    main()
