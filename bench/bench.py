#!/usr/bin/env python3
"""Benchmarks of the installer engine under Wine; each prints a table of medians.

  bench.py BUILD [expand|stage|extract|compress|all] [--runs K] [--quick] [--scales 1.0,0.1]

  expand   time of one Expand call (1 KB text, 20 references to cached variables)
  stage    a silent install whose `install` stage holds N items, each gated by cached conditions
           and running one `var` action, for N = 300, 3,000, 30,000
  extract  the `extract` action on the standard payload against 7-Zip's own console extractor
           (7zr built from the same source), time and memory peaks, with and without a log file
  compress tzbuild packing the standard payload into an installer against 7-Zip's own console
           program (7zr a, same source, same Wine, same thread count) and Debian's native 7zz

Expects the Wine environment of scripts/wine-env.sh (WINEPREFIX, a running wineserver, DISPLAY)
and the programs built by bench/run.sh. Work files live in BUILD/bench-work; extracted trees are
moved aside between runs and all deleted at the end (creating thousands of files right after
deleting thousands is slow on these machines).
"""
import argparse
import json
import os
import re
import shutil
import statistics
import struct
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
GEN_PAYLOAD = os.path.join(HERE, "..", "..", "shared", "bench", "gen_payload.py")
LINE_RE = re.compile(r"^\[(\d\d):(\d\d):(\d\d)\.(\d\d\d)\]( \[警告\]: | \[错误\]: | )(.*)$")
# 7-Zip's console extractor, run on the same archive into the same folder: the reference and two
# splits (decoding alone; one decoder thread, which shows what the second thread's buffers cost).
REFERENCES = {"ref": ["x"], "ref_t": ["t"], "ref_mt1": ["x", "-mmt1"]}
MEMRUN_RE = re.compile(r"memrun exit=(\d+) ms=([\d.]+) peak_ws_kb=(\d+) peak_private_kb=(\d+) samples=(\d+)")

# Lines that bracket the silent `install` stage, and the extract action's own lines.
BEFORE_INSTALL = "安装前动作成功完成"
AFTER_INSTALL = "静默安装动作成功完成"
EXTRACT_BEGIN = "准备解压一个资源302"
EXTRACT_DONE = "动作200已成功解压"


