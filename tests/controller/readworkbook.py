"""Prints the rows of a workbook's only sheet as JSON, read by openpyxl: [title, [[cells]...]]."""
import json
import sys

import openpyxl

book = openpyxl.load_workbook(sys.argv[1], read_only=True)
sheet = book.worksheets[0]
rows = [["" if cell is None else str(cell) for cell in row] for row in sheet.iter_rows(values_only=True)]
print(json.dumps([sheet.title, rows], ensure_ascii=False))
