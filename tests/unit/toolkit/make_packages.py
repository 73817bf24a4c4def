#!/usr/bin/env python3
"""Builds the skin packages of the toolkit tests into OUT (run by extra.cmake at build time).

package.zip holds descriptions (good, malformed, with unknown elements), string tables, and a
4 x 4 image with its 8 x 8 "@200" variant, some entries stored and some deflated; garbage.bin is
not an archive. The expectations are in toolkit_test.cpp; keep the two in step.
"""
import os
import struct
import sys
import zipfile
import zlib

OUT = sys.argv[1]


def png(width, height, rgba):
    raw = b"".join(b"\x00" + bytes(rgba) * width for _ in range(height))
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b""))


ENTRIES = {
    "good.xml": """<?xml version="1.0" encoding="utf-8"?>
<Window size="300,200" caption="0,0,0,40" bktrans="true">
  <Font id="1" name="Microsoft Yahei" size="14" default="true"/>
  <Default name="Button" value="textcolor=&quot;#FF112233&quot; width=&quot;50&quot;"/>
  <VerticalLayout name="root">
    <Label name="title" text="IDS_OK" resourcetext="true" height="20"/>
    <Blink name="unknown"><Button name="inside_unknown"/></Blink>
    <HorizontalLayout name="row" height="30">
      <Button name="b1" text="一"/>
      <Custom name="made_by_callback"/>
    </HorizontalLayout>
  </VerticalLayout>
</Window>""",
    "malformed.xml": "<Window size=\"1,1\"><VerticalLayout></Window>",
    "noroot.xml": "<Window size=\"1,1\"><Font id=\"1\" name=\"x\" size=\"9\"/></Window>",
    "notwindow.xml": "<Dialog><VerticalLayout/></Dialog>",
    "locale/zh-cn/string.xml": """<?xml version="1.0" encoding="utf-8"?>
<StringTable><Text id="IDS_OK" value="确定"/><Text id="IDS_FMT" value="%s%d%n"/><Text value="no id"/></StringTable>""",
    "locale/bad/string.xml": "<StringTable><Text id=\"IDS_OK\" value=\"x\"></StringTable",
    "img/dot.png": png(4, 4, (0xFE, 0x36, 0x66, 0xFF)),
    "img/dot@200.png": png(8, 8, (0x3A, 0x3E, 0x4F, 0xFF)),
    "img/broken.png": b"\x89PNG\r\n\x1a\nnot really",
}

os.makedirs(OUT, exist_ok=True)
with zipfile.ZipFile(os.path.join(OUT, "package.zip"), "w") as z:
    for i, (name, data) in enumerate(ENTRIES.items()):
        if isinstance(data, str):
            data = data.encode("utf-8")
        z.writestr(name, data, zipfile.ZIP_STORED if i % 2 else zipfile.ZIP_DEFLATED)
with open(os.path.join(OUT, "garbage.bin"), "wb") as f:
    f.write(b"PK\x03\x04" + b"\xff" * 200)
