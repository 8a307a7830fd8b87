#!/usr/bin/python3
"""Prints an .xlsx workbook as openpyxl and python's zipfile read it, as one JSON object: entries
([name, compression, isDirectory] per ZIP entry), times, badCrc (the first bad entry or null), sheets,
rows (the first sheet's texts, "" when empty), freeze (its frozen pane) and widths (by column letter)."""
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
