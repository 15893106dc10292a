#!/usr/bin/python3
"""Writes a FoxPro table with memos, dates, logicals, numbers, a deleted record and names
outside ASCII using python3-dbf. Argument: the table's path (".dbf")."""
import datetime
import sys

import dbf

table = dbf.Table(sys.argv[1], "name C(30); born D; member L; score N(6,2); notes M",
                  dbf_type="fp", codepage="cp1252")
table.open(dbf.READ_WRITE)
table.append(("Jürgen Müller", datetime.date(1970, 5, 17), True, 12.5,
              "A memo longer than one block. " * 12))
table.append(("Zoë Ångström", datetime.date(2001, 12, 31), False, -3.25, "short"))
table.append(("Deleted Person", datetime.date(1999, 1, 1), True, 0, "gone"))
table.append(("No Date", None, None, None, ""))
table.append(("Øre €uro", datetime.date(2024, 2, 29), True, 999.99, "line one\r\nline two"))
dbf.delete(table[2])
table.close()
