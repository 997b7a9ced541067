#!/usr/bin/python3
"""Prints an exported file as an independent reader sees it, a line a row, cells joined by tabs.
A page (.html) through html.parser: its charset, the elements it uses, then the texts of its
paragraphs and table rows, a no-break space as "~". A workbook through xlrd (.xls) or openpyxl
(.xlsx): its sheets, then each cell as text, "=number", "@date time" (xlrd: with the number format;
"@serial value format" before March 1900, where xlrd names no day), or nothing when empty."""

import sys

name = sys.argv[1]


def value(v):
    if isinstance(v, (int, float)):
        return "=%d" % v if float(v).is_integer() else "=%r" % v
    return "" if v is None else str(v)


if name.endswith(".html"):
    from html.parser import HTMLParser

    class Page(HTMLParser):
        def __init__(self):
            super().__init__(convert_charrefs=True)
            self.tags, self.lines, self.cells, self.cell, self.text, self.charset = [], [], [], None, None, ""

        def paragraph_ends(self):
            if self.text is not None:
                self.lines.append(self.text.strip().replace("\r\n", "\n"))
            self.text = None

        def handle_starttag(self, tag, attrs):
            self.tags += [tag] if tag not in self.tags else []
            content = dict(attrs).get("content") or ""
            self.charset = content.split("charset=")[1] if tag == "meta" and "charset=" in content else self.charset
            if tag in ("td", "th"):
                self.cell = ""
            elif tag in ("p", "table") and self.cell is None:
                self.paragraph_ends()
                self.text = "" if tag == "p" else None

        def handle_endtag(self, tag):
            if tag in ("td", "th") and self.cell is not None:
                self.cells, self.cell = self.cells + [self.cell], None
            elif tag == "tr":
                self.lines, self.cells = self.lines + ["\t".join(self.cells)], []
            elif tag in ("p", "body"):
                self.paragraph_ends()

        def handle_data(self, data):
            if self.cell is not None:
                self.cell += data
            elif self.text is not None:
                self.text += data

    page = Page()
    with open(name, encoding="utf-8") as f:
        page.feed(f.read())
    print("charset: %s\nelements: %s" % (page.charset, " ".join(page.tags)))
    print("\n".join(page.lines).replace("\xa0", "~"))
elif name.endswith(".xls"):
    import xlrd

    book = xlrd.open_workbook(name, formatting_info=True)

    def cell(x):
        if x.ctype != xlrd.XL_CELL_DATE:
            return value(x.value) if x.ctype == xlrd.XL_CELL_NUMBER else x.value
        fmt = book.format_map[book.xf_list[x.xf_index].format_key].format_str
        try:
            return "@%04d-%02d-%02d %02d:%02d:%02d " % xlrd.xldate_as_tuple(x.value, book.datemode) + fmt
        except xlrd.xldate.XLDateAmbiguous:
            return "@serial %s %s" % (value(x.value)[1:], fmt)

    print("sheets:", ", ".join(book.sheet_names()))
    for row in book.sheet_by_index(0).get_rows():
        print("\t".join(map(cell, row)))
else:
    import openpyxl

    book = openpyxl.load_workbook(name, read_only=True)
    print("sheets:", ", ".join(book.sheetnames))
    for row in book.worksheets[0].iter_rows(values_only=True):
        print("\t".join(v.strftime("@%Y-%m-%d %H:%M:%S") if hasattr(v, "strftime") else value(v) for v in row))
