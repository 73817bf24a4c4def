#!/usr/bin/env python3
"""Build-time resources of setup.exe that no archiver or compiler makes directly.

  make_resources.py empty7z OUT        the 32-byte 7z archive without entries
  make_resources.py utf16 IN OUT       UTF-8 text as UTF-16LE with a byte order mark and CRLF lines
"""
import struct
import sys
import zlib


def empty_7z(out):
    # Signature, format version 0.4, the start-header CRC, then next-header offset, size and CRC: all 0.
    tail = bytes(20)
    with open(out, "wb") as f:
        f.write(b"7z\xbc\xaf\x27\x1c\x00\x04" + struct.pack("<I", zlib.crc32(tail)) + tail)


def utf16(src, out):
    with open(src, encoding="utf-8-sig") as f:
        text = f.read()
    text = text.replace("\r\n", "\n").replace("\n", "\r\n")
    with open(out, "wb") as f:
        f.write(b"\xff\xfe" + text.encode("utf-16-le"))


if __name__ == "__main__":
    if sys.argv[1] == "empty7z":
        empty_7z(sys.argv[2])
    elif sys.argv[1] == "utf16":
        utf16(sys.argv[2], sys.argv[3])
    else:
        sys.exit("unknown command %s" % sys.argv[1])