def win(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def median(values):
    return statistics.median(values) if values else float("nan")


class CpuLatencyHold:
    """Keeps the CPUs out of deep idle states while open (writing 0 to /dev/cpu_dma_latency holds
    the request until the file is closed): every Wine call to wineserver otherwise waits for a
    sleeping CPU to wake."""

    def __enter__(self):
        self.fd = None
        try:
            self.fd = os.open("/dev/cpu_dma_latency", os.O_WRONLY)
            os.write(self.fd, struct.pack("<i", 0))
            print("cpu wake latency held at 0 us")
        except OSError as e:
            print("WARNING: cannot hold /dev/cpu_dma_latency (%s): Wine timings will swing" % e)
        return self

    def __exit__(self, *exc):
        if self.fd is not None:
            os.close(self.fd)


class Bench:
    def __init__(self, build, runs, quick, scales):
        self.build = os.path.abspath(build)
        self.work = os.path.join(self.build, "bench-work")
        self.trash = os.path.join(self.work, "trash")
        self.runs = runs
        self.quick = quick
        self.scales = scales
        os.makedirs(self.trash, exist_ok=True)
        self.env = dict(os.environ)
        self.env["WINEDEBUG"] = "-all"
        self.env.setdefault("WINEDLLOVERRIDES", "mscoree,mshtml=")
        self.trash_count = 0

    # -- helpers ------------------------------------------------------------------------
    def wine(self, args, timeout=1800):
        return subprocess.run(["wine"] + args, env=self.env, stdin=subprocess.DEVNULL, capture_output=True,
                              timeout=timeout)

    def memrun(self, args):
        """Runs a Windows program under the memory wrapper: (exit, ms, peak ws KB, peak private KB)."""
        p = self.wine([os.path.join(self.build, "bench", "bench_memrun.exe")] + args)
        m = MEMRUN_RE.search(p.stdout.decode("utf-8", "replace"))
        if not m:
            raise RuntimeError("memrun failed: %s %s" % (p.stdout.decode(errors="replace"),
                                                         p.stderr.decode(errors="replace")))
        return int(m.group(1)), float(m.group(2)), int(m.group(3)), int(m.group(4))

    def pack(self, out, resources):
        """An installer: our setup.exe with the given (type, name, file) resources and the built skin
        package, which every run loads (silent ones too)."""
        args = [os.path.join(self.build, "tools", "respack.exe"), win(os.path.join(self.build, "setup.exe")),
                win(out)]
        if not any(rtype == "UI" for rtype, _, _ in resources):
            resources = list(resources) + [("UI", 201, os.path.join(self.build, "product", "skin.zip"))]
        for rtype, name, path in resources:
            args += [rtype, str(name), win(path), "#1033"]
        p = self.wine(args)
        if p.returncode != 0:
            raise RuntimeError("respack failed: %s" % p.stderr.decode(errors="replace"))

    def move_aside(self, path):
        """Moves a tree out of the way; all of them are deleted in finish()."""
        if os.path.exists(path):
            self.trash_count += 1
            os.rename(path, os.path.join(self.trash, "%d_%s" % (self.trash_count, os.path.basename(path))))

    def finish(self):
        shutil.rmtree(self.trash, ignore_errors=True)

    @staticmethod
    def read_log(path):
        """[(milliseconds of the day, text)] of a UTF-16LE log file."""
        with open(path, "rb") as f:
            text = f.read().decode("utf-16-le", "replace").lstrip("\ufeff")
        out = []
        for line in text.split("\r\n"):
            m = LINE_RE.match(line)
            if m:
                h, mi, s, ms = (int(m.group(i)) for i in range(1, 5))
                out.append((((h * 60 + mi) * 60 + s) * 1000 + ms, m.group(6)))
        return out

    @staticmethod
    def span(lines, first, last):
        """Milliseconds between the first line reading `first` and the next one reading `last`."""
        t0 = next((t for t, x in lines if x == first), None)
        if t0 is None:
            return None
        t1 = next((t for t, x in lines if x == last and t >= t0 - 1000), None)
        if t1 is None:
            return None
        return (t1 - t0) % (24 * 3600 * 1000)

    def exit_copy(self, folder, name):
        copies = [f for f in os.listdir(folder) if f.startswith(name + "_") and f.endswith(".txt")]
        return [os.path.join(folder, f) for f in sorted(copies)]

    # -- expand -------------------------------------------------------------------------
    def expand(self):
        print("\n== Expand ==")
        rounds, calls = (5, 5000) if self.quick else (9, 20000)
        p = self.wine([os.path.join(self.build, "bench", "bench_expand.exe"), str(rounds), str(calls)])
        print(p.stdout.decode("utf-8", "replace").rstrip())
        if p.returncode != 0:
            print("bench_expand failed: %s" % p.stderr.decode(errors="replace"))

    # -- stage --------------------------------------------------------------------------
    @staticmethod
    def stage_script(n, logfile):
        """N conditions, N var actions, N install items. Item i is gated by conditions i and i-1
        ("and"), its group by condition i again: every condition is evaluated once and then
        answered twice from its cache. Each action sets its own variable from a cached one."""
        out = ['<?xml version="1.0" encoding="utf-8"?>', "<config>", "<setting><appname>StageBench</appname>"]
        if logfile:
            out.append("<logfile>%s</logfile>" % logfile)
        out += ["</setting>", "<condition>"]
        for i in range(n):
            out.append("<item><id>%d</id><type>var</type><name>BASE</name><valuetype>str</valuetype>"
                       "<value>bench</value></item>" % (100 + i))
        out += ["</condition>", "<variable>",
                "<item><id>1</id><type>const</type><varname>BASE</varname><value>bench</value></item>",
                "</variable>", "<action>"]
        for i in range(n):
            out.append("<item><id>%d</id><type>var</type><name>V%d</name><value>%%BASE%%\\item%d</value></item>"
                       % (100 + i, i, i))
        out += ["</action>", "<install>"]
        for i in range(n):
            prev = 100 + (i - 1) % n
            out.append("<item><id>%d</id><cid1>%d</cid1><cid2>%d</cid2><logic>and</logic>"
                       "<group><cid1>%d</cid1><aid>%d</aid></group></item>" % (i + 1, 100 + i, prev, 100 + i, 100 + i))
        out += ["</install>", "</config>", ""]
        return "\n".join(out)

    def stage(self):
        print("\n== Stage: N var actions behind N cached conditions, silent install ==")
        sizes = [300, 3000] if self.quick else [300, 3000, 30000]
        root = os.path.join(self.work, "stage")
        shutil.rmtree(root, ignore_errors=True)
        os.makedirs(root)
        rows = []
        for mode in ("file", "memory"):
            # Empty install stage: the whole-run baseline.
            for n in [0] + sizes:
                folder = os.path.join(root, "%s_%d" % (mode, n))
                os.makedirs(folder)
                log = os.path.join(folder, "install.log")
                script = os.path.join(folder, "script.xml")
                with open(script, "w", encoding="utf-8") as f:
                    f.write(self.stage_script(n, win(log) if mode == "file" else None))
                installer = os.path.join(folder, "setup.exe")
                self.pack(installer, [("FILE", 301, script)])
                args = [win(installer), "/s"] + (["/log"] if mode == "memory" else [])
                stage_ms, run_ms = [], []
                for _ in range(self.runs):
                    for c in self.exit_copy(folder, "setup.exe"):
                        os.remove(c)
                    code, ms, _, _ = self.memrun(args)
                    if code != 0:
                        raise RuntimeError("stage run N=%d exited with %d" % (n, code))
                    path = log if mode == "file" else (self.exit_copy(folder, "setup.exe") or [None])[-1]
                    lines = self.read_log(path)
                    if n and sum(1 for _, x in lines if x.startswith("Set var V")) != n:
                        raise RuntimeError("stage run N=%d did not run every action" % n)
                    # Each condition is evaluated (and logged) once; its other two uses hit the cache.
                    if sum(1 for _, x in lines if x.startswith("条件")) != n:
                        raise RuntimeError("stage run N=%d: conditions were not answered from the cache" % n)
                    stage_ms.append(self.span(lines, BEFORE_INSTALL, AFTER_INSTALL))
                    run_ms.append(ms)
                rows.append((mode, n, median(stage_ms), median(run_ms), len(lines)))
        print("stage time: from the log's time stamps (line '%s' to line '%s'), median of %d runs"
              % (BEFORE_INSTALL, AFTER_INSTALL, self.runs))
        print("run time: whole process (memrun), minus the same installer with an empty install stage")
        print("%-8s %7s %10s %12s %10s %12s %9s" % ("log", "N", "stage ms", "us per item", "run ms",
                                                      "run-empty ms", "log lines"))
        base = {m: r for m, n, _, r, _ in rows if n == 0}
        for mode, n, st, run, nlines in rows:
            if n == 0:
                print("%-8s %7s %10s %12s %10.0f %12s %9d" % (mode, "empty", "-", "-", run, "-", nlines))
                continue
            print("%-8s %7d %10.0f %12.1f %10.0f %12.0f %9d" % (mode, n, st, 1000.0 * st / n, run,
                                                              run - base[mode], nlines))
        print("(memory log: the run time includes writing the /log exit copy at the end)")
        for mode in ("file", "memory"):
            per = [(n, st / n) for m, n, st, _, _ in rows if m == mode and n]
            for (n0, p0), (n1, p1) in zip(per, per[1:]):
                print("%s log: per-item time at N=%d is %.2fx the per-item time at N=%d (1.00 = linear)"
                      % (mode, n1, p1 / p0, n0))
        for mode, n, st, _, _ in rows:
            if n == 3000:
                print("goal: N=3,000 stage under 500 ms under Wine (%s log): %.0f ms -> %s"
                      % (mode, st, "met" if st < 500 else "NOT met"))
        shutil.rmtree(root, ignore_errors=True)

    # -- extract ------------------------------------------------------------------------
    def payload_tree(self, scale):
        tree = os.path.join(self.work, "payload-%s" % scale)
        if not os.path.isdir(tree):
            print("generating payload --scale %s ..." % scale, flush=True)
            subprocess.run([sys.executable, GEN_PAYLOAD, tree, "--seed", "1", "--scale", str(scale)], check=True,
                           stdout=subprocess.DEVNULL)
        return tree

    def payload(self, scale):
        """The standard payload tree at `scale` and its solid LZMA2 -mx=5 7z archive."""
        tree = self.payload_tree(scale)
        archive = os.path.join(self.work, "payload-%s.7z" % scale)
        if not os.path.exists(archive):
            print("packing %s ..." % archive, flush=True)
            tmp = archive + ".tmp.7z"
            if os.path.exists(tmp):
                os.remove(tmp)
            subprocess.run(["7zz", "a", "-t7z", "-m0=lzma2", "-mx=5", "-ms=on", "-bd", "-bso0", "-bsp0", tmp, "."],
                           cwd=tree, check=True)
            os.rename(tmp, archive)
        files = sum(len(f) for _, _, f in os.walk(tree))
        size = sum(os.path.getsize(os.path.join(d, x)) for d, _, fs in os.walk(tree) for x in fs)
        return archive, files, size

    @staticmethod
    def extract_script(target, logfile, extract=True):
        out = ['<?xml version="1.0" encoding="utf-8"?>', "<config>", "<setting><appname>ExtractBench</appname>"]
        if logfile:
            out.append("<logfile>%s</logfile>" % logfile)
        out += ["</setting>", "<action>",
                "<item><id>200</id><type>extract</type><value>302</value><name>FILE</name>"
                "<path>%s</path><start>1</start><end>85</end></item>" % target,
                "<item><id>201</id><type>var</type><name>COST</name><value>%STAT_EXTRACTCOST%</value></item>",
                "</action>", "<install>"]
        if extract:
            out.append("<item><id>1</id><aid>200,201</aid></item>")
        out += ["</install>", "</config>", ""]
        return "\n".join(out)

    def extract(self):
        print("\n== Extract: standard payload, solid 7z LZMA2 -mx=5 ==")
        root = os.path.join(self.work, "extract")
        shutil.rmtree(root, ignore_errors=True)
        os.makedirs(root)
        scales = ["0.1"] if self.quick else self.scales
        sevenzr = os.path.join(self.build, "bench", "7zr.exe")
        results = {}
        for scale in scales:
            archive, files, size = self.payload(scale)
            asize = os.path.getsize(archive)
            print("payload %s: %d files, %.1f MB; archive %.1f MB" % (scale, files, size / 1e6, asize / 1e6))
            target = os.path.join(root, "out")
            installers = {}
            for name, logfile, extract in (("file", True, True), ("memory", False, True), ("idle", False, False)):
                folder = os.path.join(root, "%s_%s" % (name, scale))
                os.makedirs(folder)
                script = os.path.join(folder, "script.xml")
                log = os.path.join(folder, "install.log")
                with open(script, "w", encoding="utf-8") as f:
                    f.write(self.extract_script(win(target), win(log) if logfile else None, extract))
                installer = os.path.join(folder, "setup.exe")
                self.pack(installer, [("FILE", 301, script), ("FILE", 302, archive)])
                installers[name] = (folder, installer, log)
            # Interleave the variants so slow drifts of the machine hit them all alike.
            samples = {k: [] for k in list(REFERENCES) + ["file", "memory", "idle"]}
            for _ in range(self.runs):
                for name, command in REFERENCES.items():
                    self.move_aside(target)
                    code, ms, ws, priv = self.memrun([sevenzr] + command + ["-y", "-bd", win(archive),
                                                                           "-o" + win(target)])
                    if code != 0:
                        raise RuntimeError("7zr %s exited with %d" % (command, code))
                    samples[name].append((ms, ws, priv, None, None))
                for name in ("file", "memory", "idle"):
                    folder, installer, log = installers[name]
                    self.move_aside(target)
                    for c in self.exit_copy(folder, "setup.exe"):
                        os.remove(c)
                    args = [win(installer), "/s"] + (["/log"] if name != "file" else [])
                    code, ms, ws, priv = self.memrun(args)
                    if code != 0:
                        raise RuntimeError("installer (%s) exited with %d" % (name, code))
                    action = cost = None
                    if name != "idle":
                        path = log if name == "file" else self.exit_copy(folder, "setup.exe")[-1]
                        lines = self.read_log(path)
                        action = self.span(lines, EXTRACT_BEGIN, EXTRACT_DONE)
                        if action is None:
                            raise RuntimeError("installer (%s): the extract action did not succeed" % name)
                        cost = next((int(x.split("value ")[1]) for _, x in lines if x.startswith("Set var COST,")),
                                    None)
                        done = sum(1 for _, x in lines if x.startswith("解压文件(0) "))
                        if done < files:
                            raise RuntimeError("installer (%s): %d of %d files extracted" % (name, done, files))
                    samples[name].append((ms, ws, priv, action, cost))
            self.move_aside(target)
            results[scale] = (samples, asize)

        print("time: median of %d runs; 'action' from the log's time stamps (first line of the action to its"
              " success line), 'STAT' its own STAT_EXTRACTCOST; 'process' is the whole process (memrun)."
              % self.runs)
        print("memory: peak working set and peak private (resident anonymous) memory, sampled by memrun.")
        print("%-5s %-26s %10s %9s %9s %9s %9s %9s" % ("scale", "run", "process ms", "action ms", "STAT ms",
                                                         "ratio", "peak WS MB", "peak priv MB"))
        for scale in scales:
            samples, asize = results[scale]
            ref = median([s[0] for s in samples["ref"]])
            labels = {"ref": "7zr x (reference)", "ref_t": "7zr t (decode, no files)",
                      "ref_mt1": "7zr x -mmt1 (one thread)", "file": "setup /s, script log file",
                      "memory": "setup /s, log in memory", "idle": "setup /s, no extract (base)"}
            for name in list(REFERENCES) + ["file", "memory", "idle"]:
                s = samples[name]
                proc = median([x[0] for x in s])
                action = median([x[3] for x in s]) if name in ("file", "memory") else None
                cost = median([x[4] for x in s if x[4] is not None]) if name in ("file", "memory") else None
                ratio = (action / ref) if action is not None else proc / ref
                print("%-5s %-26s %10.0f %9s %9s %8.2fx %9.1f %9.1f" % (
                    scale, labels[name], proc, "-" if action is None else "%.0f" % action,
                    "-" if cost is None else "%.0f" % cost, ratio,
                    median([x[1] for x in s]) / 1024, median([x[2] for x in s]) / 1024))
            print("%-5s archive resource: %.1f MB" % (scale, asize / 1e6))
        if "1.0" in results:
            samples, _ = results["1.0"]
            ref = median([s[0] for s in samples["ref"]])
            for name in ("file", "memory"):
                action = median([x[3] for x in samples[name]])
                print("goal: extract action within 1.10x of 7zr (%s): %.2fx -> %s"
                      % (name, action / ref, "met" if action <= 1.10 * ref else "NOT met"))
        for scale in scales:
            samples, asize = results[scale]
            peak = lambda name: median([x[2] for x in samples[name]]) / 1024
            print("payload %s: peak private MB: idle installer %.1f (archive resource %.1f MB); extraction adds"
                  " %.1f (log in memory) / %.1f (log file); 7zr x peaks at %.1f, with one thread %.1f"
                  % (scale, peak("idle"), asize / 1e6, peak("memory") - peak("idle"), peak("file") - peak("idle"),
                     peak("ref"), peak("ref_mt1")))


def compress(bench):
    """tzbuild's solid LZMA2 packing against 7-Zip's console program from the same source under the
    same Wine (7zr a), same level and thread count; Debian's native 7zz for reference. tzbuild's
    time is its whole run: reading the folder, checking the script, packing, writing the installer."""
    print("\n== Compress: standard payload into solid 7z LZMA2 -mx=5 ==")
    threads = os.cpu_count() or 1
    scale = "0.1" if bench.quick else "1.0"
    tree = bench.payload_tree(scale)
    files = sum(len(f) for _, _, f in os.walk(tree))
    size = sum(os.path.getsize(os.path.join(d, x)) for d, _, fs in os.walk(tree) for x in fs)
    root = os.path.join(bench.work, "compress")
    shutil.rmtree(root, ignore_errors=True)
    product = os.path.join(root, "product")
    os.makedirs(product)
    with open(os.path.join(product, "install.xml"), "w", encoding="utf-8") as f:
        f.write('<config><action><item><id>200</id><type>extract</type><value>302</value><name>FILE</name>'
                '</item></action><install><item><aid>200</aid></item></install></config>\n')
    with open(os.path.join(product, "tzbuild.conf"), "w", encoding="utf-8") as f:
        f.write("script install.xml\npayload 302 %s\n" % win(tree))
    switches = ["-t7z", "-m0=lzma2", "-mx=5", "-ms=on", "-mmt=%d" % threads, "-bd", "-bso0", "-bsp0"]
    out = {"tzbuild": os.path.join(root, "setup.exe"), "7zr": os.path.join(root, "ref.7z"),
           "7zz": os.path.join(root, "native.7z")}
    commands = {
        "tzbuild": lambda: bench.wine([os.path.join(bench.build, "tools", "tzbuild.exe"), win(product), "-o",
                                       win(out["tzbuild"]), "--level", "5", "--threads", str(threads)]),
        "7zr": lambda: bench.wine([os.path.join(bench.build, "bench", "7zr.exe"), "a"] + switches +
                                  [win(out["7zr"]), win(tree) + "\\*"]),
        "7zz": lambda: subprocess.run(["7zz", "a"] + switches + [out["7zz"], tree + "/*"], capture_output=True),
    }
    times = {k: [] for k in commands}
    sizes = {}
    print("payload %s: %d files, %.1f MB; %d threads; %d runs each, interleaved" % (scale, files, size / 1e6,
                                                                                   threads, bench.runs), flush=True)
    for _ in range(bench.runs):
        for name, run in commands.items():
            if os.path.exists(out[name]):
                os.remove(out[name])
            t0 = time.monotonic()
            p = run()
            elapsed = time.monotonic() - t0
            if p.returncode != 0:
                raise RuntimeError("%s failed: %s %s" % (name, p.stdout.decode(errors="replace"),
                                                         p.stderr.decode(errors="replace")))
            times[name].append(elapsed)
            if name == "tzbuild":
                m = re.search(r"packed into (\d+)", p.stdout.decode("utf-8", "replace"))
                sizes[name] = int(m.group(1))
            else:
                sizes[name] = os.path.getsize(out[name])
    ref_t, ref_s = median(times["7zr"]), sizes["7zr"]
    labels = {"tzbuild": "tzbuild (whole build)", "7zr": "7zr a (reference, Wine)", "7zz": "7zz a (native Linux)"}
    print("%-26s %9s %9s %7s %14s %8s" % ("run", "median s", "spread s", "ratio", "archive bytes", "size"))
    for name in ("tzbuild", "7zr", "7zz"):
        t = times[name]
        print("%-26s %9.2f %9.2f %6.2fx %14d %7.2f%%" % (labels[name], median(t), max(t) - min(t), median(t) / ref_t,
                                                         sizes[name], 100.0 * (sizes[name] - ref_s) / ref_s))
    ratio, delta = median(times["tzbuild"]) / ref_t, abs(sizes["tzbuild"] - ref_s) / ref_s
    print("goal: tzbuild within 1.10x of 7zr's time: %.2fx -> %s; archive within 1%% of its size: %.2f%% -> %s"
          % (ratio, "met" if ratio <= 1.10 else "NOT met", 100 * delta, "met" if delta <= 0.01 else "NOT met"))
    shutil.rmtree(root, ignore_errors=True)


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("build")
    ap.add_argument("which", nargs="?", default="all", choices=["expand", "stage", "extract", "compress", "all"])
    ap.add_argument("--runs", type=int, default=5)
    ap.add_argument("--quick", action="store_true", help="smaller sizes, for trying the bench itself")
    ap.add_argument("--scales", default="1.0,0.1", help="payload scales for extract (gen_payload.py --scale)")
    a = ap.parse_args()
    bench = Bench(a.build, a.runs, a.quick, a.scales.split(","))
    with CpuLatencyHold():
        try:
            for name in ("expand", "stage", "extract"):
                if a.which in (name, "all"):
                    getattr(bench, name)()
            if a.which in ("compress", "all"):
                compress(bench)
        finally:
            bench.finish()


if __name__ == "__main__":
    main()
