#!/usr/bin/env python3
"""The bounded fuzz pass of the test command: a fixed seed, a few thousand cases, well under a minute.

- install scripts: tools/fuzz/script_fuzz (mutated scripts through the loader, conditions, expansion);
- archives and language tables: tools/fuzz/input_fuzz (mutated 7z and zip headers and bodies,
  truncated streams, hostile item names through the extract action; mutated INI texts);
- command lines: the real installer with the built skin package under random command lines.
Every case must end with a result and a log line, with no crash and no file outside its target.
Prints the number of cases and the time taken; exit status 1 on any finding.
"""
import argparse
import glob
import os
import random
import shutil
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
TOP = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(TOP, "tests", "e2e"))
import archive_gen  # noqa: E402


def win(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


HOSTILE = ["../tzfz_up.txt", "a/../../tzfz_up2.txt", "C:/tzfz_drive.txt", "/tzfz_abs.txt"]
PLAIN = ["CON", "NUL.txt", "aux/tzfz_x.txt", "com1.txt", "tzfz. .", "tzfz_dots...", "tzfz_" + "n" * 200,
         "tzfz_" + "d" * 146 + "/" + "tzfz_" + "e" * 144]


def make_seeds(out):
    """Archives whose item names start with "tzfz", headers left uncompressed so names can be rewritten."""
    os.makedirs(out)
    seeds = []
    tree = os.path.join(out, "_tree")
    for i, name in enumerate(["tzfz_a.txt", "tzfz_dir/tzfz_b.txt", "tzfz_dir/tzfz_sub/tzfz_c.bin"]):
        path = os.path.join(tree, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(bytes(range(256)) * (i * 3 + 1))
    for n, switches in enumerate([["-mhc=off"], ["-mhc=off", "-m0=Copy"], ["-mhc=off", "-m0=PPMd", "-ms=off"],
                                  ["-m0=Deflate"], ["-mhc=off", "-m0=BZip2"]]):
        seeds.append(os.path.join(out, "plain%d.7z" % n))
        subprocess.run(["7zz", "a", "-t7z", "-bd", "-bso0", "-bsp0", *switches, seeds[-1], "."], cwd=tree,
                       check=True, env=archive_gen.ENV)
    for n, method in enumerate(["-mm=Deflate", "-mm=Copy"]):
        seeds.append(os.path.join(out, "plain%d.zip" % n))
        subprocess.run(["7zz", "a", "-tzip", "-bd", "-bso0", "-bsp0", method, seeds[-1], "."], cwd=tree,
                       check=True, env=archive_gen.ENV)
    entries = [{"name": n, "text": "hostile %d\n" % i} for i, n in enumerate(HOSTILE + PLAIN)]
    seeds.append(os.path.join(out, "names.7z"))
    archive_gen.generate("7z", seeds[-1], {"entries": entries + [{"name": "tzfz_ok.txt", "text": "ok"}]},
                         os.path.join(out, "_gen7z"))
    zip_names = HOSTILE + PLAIN + ["..\\tzfz_bs.txt", "C:tzfz_rel.txt", "\\\\srv\\share\\tzfz.txt",
                                   "tzfz_" + "x" * 295, "NUL", "a/NUL.txt", "tzfz_ok.txt"]
    for n, stored in enumerate([False, True]):
        seeds.append(os.path.join(out, "names%d.zip" % n))
        archive_gen.generate("zip", seeds[-1], {"stored": stored, "entries": [
            {"name": name, "text": "z%d" % i} for i, name in enumerate(zip_names)]}, None)
    seeds.append(os.path.join(out, "empty.7z"))
    archive_gen.generate("empty_7z", seeds[-1], {}, None)
    shutil.rmtree(tree)
    return seeds


SCRIPT = """<?xml version="1.0" encoding="utf-8"?>
<config>
  <setting><appname>Fuzz</appname><logfile>%(log)s</logfile></setting>
  <action>
    <item><id>500</id><type>var</type><name>SEEN</name><value>%%INSTDIR%%|%%#App.Name#%%</value></item>
  </action>
  <oninit><item><id>1</id><aid>500</aid></item><item><id>2</id><silent>false</silent><aid>3</aid></item></oninit>
  <install><item><id>1</id><aid>500</aid></item></install>
  <i18n><stringtable>
    <item><name>zh-cn</name><value>lang_zh</value></item>
    <item><name>en</name><value>lang_en</value></item>
  </stringtable></i18n>
</config>
"""

PIECES = ["/s", "/S", "/log", "/LOG", "/uninstall", "/lang", "/langen", "/langzh-cn", "/langEN", "/lang中文",
          "/langxx-" + "y" * 300, "/ch", "/ch12", "/ch" + "9" * 5000, "/tar", "/tarC:\\", "/tar..\\..",
          "/tarCON", "/tar\\\\srv\\share", "/tar%INSTDIR%", "/tar%APPNAME%\\%%", "/tar" + "t" * 300,
          "/tar{WORK}\\tar dir", '"', '"/s', 'a"b', "\\\\", "", " ", "-s", "/?", "/s/log", "/lo", "/l",
          "\u202e/s", "%windir%", "x" * 8000]


def command_line_cases(build, work, rng, count, log):
    installer = os.path.join(work, "fuzzsetup.exe")
    script = os.path.join(work, "script.xml")
    with open(script, "w", encoding="utf-8") as f:
        f.write(SCRIPT % {"log": win(os.path.join(work, "cmd.log"))})
    en, zh = os.path.join(work, "en.ini"), os.path.join(work, "zh.ini")
    with open(en, "w", encoding="utf-8") as f:
        f.write("\ufeff[Lang]\nApp.Name=Fuzz ${App.Name}\n")
    with open(zh, "w", encoding="utf-8") as f:
        f.write("\ufeff[Lang]\nApp.Name=模糊\n")
    p = subprocess.run(["wine", os.path.join(build, "tools", "respack.exe"), win(os.path.join(build, "setup.exe")),
                        win(installer), "FILE", "301", win(script), "#1033", "LANG", "lang_en", win(en), "#1033",
                        "LANG", "lang_zh", win(zh), "#1033", "UI", "201",
                        win(os.path.join(build, "product", "skin.zip")), "#1033"],
                       capture_output=True, stdin=subprocess.DEVNULL)
    if p.returncode != 0:
        log("respack failed: %s" % p.stderr.decode(errors="replace"))
        return 1
    before = set(os.listdir(work))
    findings = 0
    for i in range(count):
        args = [rng.choice(PIECES).replace("{WORK}", win(work)) for _ in range(rng.randint(1, 5))]
        if rng.random() < 0.8 and "/s" not in args:
            args.append("/s")  # mostly silent: an interactive run stops after oninit, before its window
        logfile = os.path.join(work, "cmd.log")
        if os.path.exists(logfile):
            os.remove(logfile)
        try:
            p = subprocess.run(["wine", installer] + args, cwd=work, stdin=subprocess.DEVNULL,
                               capture_output=True, timeout=60)
            code = p.returncode
        except subprocess.TimeoutExpired:
            code = None
        lines = []
        if os.path.exists(logfile):
            lines = open(logfile, "rb").read()[2:].decode("utf-16-le", errors="replace").split("\r\n")
        ok = code in (0, 1, 2, 3, 4) and len(lines) > 3 and any("安装完成" in line for line in lines)
        for name in set(os.listdir(work)) - before:
            if name.startswith("fuzzsetup.exe_") and name.endswith(".txt"):
                os.remove(os.path.join(work, name))  # the /log exit copy
            elif name != "cmd.log":
                log("command line case %d: %s appeared" % (i, name))
                ok = False
        if not ok:
            log("FINDING: command line case %d %r: exit %s, %d log lines" % (i, args, code, len(lines)))
            findings += 1
    return findings


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", required=True)
    ap.add_argument("--seed", type=int, default=20261209)
    ap.add_argument("--scripts", type=int, default=400)
    ap.add_argument("--archives", type=int, default=1500)
    ap.add_argument("--langs", type=int, default=700)
    ap.add_argument("--cmdlines", type=int, default=16)
    a = ap.parse_args()
    build = os.path.abspath(a.build)
    work = os.path.join(build, "fuzz", "pass")
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    t0 = time.time()

    def log(text):
        print(text, flush=True)

    seeds = make_seeds(os.path.join(work, "seeds"))
    findings = 0
    fuzz = os.path.join(build, "fuzz")
    scripts = sorted(glob.glob(os.path.join(TOP, "tests", "e2e", "*", "script.xml")))
    scripts.append(os.path.join(TOP, "product", "demo", "install.xml"))
    p = subprocess.run(["wine", os.path.join(fuzz, "script_fuzz.exe"), str(a.seed), str(a.scripts)] +
                       [win(s) for s in scripts], cwd=work, stdin=subprocess.DEVNULL, capture_output=True,
                       timeout=300)
    if p.returncode != 0:
        log("FINDING in the script pass:\n" + p.stdout.decode(errors="replace") + p.stderr.decode(errors="replace"))
        findings += 1
    t1 = time.time()

    inputs = os.path.join(work, "inputs")
    os.makedirs(inputs)
    langs = sorted(glob.glob(os.path.join(TOP, "tests", "e2e", "lang_*", "*.ini")))
    p = subprocess.run(["wine", os.path.join(fuzz, "input_fuzz.exe"), str(a.seed), str(a.archives), str(a.langs),
                        win(inputs), "--archives"] + [win(s) for s in seeds] + ["--langs"] + [win(s) for s in langs],
                       cwd=work, stdin=subprocess.DEVNULL, capture_output=True, timeout=300)
    out = p.stdout.decode(errors="replace") + p.stderr.decode(errors="replace")
    if p.returncode != 0:
        log("FINDING in the archive and language pass:\n" + out)
        findings += 1
    else:
        log(out.strip())
    t2 = time.time()

    findings += command_line_cases(build, os.path.join(work, "cmd"), random.Random(a.seed), a.cmdlines, log) \
        if os.makedirs(os.path.join(work, "cmd")) is None else 0
    # Items written under a pending name schedule a rename at reboot; none of them may stay.
    subprocess.run(["wine", os.path.join(build, "tools", "pendingops.exe"), "clear", win(work)],
                   stdin=subprocess.DEVNULL, capture_output=True)
    t3 = time.time()
    total = a.scripts + a.archives + a.langs + a.cmdlines
    log("fuzz pass: seed %d, %d cases (%d scripts %.1fs, %d archives and %d language tables %.1fs, "
        "%d command lines %.1fs) in %.1f s, %d findings" % (
            a.seed, total, a.scripts, t1 - t0, a.archives, a.langs, t2 - t1, a.cmdlines, t3 - t2, t3 - t0, findings))
    return 1 if findings else 0


if __name__ == "__main__":
    sys.exit(main())
