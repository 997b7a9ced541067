#!/usr/bin/python3
"""Prints an export file's rows as JSON, read by a reader that is not ours: xlrd for .xls, openpyxl
for .xlsx, html.parser for .html (its title, store line and table cells; the export time is left
out, it differs between two runs). Usage: readexport.py FILE"""
import json
import sys
from html.parser import HTMLParser


def xls(path):
    import xlrd
    sheet = xlrd.open_workbook(path).sheet_by_index(0)
    return {"sheet": sheet.name, "rows": [[repr(c.value) for c in sheet.row(r)] for r in range(sheet.nrows)]}


def xlsx(path):
    import openpyxl
    sheet = openpyxl.load_workbook(path, read_only=True).worksheets[0]
    return {"sheet": sheet.title, "rows": [[repr(v) for v in row] for row in sheet.iter_rows(values_only=True)]}


class Page(HTMLParser):
    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.texts, self.rows, self.cell = [], [], None

    def handle_starttag(self, tag, attrs):
        if tag == "tr":
            self.rows.append([])
        elif tag in ("td", "th"):
            self.cell = ""

    def handle_endtag(self, tag):
        if tag in ("td", "th") and self.cell is not None:
            self.rows[-1].append(self.cell)
            self.cell = None

    def handle_data(self, data):
        if self.cell is not None:
            self.cell += data
        elif data.strip() and not data.strip().startswith("Exported at"):
            self.texts.append(data.strip())


def html(path):
    page = Page()
    with open(path, encoding="utf-8") as f:
        page.feed(f.read())
    return {"texts": page.texts, "rows": page.rows}


path = sys.argv[1]
ending = path.rsplit(".", 1)[-1].lower()
print(json.dumps({"xls": xls, "xlsx": xlsx, "html": html}[ending](path)))
