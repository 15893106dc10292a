#!/usr/bin/python3
"""Prints a table as JSON read by python3-dbf: [{"recno", "deleted", "fields": {...}}]."""
import datetime
import json
import sys

import dbf


def plain(value):
    if value is None:
        return None
    if isinstance(value, (datetime.date, datetime.datetime)):
        return value.strftime("%Y%m%d")
    if isinstance(value, bool):
        return value
    if isinstance(value, (int, float)):
        return float(value)
    if isinstance(value, bytes):
        return value.decode("cp1252")
    if type(value).__name__ in ("Logical",):
        return bool(value) if value in (True, False) else None
    return str(value).rstrip()


def main():
    table = dbf.Table(sys.argv[1])
    table.open(dbf.READ_ONLY)
    rows = []
    for record in table:
        rows.append({
            "recno": dbf.recno(record) + 1,
            "deleted": bool(dbf.is_deleted(record)),
            "fields": {name.upper(): plain(record[name]) for name in table.field_names},
        })
    table.close()
    json.dump(rows, sys.stdout, ensure_ascii=False)


main()
