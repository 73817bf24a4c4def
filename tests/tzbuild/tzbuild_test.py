#!/usr/bin/env python3
"""Tests of the product builder, build/tools/tzbuild.exe, run under Wine on product folders made here.

  tzbuild_test.py --build BUILD checks    every script mistake reported at its file, line and column
  tzbuild_test.py --build BUILD inputs    broken product folders: clear errors, no installer left
  tzbuild_test.py --build BUILD product   a whole product built, installed silently, rebuilt
                                          byte for byte, signed and installed again

Script rows mark with "§" the place a message must point at; the row lists the messages it expects
(severity and check code) and no other message may appear.
"""
import argparse
import os
import re
import shutil
import struct
import subprocess
import sys

MARK = "§"


def win(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


class Failure(Exception):
    pass


def expect(cond, what):
    if not cond:
        raise Failure(what)


class Env:
    def __init__(self, build, family):
        self.build = os.path.abspath(build)
        self.work = os.path.join(self.build, "tzbuild-tests", family)
        shutil.rmtree(self.work, ignore_errors=True)
        os.makedirs(self.work)
        self.env = dict(os.environ)
        self.env.setdefault("WINEPREFIX", os.path.join(self.build, "wineprefix"))
        self.env["WINEDEBUG"] = "-all"
        self.env.setdefault("WINEDLLOVERRIDES", "mscoree,mshtml=")

    def wine(self, args, timeout=300):
        r = subprocess.run(["wine"] + args, env=self.env, cwd=self.work, stdin=subprocess.DEVNULL,
                           capture_output=True, timeout=timeout)
        return r.returncode, r.stdout.decode("utf-8", "replace"), r.stderr.decode("utf-8", "replace")

    def tzbuild(self, product, out, *extra):
        return self.wine([os.path.join(self.build, "tools", "tzbuild.exe"), win(product), "-o", win(out)] + list(extra))


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data.encode("utf-8") if isinstance(data, str) else data)


def place(text):
    """Text without its marker, and the marker's line and column (1-based, in characters)."""
    at = text.find(MARK)
    if at < 0:
        return text, None
    before = text[:at]
    return text.replace(MARK, "", 1), (before.count("\n") + 1, at - (before.rfind("\n") + 1) + 1)


def messages(stderr):
    """(file name, line, column, severity, code) of every message tzbuild printed."""
    found = []
    for line in stderr.splitlines():
        m = re.match(r"^(.*?)(?::(\d+):(\d+))?: (error|warning): .*\[([a-z-]+)\]$", line)
        if m:
            found.append((m.group(1).replace("\\", "/").rsplit("/", 1)[-1], int(m.group(2) or 0),
                          int(m.group(3) or 0), m.group(4), m.group(5)))
    return found


# --- checks: one broken script per mistake -------------------------------------------------------

BASE_MANIFEST = """script install.xml
payload 302 payload
language lang_en en_us lang/en.ini
"""
BASE_LANG = "[Lang]\nApp.Name=Lumo\nTitle=${App.Name} Setup\n"
BASE_ACTIONS = """<item><id>200</id><type>extract</type><value>302</value><name>FILE</name></item>
<item><id>201</id><type>var</type><name>T</name><value>%#Title#%</value></item>"""

