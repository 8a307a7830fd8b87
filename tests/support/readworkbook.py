#!/usr/bin/python3
"""Prints the sheet names and the first sheet's rows ("" when empty) of an .xlsx workbook, as openpyxl
reads it, as one JSON object."""
import json
import sys

import openpyxl

book = openpyxl.load_workbook(sys.argv[1])
rows = [["" if value is None else str(value) for value in row] for row in book.worksheets[0].iter_rows(values_only=True)]
json.dump({"sheets": book.sheetnames, "rows": rows}, sys.stdout, ensure_ascii=True)
