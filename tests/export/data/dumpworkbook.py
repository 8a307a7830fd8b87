#!/usr/bin/python3
"""Dumps an .xlsx workbook as JSON on stdout, read with openpyxl and zipfile.

Output: the ZIP entries (name, compression, sizes, flags, time, whether a directory), whether every
CRC checks out, the sheet names, and for the first sheet: every cell as [type, value] row by row,
the freeze pane, the column widths and the look of cells A1 and A2.
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


def color(c):
    return None if c is None else (c.rgb if c.type == "rgb" else c.type + ":" + str(c.value))


def look(cell):
    return {
        "bold": bool(cell.font.b),
        "fontColor": color(cell.font.color),
        "fill": cell.fill.fill_type,
        "fillColor": color(cell.fill.fgColor) if cell.fill.fill_type else None,
        "borders": [cell.border.left.style, cell.border.right.style, cell.border.top.style,
                    cell.border.bottom.style],
        "horizontal": cell.alignment.horizontal,
        "vertical": cell.alignment.vertical,
        "wrap": bool(cell.alignment.wrap_text),
    }


def main(path):
    result = {}
    with zipfile.ZipFile(path) as archive:
        result["entries"] = [
            {
                "name": info.filename,
                "compression": info.compress_type,
                "size": info.file_size,
                "compressedSize": info.compress_size,
                "isDir": info.is_dir(),
                "flags": info.flag_bits,
                "time": list(info.date_time),
            }
            for info in archive.infolist()
        ]
        result["badCrc"] = archive.testzip()

    book = openpyxl.load_workbook(path)
    result["sheets"] = book.sheetnames
    sheet = book.worksheets[0]
    result["rows"] = [[[cell.data_type, cell.value] for cell in row] for row in sheet.iter_rows()]
    result["freeze"] = sheet.freeze_panes
    result["widths"] = {
        letter: [dim.width, bool(dim.customWidth)] for letter, dim in sheet.column_dimensions.items()
    }
    result["looks"] = {ref: look(sheet[ref]) for ref in ("A1", "A2") if sheet.max_row >= int(ref[1:])}
    json.dump(result, sys.stdout, ensure_ascii=True)


if __name__ == "__main__":
    main(sys.argv[1])
