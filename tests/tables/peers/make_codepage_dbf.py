#!/usr/bin/python3
"""Writes a FoxPro table in a given code page with python3-dbf: one record per text, the
text both in NAME C(30) and in the memo NOTES. Arguments: path codepage text..."""
import sys

import dbf

table = dbf.Table(sys.argv[1], "name C(30); notes M", dbf_type="fp", codepage=sys.argv[2])
table.open(dbf.READ_WRITE)
for text in sys.argv[3:]:
    table.append((text, text))
table.close()
