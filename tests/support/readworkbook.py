#!/usr/bin/python3
"""Prints the sheet names and the first sheet's rows ("" when empty) of an .xlsx workbook, as openpyxl
reads it, as one JSON object."""
import json
import re
import sys

import openpyxl
import openpyxl.reader.excel
from openpyxl.cell.text import Text
from openpyxl.xml.constants import SHEET_MAIN_NS
from openpyxl.xml.functions import iterparse

# Excel decodes every _xHHHH_; LibreOffice also one to three digits, when they give a control character
# or "_". A text must read back alike in both, so both are decoded here.
_ESCAPE = re.compile("_x([0-9A-Fa-f]{4})_|_x([0-9A-Fa-f]{1,3})_")


def _decode(match):
    value = int(match.group(1) or match.group(2), 16)
    return chr(value) if match.group(1) or value < 0x20 or value == 0x5F else match.group(0)


def _read_string_table(xml_source):
    # openpyxl 3.0 only strips "x005F_" from shared strings; spreadsheet programs decode the escapes
    # left to right, so that is done here on the text openpyxl parsed.
    strings = []
    for _, node in iterparse(xml_source):
        if node.tag == "{%s}si" % SHEET_MAIN_NS:
            strings.append(_ESCAPE.sub(_decode, Text.from_tree(node).content))
            node.clear()
    return strings


openpyxl.reader.excel.read_string_table = _read_string_table


book = openpyxl.load_workbook(sys.argv[1])
rows = [["" if value is None else str(value) for value in row] for row in book.worksheets[0].iter_rows(values_only=True)]
json.dump({"sheets": book.sheetnames, "rows": rows}, sys.stdout, ensure_ascii=True)
