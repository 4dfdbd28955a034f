#!/usr/bin/env python3
"""Turns the T10 reference lists into the constant tables of libDravik.

Reads asc_ascq.tsv and vendor_ids.tsv (tab-separated, no header line) and
writes libDravik/ScsiAscTable.inc and libDravik/ScsiVendorTable.inc, two lists
of macro calls that the C++ side expands into its arrays:

  SCSI_ASC_ROW(asc, first, count)   one per ASC 00h..74h, before its entries;
                                    `first` is the row's position in the
                                    flat list of entries
  SCSI_ASC_TEXT(asc, ascq, text)    an assigned (or obsolete) place
  SCSI_ASC_UNASSIGNED(asc, ascq)    a place inside the row that the list
                                    leaves unassigned
  SCSI_ASC_RANGE(asc, first, last, text)
                                    one text for the qualifiers first..last
                                    of the ASC, all within 80h..FFh (a list
                                    line "ASC<TAB>80-FF<TAB>text"); after the
                                    row's entries
  SCSI_VENDOR(id, name)             one per vendor, ascending by the 8 bytes

Usage: gen_scsi_tables.py [--data DIR] [--out DIR] [--check]
  --data   folder of the two lists (default: libDravik/data)
  --out    folder of the generated files (default: libDravik)
  --check  write nothing; exit 1 when a generated file is missing or stale

Only Python's standard library is used.
"""

import argparse
import os
import sys

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DEFAULT_DATA = os.path.join(REPO, "libDravik", "data")
DEFAULT_OUT = os.path.join(REPO, "libDravik")

LAST_ASC = 0x74
# Rows hold qualifiers 00h..7Fh; those from 80h on are vendor specific unless
# the list assigns a range of them.
FIRST_RANGE_ASCQ = 0x80
UNASSIGNED = "Not in Specification"
VENDOR_ID_LENGTH = 8


class DataError(Exception):
    pass


def read_lines(path):
    with open(path, "rb") as f:
        raw = f.read()
    try:
        text = raw.decode("ascii")
    except UnicodeDecodeError as e:
        raise DataError("%s: not plain ASCII (byte %d)" % (path, e.start))
    if "\r" in text:
        raise DataError("%s: carriage return found; LF line ends expected" % path)
    lines = text.split("\n")
    if lines and lines[-1] == "":
        lines.pop()
    return lines


def c_string(text, where):
    """A C++ string literal of printable ASCII text."""
    out = []
    for ch in text:
        if ch in "\\\"":
            out.append("\\" + ch)
        elif ch == "?":
            out.append("\\?")  # no trigraphs, whatever the compiler's mode
        elif " " <= ch <= "~":
            out.append(ch)
        else:
            raise DataError("%s: unprintable character %r" % (where, ch))
    return '"' + "".join(out) + '"'


def parse_hex_byte(field, where):
    if len(field) != 2 or any(c not in "0123456789ABCDEF" for c in field):
        raise DataError("%s: %r is not two upper-case hexadecimal digits" % (where, field))
    return int(field, 16)


def read_asc(path):
    """Rows of (asc, [text or None for an unassigned place]) for 00h..74h,
    and per ASC its ranges [(first, last, text)] of qualifiers 80h..FFh."""
    rows = [[] for _ in range(LAST_ASC + 1)]
    ranges = [[] for _ in range(LAST_ASC + 1)]
    for number, line in enumerate(read_lines(path), 1):
        where = "%s:%d" % (path, number)
        fields = line.split("\t")
        if len(fields) != 3:
            raise DataError("%s: expected ASC, ASCQ and text" % where)
        asc = parse_hex_byte(fields[0], where)
        qualifiers = fields[1].split("-")
        if len(qualifiers) > 2:
            raise DataError("%s: %r is neither an ASCQ nor a range of them" % (where, fields[1]))
        text = fields[2]
        if asc > LAST_ASC:
            raise DataError("%s: ASC %02Xh beyond %02Xh" % (where, asc, LAST_ASC))
        if any(rows[a] or ranges[a] for a in range(asc + 1, LAST_ASC + 1)):
            raise DataError("%s: row %02Xh after a later row" % (where, asc))
        if not text or text != text.strip():
            raise DataError("%s: empty text or blanks around it" % where)
        c_string(text, where)
        if len(qualifiers) == 2:
            first = parse_hex_byte(qualifiers[0], where)
            last = parse_hex_byte(qualifiers[1], where)
            if first < FIRST_RANGE_ASCQ or last < first:
                raise DataError("%s: range %02Xh-%02Xh is not within %02Xh-FFh in ascending order"
                                % (where, first, last, FIRST_RANGE_ASCQ))
            if ranges[asc] and first <= ranges[asc][-1][1]:
                raise DataError("%s: range %02Xh-%02Xh overlaps or follows a later one in row %02Xh"
                                % (where, first, last, asc))
            if text == UNASSIGNED:
                raise DataError("%s: a range of unassigned qualifiers needs no line" % where)
            ranges[asc].append((first, last, text))
            continue
        ascq = parse_hex_byte(qualifiers[0], where)
        if ascq >= FIRST_RANGE_ASCQ:
            raise DataError("%s: ASCQ %02Xh is vendor specific" % (where, ascq))
        if ranges[asc]:
            raise DataError("%s: ASCQ %02Xh after a range of row %02Xh" % (where, ascq, asc))
        if ascq != len(rows[asc]):
            raise DataError("%s: ASCQ %02Xh out of order in row %02Xh (expected %02Xh)"
                            % (where, ascq, asc, len(rows[asc])))
        rows[asc].append(None if text == UNASSIGNED else text)
    return rows, ranges