# (name, script body inside <config>, [([file,] severity, code)] (file: install.xml unless named),
#  optional extras: "ini" the language table (may hold the marker), "manifest" lines added to the
#  manifest, "bom" / "crlf" for the script's encoding). The first expected message must point at
#  the marker.
CHECKS = [
    ("xml error", "<action><item><id>200</id></item></actio\n" + MARK + "<install/>", [("error", "xml")]),
    ("no config root", None, [("error", "no-config")]),
    ("nesting deeper than the installer parses", "<action>" + "<a>" * 998 + MARK + "<b>" + "</b>" + "</a>" * 998 +
     "</action>", [("error", "xml")]),
    ("unknown setting", "<setting><appname>A</appname>" + MARK + "<colour>red</colour></setting>",
     [("error", "unknown-setting")]),
    ("unknown condition type", "<condition><item><id>101</id><type>" + MARK + "fileexists</type></item></condition>",
     [("error", "unknown-type")]),
    ("unknown action type", "<action><item><id>200</id><type>" + MARK + "extrakt</type></item></action>",
     [("error", "unknown-type")]),
    ("action without type", "<action>" + MARK + "<item><id>200</id></item></action>", [("error", "unknown-type")]),
    ("unknown variable type", "<variable><item><varname>V</varname><type>" + MARK + "konst</type></item></variable>",
     [("error", "unknown-type")]),
    ("numeric type out of range", "<action><item><id>200</id><type>" + MARK + "20</type></item></action>",
     [("error", "unknown-type")]),
    ("unknown logic keyword", "<condition><item><id>101</id><type>logic</type><logic>" + MARK + "nand</logic>"
     "<cid1>5</cid1><cid2>6</cid2></item></condition>", [("error", "unknown-keyword")]),
    ("logic has no numeric form", "<oninit><item><logic>" + MARK + "2</logic><aid>200</aid></item></oninit>"
     "<action>" + BASE_ACTIONS + "</action>", [("error", "unknown-keyword")]),
    ("unknown compare method", "<condition><item><id>101</id><type>var</type><name>X</name><method>" + MARK +
     "like</method></item></condition>", [("error", "unknown-keyword")]),
    ("unknown value type", "<condition><item><id>101</id><type>var</type><valuetype>" + MARK +
     "float</valuetype></item></condition>", [("error", "unknown-keyword")]),
    ("undefined action in a stage", "<action>" + BASE_ACTIONS + "</action><install><item><aid>200, " + MARK +
     "250, 201</aid></item></install>", [("error", "undefined-id")]),
    ("undefined action in a group", "<action>" + BASE_ACTIONS + "</action><install><item><aid>200</aid>"
     "<group><aid>201,\n  " + MARK + "260</aid></group></item></install>", [("error", "undefined-id")]),
    ("action id 14 to 99 is neither built in nor reachable", "<install><item><aid>" + MARK + "42</aid></item></install>",
     [("error", "undefined-id")]),
    ("undefined condition gating a stage item", "<action>" + BASE_ACTIONS + "</action><install><item><cid1>" + MARK +
     "150</cid1><aid>200</aid></item></install>", [("error", "undefined-id")]),
    ("condition id 11 to 99", "<install><item><logic>or</logic><cid1>5</cid1><cid2>" + MARK +
     "12</cid2></item></install>", [("error", "undefined-id")]),
    ("second operand without logic", "<install><item><cid1>5</cid1><cid2>" + MARK + "6</cid2></item></install>",
     [("warning", "ignored-operand")]),
    ("undefined onerror action", "<action><item><id>200</id><type>extract</type><value>302</value><name>FILE</name>"
     "<onerror>4, " + MARK + "299</onerror></item></action>", [("error", "undefined-id")]),
    ("undefined logic operand", "<condition><item><id>101</id><type>logic</type><logic>and</logic><cid1>5</cid1>"
     "<cid2>" + MARK + "102</cid2></item></condition>", [("error", "undefined-id")]),
    ("not needs no second operand", "<condition><item><id>101</id><type>logic</type><logic>not</logic><cid1>" + MARK +
     "103</cid1><cid2>104</cid2></item></condition>", [("error", "undefined-id")]),
    ("undefined action in a list", "<action><item><id>200</id><type>list</type><value>5, " + MARK +
     "201</value></item></action>", [("error", "undefined-id")]),
    ("undefined message box answer", "<action><item><id>200</id><type>msgbox</type><retlist>10,11</retlist>"
     "<actionlist>13," + MARK + "230</actionlist></item></action>", [("error", "undefined-id")]),
    ("undefined condition of a choice", "<action><item><id>200</id><type>var</type><method>1</method>"
     "<value>a,b</value><param1>" + MARK + "170</param1></item></action>", [("error", "undefined-id")]),
    ("extract of a resource not carried", "<action><item><id>200</id><type>extract</type><value>" + MARK +
     "303</value><name>FILE</name></item></action>", [("error", "missing-resource")]),
    ("extract of the wrong resource type", "<action><item><id>200</id><type>extract</type><value>" + MARK +
     "302</value></item></action>", [("error", "missing-resource")]),
    ("duplicate action id", "<action>" + BASE_ACTIONS + "\n" + MARK +
     "<item><id>200</id><type>del</type></item></action>", [("warning", "duplicate-id")]),
    ("duplicate variable", "<variable><item><varname>V</varname><type>const</type></item>\n" + MARK +
     "<item><varname>V</varname><type>const</type></item></variable>", [("warning", "duplicate-id")]),
    ("language key missing from the table", "<action><item><id>200</id><type>var</type><name>T</name><value>x " +
     MARK + "%#Nope#%</value></item></action>", [("warning", "missing-lang-key")]),
    ("a table's ${Key} names no key", "", [("en.ini", "warning", "missing-lang-key")],
     {"ini": "[Lang]\nApp.Name=Lumo\nTitle=${App.Name} " + MARK + "${Corp.Name}\n"}),
    ("language key in CDATA", "<action><item><id>200</id><type>msgbox</type><value><![CDATA[a <b> " + MARK +
     "%#Gone#%]]></value></item></action>", [("warning", "missing-lang-key")]),
    ("position after a byte order mark", "<action><item><id>200</id><type>" + MARK + "extrakt</type></item></action>",
     [("error", "unknown-type")], {"bom": True}),
    ("position with CRLF line ends", "<action>\n<item><id>200</id>\n  <type>" + MARK + "extrakt</type></item></action>",
     [("error", "unknown-type")], {"crlf": True}),
    ("message box lists of different lengths", "<action>" + MARK + "<item><id>200</id><type>msgbox</type>"
     "<retlist>10,11</retlist><actionlist>13</actionlist></item></action>", [("warning", "list-mismatch")]),
    ("script id below 100", "<action>" + MARK + "<item><id>50</id><type>del</type></item></action>",
     [("warning", "low-id")]),
    ("unknown section", MARK + "<stages/>", [("warning", "unknown-element")]),
    ("stringtable names a resource not carried", "<i18n><stringtable><item><name>zh-cn</name><value>" + MARK +
     "lang_zh</value></item></stringtable></i18n>", [("warning", "missing-resource")]),
    ("diskrequire with a unit it does not know", "<setting><diskrequire>" + MARK + "200MB</diskrequire></setting>",
     [("warning", "diskrequire")]),
    ("a mistake the manifest allows", "<install><item><aid>" + MARK + "234</aid></item></install>", [],
     {"manifest": "allow undefined-id 234 235\n"}),
    ("allowed for every id", "<action><item><id>200</id><type>del</type><pth>x</pth><nme>y</nme></item></action>", [],
     {"manifest": "allow unknown-field *\n"}),
    ("allowed for another id only", "<install><item><aid>" + MARK + "236</aid></item></install>",
     [("error", "undefined-id")], {"manifest": "allow undefined-id 234\n"}),
    ("unknown field", "<action><item><id>200</id><type>del</type>" + MARK + "<pth>x</pth></item></action>",
     [("warning", "unknown-field")]),
]


