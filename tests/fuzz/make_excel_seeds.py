#!/usr/bin/python3
"""Makes the seed corpora of the zip, xlsx and xls fuzz targets from the
Excel fixtures of tests/import/fixtures/excel. Run from this folder.

xlsx seeds come in both of the target's forms: 0 then an archive, and 1
then the parts workbook, relationships, shared strings, styles and two
sheets joined by NUL bytes."""
import os
import shutil
import zipfile

FIXTURES = "../import/fixtures/excel/"
PARTS = ["xl/workbook.xml", "xl/_rels/workbook.xml.rels", "xl/sharedStrings.xml", "xl/styles.xml",
         "xl/worksheets/sheet1.xml", "xl/worksheets/sheet2.xml"]

for name in ("libreoffice.xlsx", "openpyxl.xlsx"):
    stem = os.path.splitext(name)[0]
    shutil.copy(FIXTURES + name, "corpus/zip/" + stem + ".zip")
    with open(FIXTURES + name, "rb") as f:
        archive = f.read()
    with open("corpus/xlsx/" + stem + ".archive", "wb") as f:
        f.write(b"\0" + archive)
    with zipfile.ZipFile(FIXTURES + name) as z:
        present = set(z.namelist())
        parts = [z.read(p) if p in present else b"" for p in PARTS]
    with open("corpus/xlsx/" + stem + ".parts", "wb") as f:
        f.write(b"\1" + b"\0".join(parts))
for name in ("libreoffice.xls", "xlwt.xls"):
    shutil.copy(FIXTURES + name, "corpus/xls/" + name)
with zipfile.ZipFile("corpus/zip/stored.zip", "w") as z:
    z.writestr(zipfile.ZipInfo("index.xml"), "<a/>")
    z.writestr("Data/text.txt", "words " * 50, compress_type=zipfile.ZIP_DEFLATED)
