#!/usr/bin/env python3
"""Writes arial.ttf and arialbd.ttf into a folder: Liberation Sans (Debian's fonts-liberation2),
whose glyph advances are Arial's, renamed Arial and recording Arial's own average character
width, 904 and 983 units. GDI scales a font made with a width from that average, so Wine's GDI
with these fonts lays text out as Windows does with Arial; with Liberation Sans's own average
(about 1190) it would draw every text a quarter narrower.

Usage: tools/make-arial-twin.py FOLDER
"""
import struct
import sys
from pathlib import Path

SOURCE = Path("/usr/share/fonts/truetype/liberation2")
FACES = [("LiberationSans-Regular.ttf", "arial.ttf", "Regular", 904, "ArialMT"),
         ("LiberationSans-Bold.ttf", "arialbd.ttf", "Bold", 983, "Arial-BoldMT")]


def checksum(table):
    padded = table + b"\0" * (-len(table) % 4)
    return sum(struct.unpack(">%dI" % (len(padded) // 4), padded)) & 0xFFFFFFFF


def renamed(name, style, postscript):
    """The name table with the family Arial; other names stay."""
    _, count, storage = struct.unpack(">HHH", name[:6])
    texts = {1: "Arial", 4: "Arial" if style == "Regular" else "Arial Bold", 6: postscript,
             16: "Arial"}
    records, strings = [], b""
    for i in range(count):
        platform, encoding, language, name_id, length, offset = struct.unpack(
            ">HHHHHH", name[6 + 12 * i:18 + 12 * i])
        text = name[storage + offset:storage + offset + length]
        if name_id in texts:
            text = texts[name_id].encode("latin-1" if platform == 1 else "utf-16-be")
        records.append(struct.pack(">HHHHHH", platform, encoding, language, name_id, len(text),
                                   len(strings)))
        strings += text
    return struct.pack(">HHH", 0, count, 6 + 12 * count) + b"".join(records) + strings


def twin(source, target, style, average, postscript):
    data = bytearray(source.read_bytes())
    count = struct.unpack(">H", data[4:6])[0]
    for i in range(count):
        entry = 12 + 16 * i
        tag, _, offset, length = struct.unpack(">4sIII", data[entry:entry + 16])
        if tag == b"OS/2":
            data[offset + 2:offset + 4] = struct.pack(">h", average)
            table = bytes(data[offset:offset + length])
            struct.pack_into(">I", data, entry + 4, checksum(table))
        elif tag == b"name":
            table = renamed(bytes(data[offset:offset + length]), style, postscript)
            # Appended whole: the tables after the old one keep their places.
            data += b"\0" * (-len(data) % 4)
            struct.pack_into(">III", data, entry + 4, checksum(table), len(data), len(table))
            data += table
    target.write_bytes(bytes(data))


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    folder = Path(sys.argv[1])
    folder.mkdir(parents=True, exist_ok=True)
    for source, target, style, average, postscript in FACES:
        twin(SOURCE / source, folder / target, style, average, postscript)


if __name__ == "__main__":
    main()