def run_checks(env):
    failures = []
    for row in CHECKS:
        name, body, wanted = row[0], row[1], row[2]
        extras = row[3] if len(row) > 3 else {}
        ini = extras.get("ini", BASE_LANG)
        folder = os.path.join(env.work, re.sub(r"[^a-z0-9]+", "_", name.lower()).strip("_"))
        if body is None:
            script = '<?xml version="1.0"?>\n<setup>\n</setup>\n'
        else:
            script = '<?xml version="1.0" encoding="utf-8"?>\n<config>\n' + body + "\n</config>\n"
        script, at_script = place(script)
        ini, at_ini = place(ini)
        if extras.get("crlf"):
            script = script.replace("\n", "\r\n")
        write(os.path.join(folder, "tzbuild.conf"), BASE_MANIFEST + extras.get("manifest", ""))
        write(os.path.join(folder, "install.xml"), ("\ufeff" if extras.get("bom") else "") + script)
        write(os.path.join(folder, "lang", "en.ini"), ini)
        write(os.path.join(folder, "payload", "a.txt"), "a\n")
        out = os.path.join(folder, "setup.exe")
        wanted = [w if len(w) == 3 else ("install.xml",) + w for w in wanted]
        errors_expected = any(w[1] == "error" for w in wanted)
        try:
            for werror in (False, True):
                rc, _, err = env.tzbuild(folder, out, *(["--werror"] if werror else []))
                got = messages(err)
                kinds = sorted((g[0], "error" if werror else g[3], g[4]) for g in got)
                want = sorted((w[0], "error" if werror else w[1], w[2]) for w in wanted)
                expect(kinds == want, f"messages {kinds}, expected {want}:\n{err}")
                first = got[0] if got else None
                at = at_ini if first and first[0] == "en.ini" else at_script
                if at and first:
                    expect((first[1], first[2]) == at, f"points at {first[1]}:{first[2]}, expected {at[0]}:{at[1]}:\n{err}")
                fails = errors_expected or (werror and bool(wanted))
                expect(rc == (1 if fails else 0), f"exit code {rc}{' with --werror' if werror else ''}:\n{err}")
                expect(os.path.exists(out) != fails, f"output {'left behind' if fails else 'missing'}")
                if errors_expected:
                    break
        except Failure as e:
            failures.append(f"{name}: {e}")
    return failures


