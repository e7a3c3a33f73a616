"""Prints a dBase table as an independent reader sees it, for interop_test.cpp.

usage: read_dbf.py dbf|dbfread LAYOUT TABLE
LAYOUT is NAME:TYPE:DECIMALS,... in field order. Output: "count N", then
one line per record in record order: record number, '*' or '.', and the
field values, tab-separated. Text is right-trimmed with bytes outside
0x20..0x7E (and the backslash) written \\xNN; blank N, D and L are empty.
Exit status 3 when the reader module is not installed.
"""
import sys


def text(value, codec):
    out = []
    for b in value.rstrip(" ").encode(codec):
        out.append(chr(b) if 0x20 <= b < 0x7F and b != 0x5C else "\\x%02x" % b)
    return "".join(out)


def show(value, kind, decimals, codec):
    if kind == "C":
        return text(value, codec)
    if value is None:
        return ""
    if kind == "N":
        return "%.*f" % (decimals, value)
    if kind == "D":
        return value.strftime("%Y%m%d") if value else ""
    if kind == "L":
        return "T" if value else "F"
    raise ValueError(kind)


def main():
    reader, layout, path = sys.argv[1:4]
    fields = [(n, k, int(d)) for n, k, d in (f.split(":") for f in layout.split(","))]
    rows = []  # (recno, deleted, {name: value})
    try:
        if reader == "dbfread":
            import dbfread
            codec = "latin-1"
            table = dbfread.DBF(path, encoding=codec, char_decode_errors="strict")
            count = table.header.numrecords
            # Live and deleted records come separately: the first field
            # (the row's own number) puts them back in record order.
            for deleted, records in ((False, table), (True, table.deleted)):
                for r in records:
                    rows.append((int(r[fields[0][0]]), deleted, dict(r)))
            rows.sort(key=lambda row: row[0])
        else:
            import dbf
            codec = "cp1252"
            table = dbf.Table(path, codepage=codec)
            table.open(dbf.READ_ONLY)
            count = len(table)
            for i, r in enumerate(table):
                values = {n: r[n.lower()] for n, _, _ in fields}
                rows.append((i + 1, dbf.is_deleted(r), values))
            table.close()
    except ImportError as e:
        print("missing module:", e)
        return 3
    print("count", count)
    for recno, deleted, values in rows:
        cells = [show(values[n], k, d, codec) for n, k, d in fields]
        print("\t".join([str(recno), "*" if deleted else "."] + cells))
    return 0


if __name__ == "__main__":
    sys.exit(main())
