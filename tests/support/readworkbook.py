#!/usr/bin/python3
"""Prints an .xlsx workbook as openpyxl and python's zipfile read it, as one JSON object:

  entries  [name, compression, isDirectory] of each ZIP entry, in order
  times    each entry's time stamp, "YYYY-MM-DDTHH:MM:SS"
  badCrc   the first entry whose CRC fails, or null
  sheets   the sheet names
  rows     the first sheet's cells as text, row by row (an empty cell is "")
  freeze   the first sheet's frozen pane, e.g. "A2"
  widths   the first sheet's column widths by letter
"""
import json
import re
import sys
import zipfile

import openpyxl
import openpyxl.reader.excel
from openpyxl.cell.text import Text
from openpyxl.xml.constants import SHEET_MAIN_NS
from openpyxl.xml.functions import iterparse

_ESCAPE = re.compile("_x([0-9A-Fa-f]{4})_")


def _read_string_table(xml_source):
    # openpyxl 3.0 only strips "x005F_" from shared strings; spreadsheet programs decode every
    # _xHHHH_ escape, left to right, so that is done here on the text openpyxl parsed.
    strings = []
    tag = "{%s}si" % SHEET_MAIN_NS
    for _, node in iterparse(xml_source):
        if node.tag == tag:
            text = Text.from_tree(node).content
            strings.append(_ESCAPE.sub(lambda m: chr(int(m.group(1), 16)), text))
            node.clear()
    return strings


openpyxl.reader.excel.read_string_table = _read_string_table


def main(path):
    with zipfile.ZipFile(path) as archive:
        infos = archive.infolist()
        result = {
            "entries": [[info.filename, info.compress_type, info.is_dir()] for info in infos],
            "times": ["%04d-%02d-%02dT%02d:%02d:%02d" % info.date_time for info in infos],
            "badCrc": archive.testzip(),
        }
    book = openpyxl.load_workbook(path)
    sheet = book.worksheets[0]
    result["sheets"] = book.sheetnames
    result["rows"] = [["" if value is None else str(value) for value in row]
                      for row in sheet.iter_rows(values_only=True)]
    result["freeze"] = sheet.freeze_panes
    result["widths"] = {letter: dim.width for letter, dim in sheet.column_dimensions.items()}
    json.dump(result, sys.stdout, ensure_ascii=True)


if __name__ == "__main__":
    main(sys.argv[1])