# --- inputs: broken product folders ----------------------------------------------------------------

GOOD_SCRIPT = ('<config><action><item><id>200</id><type>extract</type><value>302</value><name>FILE</name></item>'
               '</action><install><item><aid>200</aid></item></install></config>\n')


def run_inputs(env):
    failures = []
    testproc = os.path.join(env.build, "tests", "tz_testproc.exe")
    # (name, manifest with marker, files, file to hold locked, expected message pattern)
    rows = [
        ("empty manifest", "", {}, None, r"tzbuild\.conf: error: the manifest names no install script .*\[manifest\]"),
        ("unknown directive", "script install.xml\n" + MARK + "paylod 302 payload\n", {}, None,
         r"tzbuild\.conf:2:1: error: unknown directive \"paylod\""),
        ("missing payload folder", "script install.xml\npayload 302 " + MARK + "payload-gone\n", {}, None,
         r"tzbuild\.conf:2:13: error: payload 302: .*payload-gone does not exist \[input\]"),
        ("missing script", "script " + MARK + "nothere.xml\n", {}, None,
         r"tzbuild\.conf:1:1: error: cannot read the install script .*nothere\.xml: .*\[input\]"),
        ("bad payload id", "script install.xml\npayload " + MARK + "70000 payload\n", {}, None,
         r"tzbuild\.conf:2:9: error: payload id \"70000\" is not a number from 1 to 65535"),
        ("undefined ${NAME}", "script install.xml\npayload 302 " + MARK + "${OUT}/p.7z\n", {}, None,
         r"tzbuild\.conf:2:13: error: \"\$\{OUT\}\" is not defined"),
        ("unreadable payload file", "script install.xml\npayload 302 payload\n", {}, "payload/b.bin",
         r"tzbuild\.conf:2:13: error: payload 302: cannot read .*b\.bin: .*\[input\]"),
        ("unreadable language table", "script install.xml\npayload 302 payload\nlanguage lang_en en_us " + MARK +
         "en.ini\n", {"en.ini": "[Lang]\n"}, "en.ini",
         r"tzbuild\.conf:3:24: error: cannot read the language table .*en\.ini: .*\[input\]"),
        ("not an icon", "script install.xml\npayload 302 payload\nicon " + MARK + "app.ico\n", {"app.ico": "GIF89a"},
         None, r"tzbuild\.conf:3:6: error: .*app\.ico: not an icon file"),
        ("ready archive that is none", "script install.xml\npayload 302 " + MARK + "payload.zip\n",
         {"payload.zip": "just text"}, None,
         r"tzbuild\.conf:2:13: error: payload 302: .*payload\.zip is neither a folder nor a 7z, zip, cab or NSIS archive"),
        ("version fields without a file version", "script install.xml\npayload 302 payload\nproduct-name Lumo\n", {},
         None, r"tzbuild\.conf: error: the version fields need \"file-version\" too"),
        ("bad version", "script install.xml\nfile-version " + MARK + "1.2.70000\n", {}, None,
         r"tzbuild\.conf:2:14: error: \"1\.2\.70000\" is not a version"),
        ("directive given twice", "script install.xml\n" + MARK + "script other.xml\n", {}, None,
         r"tzbuild\.conf:2:1: error: \"script\" is given twice"),
    ]
    for name, manifest, files, locked, pattern in rows:
        folder = os.path.join(env.work, re.sub(r"[^a-z0-9]+", "_", name.lower()).strip("_"))
        manifest, at = place(manifest)
        write(os.path.join(folder, "tzbuild.conf"), manifest)
        write(os.path.join(folder, "install.xml"), GOOD_SCRIPT)
        write(os.path.join(folder, "payload", "a.txt"), "a\n")
        write(os.path.join(folder, "payload", "b.bin"), os.urandom(4096))
        for rel, data in files.items():
            write(os.path.join(folder, rel), data)
        out = os.path.join(folder, "setup.exe")
        write(out, "MZ an installer from an earlier build")
        holder = None
        try:
            if locked:
                ready = os.path.join(folder, "ready")
                holder = subprocess.Popen(["wine", testproc, "/hold:" + win(os.path.join(folder, locked)) + ":exclusive",
                                           "/ready:" + win(ready), "/sleep:60000"], env=env.env,
                                          stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
                for _ in range(300):
                    if os.path.exists(ready):
                        break
                    subprocess.run(["sleep", "0.1"])
                expect(os.path.exists(ready), "the file holder did not start")
            rc, _, err = env.tzbuild(folder, out)
            expect(rc == 1, f"exit code {rc}:\n{err}")
            expect(re.search(pattern, err, re.M), f"no message like {pattern!r}:\n{err}")
            expect(not os.path.exists(out), "an installer was left behind")
            expect(not [f for f in os.listdir(folder) if "tzbuild-tmp" in f], "a temporary file was left behind")
        except Failure as e:
            failures.append(f"{name}: {e}")
        finally:
            if holder:
                holder.kill()
                holder.wait()
    # A failed build removes an earlier installer, but not a file that is no program (-o mistyped).
    folder = os.path.join(env.work, "missing_payload_folder")
    rc, _, err = env.tzbuild(folder, os.path.join(folder, "install.xml"))
    if rc != 1 or not os.path.exists(os.path.join(folder, "install.xml")):
        failures.append(f"a failed build with -o naming the script: exit code {rc}, script deleted:\n{err}")
    return failures


# --- product: build, install, rebuild, sign -------------------------------------------------------

def resources(path):
    """{(type, name): data} of a PE file's resources (names as ints or upper-case texts)."""
    with open(path, "rb") as f:
        pe = f.read()
    off = struct.unpack_from("<I", pe, 0x3C)[0]
    nsec = struct.unpack_from("<H", pe, off + 6)[0]
    opt = off + 24
    magic = struct.unpack_from("<H", pe, opt)[0]
    rva = struct.unpack_from("<I", pe, opt + (112 if magic == 0x20B else 96) + 2 * 8)[0]
    secs = []
    for i in range(nsec):
        s = off + 24 + struct.unpack_from("<H", pe, off + 20)[0] + 40 * i
        vsize, vaddr, rsize, raddr = struct.unpack_from("<IIII", pe, s + 8)
        secs.append((vaddr, max(vsize, rsize), raddr))

    def at(r):
        for vaddr, size, raddr in secs:
            if vaddr <= r < vaddr + size:
                return r - vaddr + raddr
        raise ValueError(r)
    base = at(rva)

    def entries(d):
        named, ids = struct.unpack_from("<HH", pe, base + d + 12)
        for i in range(named + ids):
            name, target = struct.unpack_from("<II", pe, base + d + 16 + 8 * i)
            if name & 0x80000000:
                n = base + (name & 0x7FFFFFFF)
                length = struct.unpack_from("<H", pe, n)[0]
                name = pe[n + 2:n + 2 + 2 * length].decode("utf-16-le").upper()
            yield name, target

    out = {}
    for t, td in entries(rva - rva):
        for n, nd in entries(td & 0x7FFFFFFF):
            for _, leaf in entries(nd & 0x7FFFFFFF):
                drva, size = struct.unpack_from("<II", pe, base + leaf)
                out[(t, n)] = pe[at(drva):at(drva) + size]
    return out


def make_icon():
    bmp = struct.pack("<IiiHHIIiiII", 40, 16, 32, 1, 32, 0, 0, 0, 0, 0, 0) + bytes(range(256)) * 4 + b"\0" * 64
    return struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", 16, 16, 0, 0, 1, 32, len(bmp), 22) + bmp


def run_product(env):
    failures = []
    product = os.path.join(env.work, "product")
    inst = os.path.join(env.work, "inst")
    log = os.path.join(env.work, "install.log")
    script = f"""<?xml version="1.0" encoding="utf-8"?>
<config>
  <setting><appname>Lumo</appname><logfile>{win(log)}</logfile></setting>
  <action>
    <item><id>200</id><type>setinstdir</type><path>{win(inst)}</path></item>
    <item><id>201</id><type>extract</type><value>302</value><name>FILE</name></item>
    <item><id>202</id><type>extract</type><value>306</value><name>FILE</name><path>%INSTDIR%\\tools</path></item>
    <item><id>203</id><type>extract</type><value>201</value><name>UI</name><path>%INSTDIR%\\skin</path></item>
    <item><id>204</id><type>var</type><name>SHOWN</name><value>%#Title#% %FILEVERTEXT% %PRODVERTEXT%</value></item>
    <item><id>205</id><type>var</type><name>CO</name><value>%COMPANY%</value></item>
  </action>
  <variable>
    <item><varname>COMPANY</varname><type>ver</type><path>%INSTALLER%</path><name>CompanyName</name></item>
  </variable>
  <install><item><aid>200, 201, 202, 203, 204, 205</aid></item></install>
  <i18n><stringtable><item><name>en_us</name><value>lang_en</value></item></stringtable>
        <fileres><item><id>license_txt</id><name>en_us</name><value>lic_en</value></item></fileres></i18n>
</config>
"""
    payload = {"bin/app.exe": os.urandom(50000), "bin/data/big.txt": "line of text\n" * 20000,
               "docs/readme.txt": "read me\n", "docs/empty.txt": "", "Ünïcode 名字.txt": "名字\n"}
    skin = {"main.xml": "<Window size=\"600,400\"/>\n", "images/bg.png": os.urandom(3000)}
    write(os.path.join(product, "tzbuild.conf"), """# the test product
script   install.xml
payload  302 payload            # a folder
payload  306 tools.7z           # a ready archive
language lang_en en_us lang/en.ini
licence  lic_en  en_us lang/licence.txt
skin     skin
icon     app.ico
file-version    2.3.4.5
product-version 2.3
product-name    Lumo
company         DazeVara Test
description     Lumo Setup
""")
    write(os.path.join(product, "install.xml"), script)
    for rel, data in payload.items():
        write(os.path.join(product, "payload", rel), data)
    os.makedirs(os.path.join(product, "payload", "empty-dir"), exist_ok=True)
    for rel, data in skin.items():
        write(os.path.join(product, "skin", rel), data)
    write(os.path.join(product, "lang", "en.ini"), "\ufeff[Lang]\nApp.Name=Lumo\nTitle=${App.Name} Setup\n")
    write(os.path.join(product, "lang", "licence.txt"), "Licence text\n")
    write(os.path.join(product, "app.ico"), make_icon())
    write(os.path.join(env.work, "tools-src", "tool.txt"), "a tool\n")
    subprocess.run(["7zz", "a", "-t7z", "-bd", "-bso0", "-bsp0", os.path.join(product, "tools.7z"), "tool.txt"],
                   cwd=os.path.join(env.work, "tools-src"), check=True)

    def install(exe, what):
        shutil.rmtree(inst, ignore_errors=True)
        if os.path.exists(log):
            os.remove(log)
        rc, _, _ = env.wine([exe, "/s"])
        expect(rc == 0, f"{what}: exit code {rc}")
        for rel, data in payload.items():
            path = os.path.join(inst, rel)
            expect(os.path.isfile(path), f"{what}: {rel} not installed")
            with open(path, "rb") as f:
                expect(f.read() == (data.encode("utf-8") if isinstance(data, str) else data), f"{what}: {rel} differs")
        expect(os.path.isdir(os.path.join(inst, "empty-dir")), f"{what}: the empty folder is missing")
        expect(os.path.isfile(os.path.join(inst, "tools", "tool.txt")), f"{what}: the ready archive was not extracted")
        for rel, data in skin.items():
            with open(os.path.join(inst, "skin", rel), "rb") as f:
                expect(f.read() == (data.encode("utf-8") if isinstance(data, str) else data), f"{what}: skin {rel}")
        with open(log, "rb") as f:
            text = f.read().decode("utf-16")
        for line in ("Set var SHOWN, value Lumo Setup 2.3.4.5 2.3", "Set var CO, value DazeVara Test"):
            expect(line in text, f"{what}: no log line {line!r}")

    try:
        out1, out2, out3 = (os.path.join(env.work, n) for n in ("setup.exe", "again.exe", "onethread.exe"))
        rc, so, err = env.tzbuild(product, out1, "--threads", "2")
        expect(rc == 0, f"build: exit code {rc}:\n{so}{err}")
        install(out1, "installer")

        res = resources(out1)
        with open(os.path.join(product, "install.xml"), "rb") as f:
            expect(res.get(("FILE", 301)) == f.read(), "the script is not carried as FILE 301")
        expect(res.get(("LANG", "LIC_EN")) == b"Licence text\n", "the licence is not carried as LANG lic_en")
        expect(res.get((3, 1)) == make_icon()[22:], "the icon image is not carried as RT_ICON 1")
        expect((14, 1) in res, "no RT_GROUP_ICON")
        expect(24 in [t for t, _ in res], "the engine's manifest was dropped")
        expect(res.get(("FILE", 302), b"")[:6] == b"7z\xbc\xaf\x27\x1c", "payload 302 is not a 7z archive")
        write(os.path.join(env.work, "302.7z"), res[("FILE", 302)])
        listing = subprocess.run(["7zz", "l", "-slt", os.path.join(env.work, "302.7z")],
                                 capture_output=True).stdout.decode()
        expect("Solid = +" in listing and "LZMA2" in listing, "payload 302 is not solid LZMA2")
        times = set(re.findall(r"^Modified = (\S+ \S{8})", listing, re.M))
        expect(times == {"2020-01-01 00:00:00"}, f"entry times {times}")
        expect(res.get(("UI", 201), b"")[:4] == b"PK\x03\x04", "the skin is not a zip")

        rc, _, err = env.tzbuild(product, out2, "--threads", "2")
        expect(rc == 0, f"second build: {err}")
        rc, _, err = env.tzbuild(product, out3, "--threads", "1")
        expect(rc == 0, f"one-thread build: {err}")
        with open(out1, "rb") as a, open(out2, "rb") as b, open(out3, "rb") as c:
            one, two, three = a.read(), b.read(), c.read()
        expect(one == two, "two builds of the same folder differ")
        expect(one == three, "the build with one thread differs")

        # Signed afterwards with a throw-away certificate, it still finds and extracts everything.
        key, cert, signed = (os.path.join(env.work, n) for n in ("test.key", "test.crt", "signed.exe"))
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj",
                        "/CN=TzSetup test signer", "-keyout", key, "-out", cert], check=True, capture_output=True)
        r = subprocess.run(["osslsigncode", "sign", "-certs", cert, "-key", key, "-n", "Lumo Setup",
                            "-in", out1, "-out", signed], capture_output=True)
        expect(r.returncode == 0, f"osslsigncode sign failed: {r.stdout.decode()}{r.stderr.decode()}")
        r = subprocess.run(["osslsigncode", "verify", "-CAfile", cert, "-in", signed], capture_output=True)
        expect(r.returncode == 0, f"the signature does not verify: {r.stdout.decode()}{r.stderr.decode()}")
        install(signed, "signed installer")
    except Failure as e:
        failures.append(str(e))
    return failures


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", required=True)
    ap.add_argument("family", choices=["checks", "inputs", "product"])
    args = ap.parse_args()
    env = Env(args.build, args.family)
    failures = {"checks": run_checks, "inputs": run_inputs, "product": run_product}[args.family](env)
    for f in failures:
        print("FAIL " + f)
    print(f"tzbuild {args.family}: {len(failures)} failure(s)")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
