"""Payload files the harness makes at test time (see "archive" and "generate" in harness.py).

- stage(): a copy of a payload folder with fixed time stamps and read-only files, since git keeps
  neither.
- the generators: archives 7zz cannot make from a folder: an empty 7z, a 7z of given entries
  (directories only, names a file system cannot hold), a zip of given entries with DOS attributes.
- damage(): truncated or byte-flipped copies.
"""
import calendar
import os
import shutil
import struct
import subprocess
import time
import zipfile
import zlib

ENV = dict(os.environ, LC_ALL="C.UTF-8")  # or 7zz stores non-ASCII names wrongly


def epoch(text):
    """'2021-03-04T05:06:07Z' -> seconds since 1970 (UTC)."""
    return calendar.timegm(time.strptime(text, "%Y-%m-%dT%H:%M:%SZ"))


def stage(src, dst, mtime=None, readonly=()):
    shutil.copytree(src, dst)
    for rel in readonly:
        os.chmod(os.path.join(dst, rel), 0o444)
    if mtime is not None:
        t = epoch(mtime)
        for root, dirs, files in os.walk(dst, topdown=False):
            for name in files + dirs:
                os.utime(os.path.join(root, name), (t, t))
    return dst


def fix_7z_crcs(data):
    """Recomputes the next-header and start-header CRCs after an uncompressed header was patched."""
    data = bytearray(data)
    off, size = struct.unpack_from("<QQ", data, 12)
    header = data[32 + off:32 + off + size]
    struct.pack_into("<I", data, 28, zlib.crc32(header) & 0xFFFFFFFF)
    struct.pack_into("<I", data, 8, zlib.crc32(bytes(data[12:32])) & 0xFFFFFFFF)
    return bytes(data)


def empty_7z(out, desc, scratch):
    """Signature, version 0.4, the start-header CRC and a zero next header: 32 bytes."""
    tail = bytes(20)
    with open(out, "wb") as f:
        f.write(b"7z\xbc\xaf\x27\x1c\x00\x04" + struct.pack("<I", zlib.crc32(tail)) + tail)


def sevenz(out, desc, scratch):
    """A 7z of desc["entries"]: {"name", "dir": true} or {"name", "text", "repeat": times}, each optionally
    repeated ("count": n, "{i}" in the name numbers the copies). A name no file system can
    hold ("../x", "C:/x") is written under a placeholder of the same length and patched into the
    (uncompressed) header afterwards."""
    tree = os.path.join(scratch, "tree")
    os.makedirs(tree)
    patches, tops = [], []
    entries = []
    for entry in desc["entries"]:  # "count": n repeats an entry, "{i}" in its name numbering the copies
        for n in range(entry.get("count", 1)):
            entries.append(dict(entry, name=entry["name"].replace("{i}", str(n))) if "count" in entry else entry)
    for i, entry in enumerate(entries):
        name = entry["name"]
        stored = name
        if ".." in name.split("/") or ":" in name or name.startswith("/"):
            stored = chr(ord("A") + i) * len(name)
            patches.append((stored, name))
        path = os.path.join(tree, stored)
        if entry.get("dir"):
            os.makedirs(path, exist_ok=True)
        else:
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "wb") as f:
                f.write(entry.get("text", "").encode("utf-8") * entry.get("repeat", 1))
        top = stored.split("/")[0]
        if top not in tops:
            tops.append(top)
    switches = desc.get("switches", []) + (["-mhc=off"] if patches else [])
    subprocess.run(["7zz", "a", "-t7z", "-bd", "-bso0", "-bsp0", *switches, out, *tops], cwd=tree, env=ENV,
                   check=True)
    if patches:
        with open(out, "rb") as f:
            data = f.read()
        for stored, name in patches:
            old, new = stored.encode("utf-16-le"), name.encode("utf-16-le")
            assert data.count(old) == 1, (out, stored)
            data = data.replace(old, new)
        with open(out, "wb") as f:
            f.write(fix_7z_crcs(data))


def zip_entries(out, desc, scratch):
    """A zip of desc["entries"]: {"name", "text", "repeat", "attributes": DOS bits, "mtime": ISO UTC},
    names stored exactly as given; deflated, or stored with desc["stored"]."""
    method = zipfile.ZIP_STORED if desc.get("stored") else zipfile.ZIP_DEFLATED
    with zipfile.ZipFile(out, "w", method) as z:
        for entry in desc["entries"]:
            info = zipfile.ZipInfo("placeholder", time.gmtime(epoch(entry.get("mtime", "2020-01-01T00:00:00Z")))[:6])
            info.filename = entry["name"]  # ZipInfo's constructor would tidy the name
            info.compress_type = method
            if "attributes" in entry:
                info.create_system = 0  # MS-DOS: the low byte of the external attributes is read
                info.external_attr = entry["attributes"]
            z.writestr(info, entry.get("text", "").encode("utf-8") * entry.get("repeat", 1))


GENERATORS = {"empty_7z": empty_7z, "7z": sevenz, "zip": zip_entries}


def generate(kind, out, desc, scratch):
    GENERATORS[kind](out, desc, scratch)


def damage(path, truncate=None, flip=()):
    """Keeps the first `truncate` bytes (a negative count drops that many from the end) and inverts
    the bytes at the offsets in `flip` (negative: from the end)."""
    with open(path, "rb") as f:
        data = bytearray(f.read())
    if truncate is not None:
        data = data[:truncate]
    for at in flip:
        data[at] ^= 0xFF
    with open(path, "wb") as f:
        f.write(data)