def read_vendors(path):
    vendors = []
    for number, line in enumerate(read_lines(path), 1):
        where = "%s:%d" % (path, number)
        fields = line.split("\t")
        if len(fields) != 2:
            raise DataError("%s: expected ID and organisation" % where)
        vid, name = fields
        if len(vid) != VENDOR_ID_LENGTH:
            raise DataError("%s: ID %r is not %d characters" % (where, vid, VENDOR_ID_LENGTH))
        if not name:
            raise DataError("%s: empty organisation" % where)
        c_string(vid, where)
        c_string(name, where)
        # ASCII text: code points order exactly like the unsigned bytes.
        if vendors and not vendors[-1][0] < vid:
            raise DataError("%s: ID %r not above the previous %r" % (where, vid, vendors[-1][0]))
        vendors.append((vid, name))
    if not vendors:
        raise DataError("%s: no rows" % path)
    return vendors


HEADER = """\
// Generated by tools/gen_scsi_tables.py from libDravik/data/{source}:
// {origin}.
// Do not edit: change the generator or the data and run it again.
"""

# The published list each data file was taken from, named in the generated
# header. A new copy of a list comes with its new title and date here.
ASC_ORIGIN = ('T10 "ASC-NUM.TXT, SCSI ASC/ASCQ Assignments, Numeric Sorted Listing",\n'
              '// as of 10/08/13')
VENDOR_ORIGIN = 'T10 vendor identification list, as of 2022/10/10'


def asc_text(table):
    rows, ranges = table
    out = [HEADER.format(source="asc_ascq.tsv", origin=ASC_ORIGIN),
           "// SCSI_ASC_ROW(asc, first, count), SCSI_ASC_TEXT(asc, ascq, text),\n"
           "// SCSI_ASC_UNASSIGNED(asc, ascq), SCSI_ASC_RANGE(asc, first, last, text):\n"
           "// see the generator.\n",
           "// %d rows, %d entries, %d unassigned places; qualifier ranges: %d.\n\n"
           % (len(rows), sum(len(r) for r in rows), sum(r.count(None) for r in rows),
              sum(len(r) for r in ranges))]
    first = 0
    for asc, entries in enumerate(rows):
        out.append("SCSI_ASC_ROW(0x%02X, %d, %d)\n" % (asc, first, len(entries)))
        for ascq, text in enumerate(entries):
            where = "ASC %02Xh ASCQ %02Xh" % (asc, ascq)
            if text is None:
                out.append("SCSI_ASC_UNASSIGNED(0x%02X, 0x%02X)\n" % (asc, ascq))
            else:
                out.append("SCSI_ASC_TEXT(0x%02X, 0x%02X, %s)\n"
                           % (asc, ascq, c_string(text, where)))
        for low, high, text in ranges[asc]:
            where = "ASC %02Xh ASCQ %02Xh-%02Xh" % (asc, low, high)
            out.append("SCSI_ASC_RANGE(0x%02X, 0x%02X, 0x%02X, %s)\n"
                       % (asc, low, high, c_string(text, where)))
        first += len(entries)
    return "".join(out)


def vendor_text(vendors):
    out = [HEADER.format(source="vendor_ids.tsv", origin=VENDOR_ORIGIN),
           "// SCSI_VENDOR(id, name): see the generator. %d rows.\n\n" % len(vendors)]
    for vid, name in vendors:
        out.append("SCSI_VENDOR(%s, %s)\n" % (c_string(vid, vid), c_string(name, vid)))
    return "".join(out)


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--data", default=DEFAULT_DATA)
    parser.add_argument("--out", default=DEFAULT_OUT)
    parser.add_argument("--check", action="store_true")
    args = parser.parse_args(argv)

    try:
        outputs = {
            "ScsiAscTable.inc": asc_text(read_asc(os.path.join(args.data, "asc_ascq.tsv"))),
            "ScsiVendorTable.inc": vendor_text(
                read_vendors(os.path.join(args.data, "vendor_ids.tsv"))),
        }
    except (OSError, DataError) as e:
        print("gen_scsi_tables: %s" % e, file=sys.stderr)
        return 2

    stale = []
    for name, text in outputs.items():
        path = os.path.join(args.out, name)
        try:
            with open(path, "r", encoding="ascii", newline="") as f:
                current = f.read()
        except OSError:
            current = None
        if current == text:
            continue
        if args.check:
            stale.append(path)
        else:
            with open(path, "w", encoding="ascii", newline="\n") as f:
                f.write(text)
            print("wrote %s" % path)
    if stale:
        print("gen_scsi_tables: out of date: %s" % ", ".join(stale), file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
