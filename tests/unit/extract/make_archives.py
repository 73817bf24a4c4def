#!/usr/bin/env python3
"""Builds the archives of the extraction tests into OUT (run by extra.cmake at build time).

Usage: make_archives.py OUT SEVENZ GCAB   (GCAB may be "-" when gcab is not installed)

Well-formed archives come from Debian's 7zz (and gcab); the broken ones are hand-made: zips with
escaping names from Python's zipfile, 7z archives whose stored names or header are patched (their
header is left uncompressed, the CRCs are recomputed), a 32-byte empty 7z written byte by byte.
The expected contents are in extract_test.cpp; keep the two in step.
"""
import os
import shutil
import struct
import subprocess
import sys
import zipfile
import zlib

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "e2e"))
from archive_gen import fix_7z_crcs  # noqa: E402

OUT, SEVENZ, GCAB = sys.argv[1], sys.argv[2], sys.argv[3]
SRC = os.path.join(OUT, "src")
MTIME = 1614834367  # 2021-03-04 05:06:07 UTC
ENV = dict(os.environ, LC_ALL="C.UTF-8")  # or 7zz stores the Chinese name wrongly


def write(rel, data, mode=None):
    path = os.path.join(SRC, rel)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)
    os.utime(path, (MTIME, MTIME))
    if mode is not None:
        os.chmod(path, mode)


def app_bytes():
    # x86-looking code (E8 calls) so that the BCJ filter has something to convert.
    out = bytearray()
    for i in range(40000):
        out += b"\x55\x8b\xec\xe8" + struct.pack("<I", (i * 2654435761) & 0xFFFF) + b"\xc3"
    return bytes(out)


def sevenz(archive, switches, files, cwd=SRC):
    path = os.path.join(OUT, archive)
    if os.path.exists(path):
        os.remove(path)
    subprocess.run([SEVENZ, "a", "-bso0", "-bsp0", *switches, path, *files], cwd=cwd, env=ENV, check=True)
    return path


def patch_7z_name(path, placeholder, name):
    with open(path, "rb") as f:
        data = f.read()
    old, new = placeholder.encode("utf-16-le"), name.encode("utf-16-le")
    assert len(old) == len(new) and data.count(old) == 1, (path, placeholder)
    with open(path, "wb") as f:
        f.write(fix_7z_crcs(data.replace(old, new)))


def drop_7z_names(path, name):
    """Turns the names property into padding, so the item has no name at all."""
    with open(path, "rb") as f:
        data = bytearray(f.read())
    encoded = name.encode("utf-16-le") + b"\0\0"
    pos = data.find(encoded)
    assert pos > 3 and data[pos - 1] == 0 and data[pos - 2] == len(encoded) + 1 and data[pos - 3] == 0x11
    data[pos - 3] = 0x19  # kDummy: skipped by readers, must hold zeros
    data[pos:pos + len(encoded)] = bytes(len(encoded))
    with open(path, "wb") as f:
        f.write(fix_7z_crcs(data))


def main():
    shutil.rmtree(OUT, ignore_errors=True)
    os.makedirs(SRC)
    lines = "".join("line %d\n" % i for i in range(1, 2001)).encode()
    write("readme.txt", b"hello from the payload\n")
    write("bin/app.exe", app_bytes())
    write("bin/readonly.txt", b"read only\n", 0o444)
    write("docs/empty.txt", b"")
    write("docs/\u4e2d\u6587.txt", "\u4e2d\u6587\n".encode())
    write("deep/a/b/lines.txt", lines)
    os.makedirs(os.path.join(SRC, "emptydir"))
    for d in ["bin", "docs", "deep/a/b", "deep/a", "deep", "emptydir"]:
        os.utime(os.path.join(SRC, d), (MTIME, MTIME))
    items = ["readme.txt", "bin", "docs", "deep", "emptydir"]

    sevenz("payload.7z", ["-t7z", "-mf=BCJ", "-m0=LZMA2", "-mx=5"], items)
    sevenz("payload.zip", ["-tzip", "-mm=Deflate"], items)
    if GCAB != "-":
        files = ["readme.txt", "bin/app.exe", "docs/empty.txt", "deep/a/b/lines.txt"]
        subprocess.run([GCAB, "-c", "-z", os.path.join(OUT, "payload.cab"), *files], cwd=SRC, check=True)

    dirs = os.path.join(OUT, "dirsrc")
    os.makedirs(os.path.join(dirs, "one/two"))
    os.makedirs(os.path.join(dirs, "three"))
    sevenz("only_dirs.7z", ["-t7z"], ["one", "three"], cwd=dirs)

    # An empty 7z: signature, version 0.4, start-header CRC and a zero next header.
    tail = bytes(20)
    with open(os.path.join(OUT, "empty.7z"), "wb") as f:
        f.write(b"7z\xbc\xaf\x27\x1c\x00\x04" + struct.pack("<I", zlib.crc32(tail)) + tail)

    # Stored (not compressed), so one damaged byte breaks exactly one item's CRC.
    dmg = os.path.join(OUT, "dmgsrc")
    os.makedirs(dmg)
    for name, body in [("a.txt", b"A" * 1000), ("b.txt", b"B" * 1000), ("c.txt", b"C" * 1000)]:
        with open(os.path.join(dmg, name), "wb") as f:
            f.write(body)
    path = sevenz("crc.7z", ["-t7z", "-m0=Copy", "-mhc=off"], ["a.txt", "b.txt", "c.txt"], cwd=dmg)
    with open(path, "r+b") as f:
        data = f.read()
        pos = data.find(b"B" * 1000) + 500
        f.seek(pos)
        f.write(b"X")

    # Items that would land outside the target directory.
    with open(os.path.join(dmg, "evil.txt"), "wb") as f:
        f.write(b"evil\n")
    bad_names = {
        "dotdot": "../evil.txt",
        "nested": "ok/../../evil.txt",
        "absolute": "/evil.txt",
        "drive": "C:/evil.txt",
        "unc": "//server/share/evil.txt",
        "device": "NUL.txt",
    }
    for key, name in bad_names.items():
        with zipfile.ZipFile(os.path.join(OUT, "escape_%s.zip" % key), "w") as z:
            z.writestr("fine.txt", b"fine\n")
            info = zipfile.ZipInfo("placeholder")
            info.filename = name  # ZipInfo's constructor would tidy the name
            z.writestr(info, b"evil\n")
    for key, name in bad_names.items():
        placeholder = "Q" * len(name)  # 7z stores "/" between names, whatever the system
        shutil.copy(os.path.join(dmg, "evil.txt"), os.path.join(dmg, placeholder))
        path = sevenz("escape_%s.7z" % key, ["-t7z", "-mhc=off"], [placeholder], cwd=dmg)
        patch_7z_name(path, placeholder, name)
        os.remove(os.path.join(dmg, placeholder))

    # A single stream without a name.
    with open(os.path.join(dmg, "nameless"), "wb") as f:
        f.write(b"no name\n")
    path = sevenz("unnamed.7z", ["-t7z", "-mhc=off"], ["nameless"], cwd=dmg)
    drop_7z_names(path, "nameless")

    with open(os.path.join(OUT, "not_an_archive.bin"), "wb") as f:
        f.write(b"MZ this is not an archive" + bytes(100))


main()
