#!/usr/bin/python3
"""Adds damaged copies of real files to the corpora: the SQLite file cut to
70, 80 and 90 %, the dBase file with its second field descriptor zeroed, the
SAS file with its first page header zeroed, and the LibreOffice workbook
with one bit of its first sheet's deflated data flipped (as an archive of
the zip and xlsx targets) or cut in half. The importer test of damaged
files (tests/import/damaged_files_test.cpp) makes the same copies. Run from
this folder."""

FIXTURES = "../import/fixtures/"


def read(path):
    with open(FIXTURES + path, "rb") as f:
        return bytearray(f.read())


def write(path, data):
    with open("corpus/" + path, "wb") as f:
        f.write(data)


sqlite = read("sqlite/tables.sqlite")
for percent in (70, 80, 90):
    write("sqlite/truncated%d" % percent, sqlite[: len(sqlite) * percent // 100])

dbf = read("dbf/people.dbf")
dbf[64:96] = bytes(32)
write("dbf/zeroed_descriptor", dbf)

# sas.sas7bdat: a 64-bit file whose 8192-byte header is followed by pages
# whose headers take 40 bytes.
sas = read("stat/sas.sas7bdat")
sas[8192:8232] = bytes(40)
write("sas7bdat/zeroed_page_header.sas7bdat", sas)

xlsx = read("excel/libreoffice.xlsx")
flipped = bytearray(xlsx)
flipped[2000] ^= 16  # in the deflated data of xl/worksheets/sheet1.xml
write("xlsx/flipped_sheet.archive", b"\0" + flipped)
write("zip/flipped_sheet.zip", flipped)
write("xlsx/truncated.archive", b"\0" + xlsx[: len(xlsx) // 2])
