#!/usr/bin/env python3
"""Runs one end-to-end scenario: a real installer built from the scenario's data, run under Wine.

A scenario is a folder with scenario.json:

  {
    "script": "script.xml",          # carried as FILE 301 (default: script.xml when present; null: none)
    "resources": [                   # further resources of the installer
      {"type": "FILE", "name": 302, "file": "data.bin"},
      {"type": "FILE", "name": 303, "archive": "payload", "format": "7z", "switches": ["-m0=lzma2"]},
      {"type": "LANG", "name": "lang_en", "file": "en.ini", "lang": 1033}
    ],
                                     # "archive" also takes "format": "cab" (made by gcab), and
                                     # "mtime": "2021-03-04T05:06:07Z" / "readonly": ["rel/path"]
                                     # (the folder is staged with these, since git keeps neither);
                                     # {"generate": "empty_7z" | "7z" | "zip", "entries": [...]}
                                     # makes what 7zz cannot (archive_gen.py); any resource may be
                                     # damaged ("truncate": bytes kept, negative: dropped from the end;
                                     # "flip": [offsets]), copied out ("save_as": path) and left out
                                     # of the installer ("embed": false)
    "skin": false,                   # leave out the built skin package (UI 201, carried by default
                                     # unless the resources list a "UI" resource of their own)
    "installer": "setup.exe",        # file name of the installer in the work folder
    "built": true,                   # run build/product/setup.exe, the shipped product installer
                                     # (no script or resources of the scenario are packed)
    "args": ["/s"],                  # command line
    "timeout": 120,                  # seconds the installer may run; one that does not end is
                                     # reported with winedbg's backtraces of its threads
    "env": {"NAME": "value"},        # extra environment for the installer
    "hold_mutex": "Name",            # a second process holds this mutex while the installer runs
    "background": [{"run": ["{BUILD}\\tests\\tz_testproc.exe", "/hold:{WORK}\\f", "/ready:{WORK}\\r"],
                    "ready": "{WORK}/r", "ends": true}],  # Windows programs started (and waited
                                     # for) before the installer runs, killed after it; "ends": the run
                                     # (with its "after" steps) must have ended it
    "setup": [{"mkdir": "{WORK}/x"}, {"write": "{WORK}/f.txt", "text": "..."},
              {"copy": "{BUILD}/tests/tz_testproc.exe", "to": "{WORK}/tp.exe"},
              {"wine": ["reg", "add", "HKLM\\Software\\X", "/v", "N", "/d", "1", "/f", "/reg:32"],
               "check": false}],       # a Windows command in the prefix; "check": it must exit 0 (default)
    "cleanup": [{"wine": ["sc", "delete", "Name"], "check": false}],
                                     # steps as in "setup", run after the checks whatever their outcome
    "runs": 1,                       # run the installer this many times (the expectations see the last)
    "after": [{"wine": [...]}, {"wait_gone": "{WORK}/x", "timeout": 30},
              {"drive": ["C:\\app\\uninstall.exe"], "answers": [{"title": "Uninstall", "keys": ["y"]}],
               "exit": 0}],          # steps as in "setup", run after the installer and before the
                                     # checks; "wait_gone" waits until the path no longer exists;
                                     # "drive" runs a Windows program and answers its boxes: for each
                                     # answer it waits for a window of that title, presses the keys and
                                     # waits for it to close; then the exit code must match
    "exit": 0,                       # expected exit code
    "logs": [                        # log files to check
      {"path": "{WORK}/install.log",   # or "copy": true for the "/log" exit copy beside the installer;
                                       # "*", "?" and "[...]" match names made of the clock (one file must match)
       "header": true,                 # BOM and the two header lines ("version": "1.0.0.1" checks it)
       "lines": ["text", "re:regex"],  # each must match a line; "ordered": true keeps their order
       "absent": ["text"],             # no line may match
       "count": {"text": 1},           # exact number of matching lines
       "golden": "install.golden",     # a file of the scenario: the whole log, one entry a line
                                       # (time stamps masked, placeholders filled, "re:" allowed),
                                       # compared line by line
       "increasing": ["re:A=(\\d+)", "re:B=(\\d+)"]}  # each matches one line; the numbers
                                       # they capture never go down, and the first is above 0
    ],
    "no_copy": true,                 # no exit copy may exist
    "registry": [{"key": "HKLM\\Software\\X", "view": 32, "values": {"Name": ["REG_SZ", "data"]},
                                     # (data "re:..." is a regular expression)
                  "absent_values": ["Other"]}, {"key": "...", "view": 64, "exists": false}],
    "files": [{"path": "{WORK}/x.txt", "exists": true, "text": "content"}],
                                     # also "sha256", "same_as" (a file of the scenario folder),
                                     # "is_dir", "mtime" ("2021-03-04T05:06:07Z", "mtime_tolerance"
                                     # seconds), "attributes" (["READONLY", "HIDDEN", "SYSTEM",
                                     # "DIRECTORY"]: exactly these of the four; ARCHIVE is not compared,
                                     # Wine reports it for every file) as Windows reports them;
                                     # "glob": true matches "*?[" in the path ("matches": how many, 1);
                                     # "contains"/"lacks": texts the file must (not) hold ("encoding")
    "listings": [{"dir": "{WORK}/out", "entries": ["a/", "a/b.txt"]}],
                                     # every file and folder below dir, folders ending in "/"
    "pending_renames": {"under": "{WORK}", "ops": [{"from": "re:...", "to": "", "replace": false}]}
                                     # PendingFileRenameOperations whose source lies under "under":
                                     # exactly these ("\\??\\" and "!" taken off the paths; "to": ""
                                     # deletes, "replace": the "!" replace-existing mark)
    "shortcuts": [{"path": "{WORK}\\links\\App.lnk", "target": "...", "workdir": "...", "args": "",
                   "icon": "path,0", "description": ""}, {"path": "...", "exists": false}],
                                     # links read back through IShellLinkW (lnkdump.exe); each field
                                     # given is compared exactly ("re:" for a regular expression)
    "commands": [{"wine": ["{BUILD}\\tools\\svcquery.exe", "Name"], "exit": 0, "lines": ["start=3"]}],
                                     # Windows programs run after the installer: the exit code
                                     # (default 0) and output lines that must appear ("re:" allowed)
    "ui": [{"window": "DazeVaraSetupWndClass"}, {"click": "立即安装"}],
                                     # an interactive run: steps that drive its windows with real
                                     # input while it runs (see ui_steps.py)
    "pads": {"P260": {"base": "{WORK}\\long\\", "length": 260, "suffix": ".txt", "char": "a"}},
                                     # placeholder {P260}: base, then "char" repeated, then suffix,
                                     # exactly "length" characters long
    "crash_blocks": [{"path": "{APPDATA}\\App\\tools\\block.bin", "version": "1.2.3.4",
                      "channel": "7", "living": false, "inst_log": null, "module": "tz-hosttest.dll"}],
                                     # a crash block copied out by tools/crashblock.exe (standing in
                                     # for the bug-report program; block.txt beside it): every field
                                     # of the layout, the JSON text (as jsoncpp's fast writer writes
                                     # it) with its crash point naming "module" and the faulting
                                     # address, "inst_log" (null: absent), and the process, thread
                                     # and exception pointers checked against the crashed process
    "minidumps": [{"path": "{APPDATA}\\App\\crash\\*.dmp", "report": "{APPDATA}\\App\\crash\\*.txt",
                   "exception_code": "c0000005"}],
                                     # one minidump matching path: its header, and its exception
                                     # stream naming the code and the thread (and the process)
                                     # that the one matching report names
    "script_repeat": {"@@NEST@@": ["<b>", 20000]}
                                     # the marker in the script becomes the text repeated so often
  }

Setup and cleanup steps also take {"symlink": "{PREFIX_UNIX}/dosdevices/q:", "to": "{WORK_UNIX}/q"}
(a Unix symbolic link, which Wine shows as a drive or as a reparse point); "remove" takes a link
away itself. A log with "installer_size": true must give the installer's real size in its header.

Placeholders in the script, the arguments and every expectation: {WORK} (Windows path of the
scenario's work folder), {WORK_RE} (the same escaped for a regular expression), {WORK_UNIX}, {INSTALLER} (Windows path of the installer), {NAME} (its
file name), {BUILD} (Windows path of the build folder), {BUILD_UNIX}, {APPDATA} (the user's
application data folder in the prefix, asked of Wine only when a scenario uses it), {PREFIX_UNIX}
(the Wine prefix), {USER} (the user's folder under C:/users). "remove" takes "*" in the last
part of its path. Log expectations compare a line without its
time stamp: an Info line reads "text", a Warning "[警告]: text", an Error "[错误]: text".
"""
import argparse
import bisect
import getpass
import glob
import hashlib
import json
import os
import re
import shutil
import subprocess
import sys
import time

import archive_gen

LINE_RE = re.compile(r"^\[(\d\d):(\d\d):(\d\d)\.(\d\d\d)\]( \[警告\]: | \[错误\]: | )(.*)$")


class Failure(Exception):
    pass


def win_path(unix_path):
    return "Z:" + os.path.abspath(unix_path).replace("/", "\\")


def unix_path(path):
    if re.match(r"^[A-Za-z]:", path):
        drive = path[0].upper()
        rest = path[2:].replace("\\", "/")
        if drive == "Z":
            return rest
        return os.path.join(os.environ["WINEPREFIX"], "dosdevices", drive.lower() + ":") + rest
    return path


def unescape(text):
    """Undoes regdump's escaping of backslashes, line breaks and tabs."""
    return re.sub(r"\\(.)", lambda m: {"n": "\n", "t": "\t", "r": "\r"}.get(m.group(1), m.group(1)), text)


class Scenario:
    def __init__(self, build, folder):
        self.build = os.path.abspath(build)
        self.folder = os.path.abspath(folder)
        self.name = os.path.basename(self.folder)
        with open(os.path.join(self.folder, "scenario.json"), encoding="utf-8") as f:
            self.desc = json.load(f)
        self.work = os.path.join(self.build, "e2e", self.name)
        self.installer_name = self.desc.get("installer", "setup.exe")
        self.installer = os.path.join(self.work, self.installer_name)
        self.subst = {
            "{WORK}": win_path(self.work),
            "{WORK_RE}": re.escape(win_path(self.work)),
            "{WORK_UNIX}": self.work,
            "{INSTALLER}": win_path(self.installer),
            "{NAME}": self.installer_name,
            "{BUILD}": win_path(self.build),
            "{BUILD_UNIX}": self.build,
            "{USER}": os.environ.get("USER") or getpass.getuser(),  # Wine's profile folder name
            "{PREFIX_UNIX}": os.environ.get("WINEPREFIX", os.path.join(self.build, "wineprefix")),
        }
        self.env = dict(os.environ)
        self.env.setdefault("WINEPREFIX", os.path.join(self.build, "wineprefix"))
        self.env["WINEDEBUG"] = "-all"
        self.env.setdefault("WINEDLLOVERRIDES", "mscoree,mshtml=")
        os.environ["WINEPREFIX"] = self.env["WINEPREFIX"]
        if "{APPDATA}" in json.dumps(self.desc, ensure_ascii=False):
            self.subst["{APPDATA}"] = self.ask_wine_folder("APPDATA")
        self.add_pads()

    def ask_wine_folder(self, variable):
        p = subprocess.run(["wine", "cmd", "/c", "echo", "%" + variable + "%"], env=self.env,
                           stdin=subprocess.DEVNULL, capture_output=True, timeout=60)
        return p.stdout.decode(errors="replace").strip()

    def add_pads(self):
        """Placeholders for paths of an exact length, whatever the length of the work folder."""
        for key, pad in self.desc.get("pads", {}).items():
            base = self.fill(pad["base"])
            suffix = pad.get("suffix", "")
            count = pad["length"] - len(base) - len(suffix)
            if count < 1:
                raise ValueError("pad %s: %r is too long for %d characters" % (key, base, pad["length"]))
            self.subst["{%s}" % key] = base + pad.get("char", "a") * count + suffix

    def fill(self, value):
        if isinstance(value, str):
            for k, v in self.subst.items():
                value = value.replace(k, v)
            return value
        if isinstance(value, list):
            return [self.fill(v) for v in value]
        if isinstance(value, dict):
            return {self.fill(k): self.fill(v) for k, v in value.items()}
        return value

    def wine(self, args, timeout=120, env=None, cwd=None):
        return subprocess.run(["wine"] + args, env=env or self.env, cwd=cwd or self.work,
                              stdin=subprocess.DEVNULL, capture_output=True, timeout=timeout)

    # -- building the installer ---------------------------------------------------------
    def prepare(self):
        shutil.rmtree(self.work, ignore_errors=True)
        os.makedirs(self.work)
        if self.desc.get("built"):
            shutil.copyfile(os.path.join(self.build, "product", "setup.exe"), self.installer)
            self.steps(self.desc.get("setup", []))
            return
        resources = []
        script = self.desc.get("script", "script.xml" if os.path.exists(
            os.path.join(self.folder, "script.xml")) else None)
        if script:
            with open(os.path.join(self.folder, script), encoding="utf-8", newline="") as f:
                text = self.fill(f.read())
            for marker, (piece, count) in self.desc.get("script_repeat", {}).items():
                text = text.replace(marker, piece * count)
            out = os.path.join(self.work, "_script.xml")
            with open(out, "w", encoding="utf-8", newline="") as f:
                f.write(text)
            resources.append({"type": "FILE", "name": 301, "path": out, "lang": 1033})
        for i, res in enumerate(self.desc.get("resources", [])):
            entry = dict(res)
            if "archive" in res:
                entry["path"] = self.make_archive(res, i)
            elif "generate" in res:
                entry["path"] = self.generate_archive(res, i)
            elif "file" in res:
                entry["path"] = os.path.join(self.folder, self.fill(res["file"]))  # {BUILD_UNIX}: a built file
            elif "text" in res:
                entry["path"] = os.path.join(self.work, "_res%d.bin" % i)
                with open(entry["path"], "wb") as f:
                    f.write(self.fill(res["text"]).encode(res.get("encoding", "utf-8")))
            entry["path"] = self.shape_payload(res, entry["path"], i)
            if res.get("embed", True):
                resources.append(entry)
        if self.desc.get("skin", True) and not any(str(r["type"]).upper() == "UI" for r in resources):
            resources.append({"type": "UI", "name": 201, "path": os.path.join(self.build, "product", "skin.zip"),
                              "lang": 1033})
        args = [os.path.join(self.build, "tools", "respack.exe"),
                win_path(os.path.join(self.build, "setup.exe")), win_path(self.installer)]
        for r in resources:
            args += [str(r["type"]), str(r["name"]), win_path(r["path"]), "#%d" % r.get("lang", 1033)]
        p = self.wine(args)
        if p.returncode != 0:
            raise Failure("respack failed: %s %s" % (p.stdout.decode(errors="replace"),
                                                     p.stderr.decode(errors="replace")))
        self.steps(self.desc.get("setup", []))

    def steps(self, steps, check=True):
        for step in self.fill(steps):
            if "mkdir" in step:
                os.makedirs(unix_path(step["mkdir"]), exist_ok=True)
            elif "write" in step:
                target = unix_path(step["write"])
                os.makedirs(os.path.dirname(target), exist_ok=True)
                with open(target, "wb") as f:
                    f.write(step.get("text", "").encode(step.get("encoding", "utf-8")))
            elif "symlink" in step:
                link = unix_path(step["symlink"])
                if os.path.lexists(link):
                    os.remove(link)
                os.makedirs(os.path.dirname(link), exist_ok=True)
                os.symlink(unix_path(step["to"]), link)
            elif "remove" in step:
                target = unix_path(step["remove"])
                # "*" for names not known in advance (a folder made for one run)
                for found in glob.glob(target) if "*" in os.path.basename(target) else [target]:
                    if os.path.islink(found):
                        os.remove(found)
                    elif os.path.isdir(found):
                        shutil.rmtree(found, ignore_errors=True)
                    elif os.path.exists(found):
                        os.remove(found)
            elif "drive" in step:
                self.drive(step)
            elif "wait_gone" in step:
                target = unix_path(step["wait_gone"])
                deadline = time.time() + step.get("timeout", 30)
                while os.path.exists(target) and time.time() < deadline:
                    time.sleep(0.2)
            elif "copy" in step:
                target = unix_path(step["to"])
                os.makedirs(os.path.dirname(target), exist_ok=True)
                shutil.copyfile(unix_path(step["copy"]), target)
            elif "wine" in step:
                p = self.wine(step["wine"])
                if check and step.get("check", True) and p.returncode != 0:
                    raise Failure("step %s exited with %d: %s" % (step["wine"], p.returncode,
                                                                 p.stderr.decode(errors="replace")))

    def drive(self, step):
        proc = subprocess.Popen(["wine"] + step["drive"], env=self.env, cwd=self.work, stdin=subprocess.DEVNULL,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            for answer in step.get("answers", []):
                window = self.wait_title(answer["title"], proc, present=True)
                for key in answer["keys"]:
                    self.press(window, key)
                self.wait_title(answer["title"], proc, present=False, window=window)
            code = proc.wait(timeout=step.get("timeout", 60))
        finally:
            if proc.poll() is None:
                proc.kill()
                proc.wait()
        if code != step.get("exit", 0):
            raise Failure("%s exited with %s, expected %s" % (step["drive"], code, step.get("exit", 0)))

    def press(self, window, key, timeout=10):
        """A real key press into the window, focused first (Xvfb has no window manager to do it); a box
        that has only just been mapped may refuse the focus."""
        deadline = time.time() + timeout
        while True:
            p = subprocess.run(["xdotool", "windowfocus", "--sync", window, "key", key], env=self.env,
                               capture_output=True, timeout=30)
            if p.returncode == 0:
                return
            if time.time() > deadline:
                raise Failure("xdotool key %s to window %s: %s" % (key, window, p.stderr.decode(errors="replace")))
            time.sleep(0.3)

    def wait_title(self, title, proc, present, window=None, timeout=30):
        """Waits until a window of that title shows (its id) or, with present false, that window has gone."""
        deadline = time.time() + timeout
        while time.time() < deadline:
            found = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^%s$" % re.escape(title)],
                                   env=self.env, capture_output=True, timeout=30).stdout.decode().split()
            if present and found:
                return found[0]
            if not present and window not in found:
                return None
            if present and proc.poll() is not None:
                raise Failure("%s ended before showing %r" % (proc.args, title))
            time.sleep(0.2)
        raise Failure("window %r %s" % (title, "did not show" if present else "did not close"))

    def make_archive(self, res, index):
        src = os.path.join(self.folder, res["archive"])
        fmt = res.get("format", "7z")
        out = os.path.join(self.work, "_payload%d.%s" % (index, fmt))
        if "mtime" in res or "readonly" in res:
            src = archive_gen.stage(src, os.path.join(self.work, "_stage%d" % index), res.get("mtime"),
                                    res.get("readonly", []))
        if fmt == "cab":
            files = sorted(os.path.relpath(os.path.join(root, n), src)
                           for root, _, names in os.walk(src) for n in names)
            subprocess.run(["gcab", "-c", "-z", out] + files, cwd=src, check=True)
            return out
        cmd = ["7zz", "a", "-t" + fmt, "-bd", "-bso0", "-bsp0"] + res.get("switches", []) + [out, "."]
        subprocess.run(cmd, cwd=src, check=True, env=archive_gen.ENV)
        return out

    def generate_archive(self, res, index):
        out = os.path.join(self.work, "_payload%d.bin" % index)
        scratch = os.path.join(self.work, "_gen%d" % index)
        os.makedirs(scratch)
        archive_gen.generate(res["generate"], out, res, scratch)
        return out

    def shape_payload(self, res, path, index):
        """Damages a copy of the payload and copies it out, as the resource asks."""
        if "truncate" in res or "flip" in res:
            damaged = os.path.join(self.work, "_damaged%d.bin" % index)
            shutil.copyfile(path, damaged)
            archive_gen.damage(damaged, res.get("truncate"), res.get("flip", []))
            path = damaged
        if "save_as" in res:
            target = unix_path(self.fill(res["save_as"]))
            os.makedirs(os.path.dirname(target), exist_ok=True)
            shutil.copyfile(path, target)
        return path

    def start_background(self):
        procs = []
        for bg in self.fill(self.desc.get("background", [])):
            procs.append(subprocess.Popen(["wine"] + bg["run"], env=self.env, cwd=self.work,
                                          stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                          stderr=subprocess.DEVNULL))
            if "ready" in bg:
                ready = unix_path(bg["ready"])
                deadline = time.time() + 30
                while not os.path.exists(ready):
                    if procs[-1].poll() is not None or time.time() > deadline:
                        raise Failure("background program %s did not get ready" % bg["run"])
                    time.sleep(0.1)
        return procs

    # -- running ----------------------------------------------------------------------
    def run(self):
        holder = None
        if "hold_mutex" in self.desc:
            ready = os.path.join(self.work, "_mutex_ready")
            holder = subprocess.Popen(
                ["wine", os.path.join(self.build, "tools", "holdmutex.exe"), self.fill(self.desc["hold_mutex"]),
                 "60", win_path(ready)], env=self.env, stdin=subprocess.DEVNULL,
                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            deadline = time.time() + 30
            while not os.path.exists(ready):
                if time.time() > deadline:
                    raise Failure("the mutex holder did not start")
                time.sleep(0.1)
        background = []
        try:
            background = self.start_background()
            env = dict(self.env)
            env.update(self.fill(self.desc.get("env", {})))
            code = None
            for _ in range(int(self.desc.get("runs", 1))):
                if "ui" in self.desc:
                    code = self.run_with_ui(env)
                    continue
                proc = subprocess.Popen(["wine", self.installer] + self.fill(self.desc.get("args", [])),
                                        env=env, cwd=self.work, stdin=subprocess.DEVNULL,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
                try:
                    code = proc.wait(timeout=self.desc.get("timeout", 120))
                except subprocess.TimeoutExpired:
                    report = self.hung_report()
                    proc.kill()
                    proc.wait()
                    raise Failure("the installer did not end within %ss%s" % (self.desc.get("timeout", 120), report))
            self.steps(self.desc.get("after", []))
            for bg, proc in zip(self.desc.get("background", []), background):
                if bg.get("ends") and proc.poll() is None:
                    raise Failure("background program %s still runs after the installer" % bg["run"][0])
            return code
        finally:
            if holder:
                holder.kill()
                holder.wait()
            for proc in background:
                proc.kill()
                proc.wait()

    def run_with_ui(self, env):
        """Runs the installer while the "ui" steps drive its windows (ui_steps.py)."""
        import ui_steps
        driver = ui_steps.Driver(self.build, env, os.path.join(self.build, "shots", self.name))
        proc = subprocess.Popen(["wine", self.installer] + self.fill(self.desc.get("args", [])), env=env,
                                cwd=self.work, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL)
        try:
            driver.run(self.fill(self.desc["ui"]), proc)
            return proc.wait(timeout=self.desc.get("timeout", 120))
        except ui_steps.UIFailure as e:
            driver.screenshot("failed")
            raise Failure("ui: %s" % e)
        except subprocess.TimeoutExpired as e:
            driver.screenshot("failed")
            raise Failure("ui: %s%s" % (e, self.hung_report()))
        finally:
            if proc.poll() is None:
                # The process itself, never by image name: every scenario's installer is a setup.exe,
                # and another scenario's may be running at the same time.
                proc.kill()
                proc.wait()

    def hung_report(self):
        """The backtraces winedbg gives of every running process named like this scenario's installer
        (other scenarios may run one too), with the engine's own frames resolved to functions: what a
        run that does not end was waiting for."""
        def debugger(commands):
            try:
                return subprocess.run(["winedbg"], input=commands.encode(), env=self.env, capture_output=True,
                                      timeout=60).stdout.decode("utf-8", "replace")
            except subprocess.SubprocessError as e:
                return "winedbg: %s" % e
        listing = debugger("info process\nquit\n")
        pids = re.findall(r"^\s*=?\s*([0-9a-f]{8})\s+\d+\s+[\\_ ]*'%s'\s*$" % re.escape(self.installer_name),
                          listing, re.M)
        lines = []
        for pid in pids:
            trace = debugger("attach 0x%s\nbt all\ndetach\nquit\n" % pid)
            keep = False
            for line in trace.splitlines():
                if line.startswith("Backtracing for thread"):
                    keep = ("in process %04x " % int(pid, 16)) in line
                if keep and line.strip():
                    m = re.search(r"0x([0-9a-f]+) in setup \(\+0x", line)
                    if m:
                        line += "   [%s]" % self.engine_function(int(m.group(1), 16))
                    lines.append(line)
        if not lines:
            return "\n  (no backtrace: winedbg found no %s)" % self.installer_name
        return "\n  winedbg backtraces of %s:\n    %s" % (self.installer_name, "\n    ".join(lines))

    def engine_function(self, address):
        """The function of the engine (build/setup.exe, which keeps its symbol table) at an address."""
        if not hasattr(self, "_symbols"):
            out = subprocess.run(["i686-w64-mingw32-nm", "-n", "-C", os.path.join(self.build, "setup.exe")],
                                 capture_output=True, text=True).stdout
            self._symbols = [(int(a, 16), name) for a, kind, name in
                             (l.split(" ", 2) for l in out.splitlines() if l[:1].isalnum() and l.count(" ") >= 2)
                             if kind in "Tt"]
        i = bisect.bisect_right(self._symbols, (address, "\uffff")) - 1
        return "%s+0x%x" % (self._symbols[i][1], address - self._symbols[i][0]) if i >= 0 else "?"

    # -- checking ---------------------------------------------------------------------
    def check(self, code):
        errors = []
        if "exit" in self.desc and code != self.desc["exit"]:
            errors.append("exit code %s, expected %s" % (code, self.desc["exit"]))
        for log in self.fill(self.desc.get("logs", [])):
            errors += self.check_log(log)
        if self.desc.get("no_copy"):
            copies = self.exit_copies()
            if copies:
                errors.append("unexpected exit copy: %s" % copies)
        for reg in self.fill(self.desc.get("registry", [])):
            errors += self.check_registry(reg)
        files = self.fill(self.desc.get("files", []))
        self.windows_info = self.file_info(files)
        for f in files:
            errors += self.check_file(f)
        for listing in self.fill(self.desc.get("listings", [])):
            errors += self.check_listing(listing)
        if "pending_renames" in self.desc:
            errors += self.check_pending_renames(self.fill(self.desc["pending_renames"]))
        for link in self.fill(self.desc.get("shortcuts", [])):
            errors += self.check_shortcut(link)
        for command in self.fill(self.desc.get("commands", [])):
            errors += self.check_command(command)
        for block in self.fill(self.desc.get("crash_blocks", [])):
            errors += self.check_crash_block(block)
        for dump in self.fill(self.desc.get("minidumps", [])):
            errors += self.check_minidump(dump)
        return errors

    def exit_copies(self):
        pat = re.compile(re.escape(self.installer_name) + r"_\d{8}_\d{6}\.txt$")
        return sorted(n for n in os.listdir(self.work) if pat.match(n))

    def check_log(self, desc):
        if desc.get("copy"):
            copies = self.exit_copies()
            if len(copies) != 1:
                return ["expected one exit copy, found %s" % copies]
            path = os.path.join(self.work, copies[0])
        else:
            path = unix_path(desc["path"])
            if any(c in path for c in "*?["):  # a name made of the clock: exactly one file must match
                found = glob.glob(path)
                if len(found) != 1:
                    return ["expected one log file matching %s, found %s" % (path, found)]
                path = found[0]
        if not os.path.exists(path):
            return ["log file missing: %s" % path]
        raw = open(path, "rb").read()
        errors = []
        if not raw.startswith(b"\xff\xfe"):
            errors.append("%s: no UTF-16LE byte order mark" % path)
        text = raw[2:].decode("utf-16-le", errors="replace")
        if text and not text.endswith("\r\n"):
            errors.append("%s: last line not ended by CRLF" % path)
        lines = text.split("\r\n")[:-1] if text else []
        body = lines
        if desc.get("header", True):
            if len(lines) < 2 or not lines[0].startswith("执行安装程序: ") \
                    or not re.match(r"^版本: [^,]*, 大小: \d+$", lines[1]):
                errors.append("%s: bad header %r" % (path, lines[:2]))
            if desc.get("installer_path", True) and lines and \
                    lines[0] != "执行安装程序: " + self.subst["{INSTALLER}"]:
                errors.append("%s: header names %r" % (path, lines[0]))
            if desc.get("installer_size") and len(lines) > 1 and \
                    not lines[1].endswith(", 大小: %d" % os.path.getsize(self.installer)):
                errors.append("%s: header %r, the installer has %d bytes" % (
                    path, lines[1], os.path.getsize(self.installer)))
            if "version" in desc and len(lines) > 1 and not lines[1].startswith("版本: %s, " % desc["version"]):
                errors.append("%s: header version %r, expected %r" % (path, lines[1], desc["version"]))
            body = lines[2:]
        entries = []
        for line in body:
            m = LINE_RE.match(line)
            if m:
                tag = {" ": "", " [警告]: ": "[警告]: ", " [错误]: ": "[错误]: "}[m.group(5)]
                entries.append(tag + m.group(6))
            elif entries:
                entries.append(line)  # continuation line of a multi-line record
            else:
                errors.append("%s: line without time stamp: %r" % (path, line))
        if desc.get("first_line") and (not body or not LINE_RE.match(body[0])):
            errors.append("%s: first entry malformed" % path)

        def matches(pattern, entry):
            if pattern.startswith("re:"):
                return re.fullmatch(pattern[3:], entry) is not None
            return entry == pattern

        pos = 0
        for pattern in desc.get("lines", []):
            start = pos if desc.get("ordered", True) else 0
            for i in range(start, len(entries)):
                if matches(pattern, entries[i]):
                    pos = i + 1
                    break
            else:
                errors.append("%s: no line %s %r" % (path, "after the previous ones matches"
                                                     if desc.get("ordered", True) else "matches", pattern))
        for pattern in desc.get("absent", []):
            hits = [e for e in entries if matches(pattern, e)]
            if hits:
                errors.append("%s: unexpected line %r" % (path, hits[0]))
        numbers = []
        for pattern in desc.get("increasing", []):
            hits = [m for m in (re.fullmatch(pattern[3:], e) for e in entries) if m]
            if len(hits) != 1:
                errors.append("%s: %d lines match %r, expected 1" % (path, len(hits), pattern))
            else:
                numbers.append(int(hits[0].group(1)))
        if numbers and (numbers[0] <= 0 or numbers != sorted(numbers)):
            errors.append("%s: numbers %s do not increase from above 0" % (path, numbers))
        if "golden" in desc:
            errors += self.check_golden(path, desc["golden"], entries, matches)
        for pattern, n in desc.get("count", {}).items():
            hits = sum(1 for e in entries if matches(pattern, e))
            if hits != n:
                errors.append("%s: %d lines match %r, expected %d" % (path, hits, pattern, n))
        if errors:
            errors.append("log was:\n    " + "\n    ".join(lines))
        return errors

    def check_golden(self, path, golden, entries, matches):
        with open(os.path.join(self.folder, golden), encoding="utf-8") as f:
            expected = [self.fill(line.rstrip("\n")) for line in f]
        errors = []
        for i in range(max(len(expected), len(entries))):
            want = expected[i] if i < len(expected) else None
            got = entries[i] if i < len(entries) else None
            if want is None or got is None or not matches(want, got):
                errors.append("%s: entry %d is %r, the golden log has %r" % (path, i + 1, got, want))
                break  # the rest is shifted: one difference says it
        return errors

    def check_registry(self, desc):
        view = str(desc.get("view", 32))
        p = self.wine([os.path.join(self.build, "tools", "regdump.exe"), view, desc["key"]])
        exists = p.returncode == 0
        if p.returncode not in (0, 3):
            return ["regdump failed for %s" % desc["key"]]
        if not desc.get("exists", True):
            return ["key %s exists in view %s" % (desc["key"], view)] if exists else []
        if not exists:
            return ["key %s missing in view %s" % (desc["key"], view)]
        values = {}
        for line in p.stdout.decode("utf-8").splitlines():
            name, typ, data = (line.split("\t") + ["", ""])[:3]
            values[unescape(name)] = [typ, unescape(data)]
        errors = []
        for name, expected in desc.get("values", {}).items():
            if name not in values:
                errors.append("%s: value %r missing (view %s)" % (desc["key"], name, view))
            elif not (values[name] == list(expected) or (
                    expected[1].startswith("re:") and values[name][0] == expected[0]
                    and re.fullmatch(expected[1][3:], values[name][1]))):
                errors.append("%s: value %r is %r, expected %r" % (desc["key"], name, values[name], expected))
        for name in desc.get("absent_values", []):
            if name in values:
                errors.append("%s: value %r present (view %s)" % (desc["key"], name, view))
        return errors

    def check_file(self, desc):
        if desc.get("glob"):
            found = sorted(glob.glob(unix_path(desc["path"])))
            if len(found) != desc.get("matches", 1):
                return ["expected %d files matching %s, found %s" % (desc.get("matches", 1), desc["path"], found)]
            errors = []
            for path in found:
                errors += self.check_file(dict(desc, path=path, glob=False))
            return errors
        path = unix_path(desc["path"])
        exists = os.path.exists(path)
        if not desc.get("exists", True):
            return ["%s exists" % path] if exists else []
        if not exists:
            return ["%s missing" % path]
        errors = []
        if "text" in desc:
            data = open(path, "rb").read().decode(desc.get("encoding", "utf-8"), errors="replace")
            if data != desc["text"]:
                errors.append("%s holds %r, expected %r" % (path, data[:200], desc["text"][:200]))
        return errors + self.check_file_details(path, desc)

    ATTRIBUTE_BITS = {"READONLY": 0x1, "HIDDEN": 0x2, "SYSTEM": 0x4, "DIRECTORY": 0x10}

    def file_info(self, specs):
        """Attributes and last-write times as Windows reports them, for the files that ask for them."""
        paths = []
        for desc in specs:
            if "mtime" in desc or "attributes" in desc:
                if desc.get("glob"):
                    paths += sorted(glob.glob(unix_path(desc["path"])))
                else:
                    paths.append(unix_path(desc["path"]))
        if not paths:
            return {}
        p = self.wine([os.path.join(self.build, "tools", "fileinfo.exe")] + [win_path(x) for x in paths])
        info = {}
        for path, line in zip(paths, p.stdout.decode().splitlines()):
            if line != "missing":
                attrs, stamp = line.split("\t")
                info[path] = (int(attrs, 16), (int(stamp) - 116444736000000000) / 1e7)
        return info

    def check_file_details(self, path, desc):
        errors = []
        if "contains" in desc or "lacks" in desc:
            data = open(path, "rb").read().decode(desc.get("encoding", "utf-8"), errors="replace")
            errors += ["%s lacks %r; it holds %r" % (path, t, data[:400]) for t in desc.get("contains", []) if t not in data]
            errors += ["%s holds %r" % (path, t) for t in desc.get("lacks", []) if t in data]
        if "is_dir" in desc and os.path.isdir(path) != desc["is_dir"]:
            errors.append("%s: is_dir is %s" % (path, os.path.isdir(path)))
        if "sha256" in desc or "same_as" in desc:
            data = open(path, "rb").read() if os.path.isfile(path) else None
            if "sha256" in desc and (data is None or hashlib.sha256(data).hexdigest() != desc["sha256"].lower()):
                errors.append("%s: sha256 %s, expected %s" % (
                    path, data is not None and hashlib.sha256(data).hexdigest(), desc["sha256"]))
            if "same_as" in desc:
                with open(os.path.join(self.folder, desc["same_as"]), "rb") as f:
                    if data != f.read():
                        errors.append("%s: content differs from %s" % (path, desc["same_as"]))
        if "mtime" in desc or "attributes" in desc:
            if path not in self.windows_info:
                return errors + ["%s: Windows cannot see it" % path]
            attrs, stamp = self.windows_info[path]
            if "mtime" in desc:
                expected = archive_gen.epoch(desc["mtime"])
                if abs(stamp - expected) > desc.get("mtime_tolerance", 0.001):
                    errors.append("%s: last written %s, expected %s" % (
                        path, time.strftime("%Y-%m-%dT%H:%M:%SZ", time.gmtime(stamp)), desc["mtime"]))
            if "attributes" in desc:
                got = sorted(n for n, bit in self.ATTRIBUTE_BITS.items() if attrs & bit)
                if got != sorted(desc["attributes"]):
                    errors.append("%s: attributes %s (0x%x), expected %s" % (path, got, attrs, desc["attributes"]))
        return errors

    def check_listing(self, desc):
        top = unix_path(desc["dir"])
        if not os.path.isdir(top):
            return ["%s: no such folder" % top]
        found = []
        for root, dirs, files in os.walk(top):
            rel = os.path.relpath(root, top)
            prefix = "" if rel == "." else rel.replace(os.sep, "/") + "/"
            found += [prefix + d + "/" for d in dirs] + [prefix + f for f in files]
        if sorted(found) != sorted(desc["entries"]):
            return ["%s holds %s, expected %s" % (top, sorted(found), sorted(desc["entries"]))]
        return []

    def check_pending_renames(self, desc):
        p = self.wine([os.path.join(self.build, "tools", "pendingops.exe"), "list"])
        if p.returncode != 0:
            return ["pendingops failed"]

        def plain(path):
            return path[4:] if path.startswith("\\??\\") else path

        ops = []
        for line in p.stdout.decode("utf-8").splitlines():
            src, dst = (line.split("\t") + [""])[:2]
            replace = dst.startswith("!")
            ops.append({"from": plain(src), "to": plain(dst[1:] if replace else dst), "replace": replace})
        under = desc["under"].lower()
        mine = [op for op in ops if op["from"].lower().startswith(under)]

        def matches(pattern, text):
            return re.fullmatch(pattern[3:], text) is not None if pattern.startswith("re:") else pattern == text

        left = list(mine)
        errors = []
        for want in desc.get("ops", []):
            for op in left:
                if matches(want["from"], op["from"]) and matches(want.get("to", ""), op["to"]) \
                        and op["replace"] == want.get("replace", False):
                    left.remove(op)
                    break
            else:
                errors.append("no scheduled operation matches %s" % want)
        if left:
            errors.append("unexpected scheduled operations %s" % left)
        if errors:
            errors.append("scheduled under %s: %s" % (desc["under"], mine))
        return errors

    def check_shortcut(self, desc):
        path = unix_path(desc["path"])
        if not desc.get("exists", True):
            return ["%s exists" % path] if os.path.exists(path) else []
        p = self.wine([os.path.join(self.build, "tools", "lnkdump.exe"), desc["path"]])
        if p.returncode != 0:
            return ["%s: no readable link (lnkdump exit %d)" % (path, p.returncode)]
        fields = dict((line.split("\t") + [""])[:2] for line in p.stdout.decode("utf-8").splitlines())
        errors = []
        for name in ("target", "workdir", "args", "icon", "description"):
            if name not in desc:
                continue
            want, got = desc[name], fields.get(name)
            ok = re.fullmatch(want[3:], got or "") is not None if want.startswith("re:") else want == got
            if not ok:
                errors.append("%s: %s is %r, expected %r" % (path, name, got, want))
        return errors

    def check_command(self, desc):
        """Runs a Windows program after the installer and matches its exit code and output lines."""
        p = self.wine(desc["wine"])
        errors = []
        if p.returncode != desc.get("exit", 0):
            errors.append("%s exited with %d, expected %d" % (desc["wine"], p.returncode, desc.get("exit", 0)))
        lines = p.stdout.decode("utf-8", errors="replace").splitlines()
        for want in desc.get("lines", []):
            ok = (lambda got: re.fullmatch(want[3:], got) is not None) if want.startswith("re:") \
                else (lambda got: got == want)
            if not any(ok(line) for line in lines):
                errors.append("%s: no output line %r in %r" % (desc["wine"], want, lines))
        return errors

    def check_crash_block(self, desc):
        """The crash block as the installer wrote it, against what crashblock.exe saw outside it."""
        path = unix_path(desc["path"])
        facts_path = os.path.join(os.path.dirname(path), "block.txt")
        if not os.path.exists(path) or not os.path.exists(facts_path):
            return ["%s: no crash block was handed over" % path]
        block = open(path, "rb").read()
        facts = dict(line.split(" ", 1) for line in open(facts_path).read().split("\n") if " " in line)
        if len(block) < 247:
            return ["%s: block of %d bytes" % (path, len(block))]

        def u32(offset):
            return int.from_bytes(block[offset:offset + 4], "little")

        def text(offset, size):
            field = block[offset:offset + size]
            return field.split(b"\0", 1)[0].decode("ascii", errors="replace") if b"\0" in field else None

        errors = []
        pid = u32(20)
        want = [("magic", block[0:5], b"crpr\0"), ("bytes 5-15", block[5:16], bytes(11)),
                ("layout", u32(16), 237), ("process", pid, int(facts.get("parent", "-1"))),
                ("thread's process", int(facts.get("thread_owner", "-1")), pid), ("28", u32(28), 1),
                ("36", u32(36), 0), ("40", u32(40), 0), ("version", text(44, 32), desc.get("version", "")),
                ("76-107", block[76:108], bytes(32)), ("product", text(108, 64), "installer"),
                ("channel", text(172, 64), desc.get("channel", "")),
                ("exception code", facts.get("exception_code"), desc.get("exception_code", "c0000005"))]
        errors += ["%s: %s is %r, expected %r" % (path, name, got, exp) for name, got, exp in want if got != exp]
        if u32(32) == 0:
            errors.append("%s: no exception pointers" % path)
        raw = block[236:]
        end = raw.find(b"\0")
        if end < 0:
            return errors + ["%s: JSON text not NUL-terminated" % path]
        # Wine reports a mapping's size rounded up to whole pages.
        if len(block) != end + 247 and not (len(block) % 4096 == 0 and len(block) - 4096 < end + 247 <= len(block)):
            errors.append("%s: block of %d bytes for %d bytes of JSON" % (path, len(block), end))
        if raw[end:].strip(b"\0"):
            errors.append("%s: bytes after the JSON text" % path)
        try:
            doc = json.loads(raw[:end].decode("latin-1"))
        except ValueError as e:
            return errors + ["%s: JSON %r: %s" % (path, raw[:end], e)]
        compact = json.dumps(doc, separators=(",", ":"), sort_keys=True) + "\n"
        if raw[:end].decode("latin-1") != compact:
            errors.append("%s: JSON %r is not the fast writer's %r" % (path, raw[:end], compact))
        msg = doc.get("except_msg", {})
        point = "%s!0x%s\r\n" % (desc.get("module", "<unknown>"), facts.get("exception_eip", "?"))
        if msg.get("crashPoint") != point:
            errors.append("%s: crashPoint %r, expected %r" % (path, msg.get("crashPoint"), point))
        if msg.get("living") is not desc.get("living", False):
            errors.append("%s: living %r" % (path, msg.get("living")))
        if desc.get("inst_log") is None and "inst_log" in doc:
            errors.append("%s: unexpected inst_log %r" % (path, doc["inst_log"]))
        elif desc.get("inst_log") is not None and doc.get("inst_log") != desc["inst_log"]:
            errors.append("%s: inst_log %r, expected %r" % (path, doc.get("inst_log"), desc["inst_log"]))
        return errors

    def check_minidump(self, desc):
        found = glob.glob(unix_path(desc["path"]))
        reports = glob.glob(unix_path(desc["report"]))
        if len(found) != 1 or len(reports) != 1:
            return ["expected one dump and one report, found %s and %s" % (found, reports)]
        data = open(found[0], "rb").read()
        report = dict(line.split(": ", 1) for line in open(reports[0], encoding="utf-8", newline="").read().split("\r\n")
                      if ": " in line)

        def u32(offset):
            return int.from_bytes(data[offset:offset + 4], "little")

        if len(data) < 32 or data[0:4] != b"MDMP" or (u32(4) & 0xFFFF) != 0xA793:
            return ["%s: not a minidump (header %r)" % (found[0], data[:8])]
        streams = {}
        for i in range(u32(8)):
            entry = u32(12) + 12 * i
            streams[u32(entry)] = (u32(entry + 8), u32(entry + 4))
        errors = []
        if 6 not in streams:
            return ["%s: no exception stream" % found[0]]
        rva = streams[6][0]
        thread, code = u32(rva), u32(rva + 8)
        if str(thread) != report.get("thread"):
            errors.append("%s: exception thread %d, report names %r" % (found[0], thread, report.get("thread")))
        if "%08x" % code != desc.get("exception_code", "c0000005"):
            errors.append("%s: exception code %08x" % (found[0], code))
        if 15 in streams and streams[15][1] >= 12 and u32(streams[15][0] + 4) & 1:  # MINIDUMP_MISC1_PROCESS_ID
            if str(u32(streams[15][0] + 8)) != report.get("process"):
                errors.append("%s: process %d, report names %r" % (found[0], u32(streams[15][0] + 8),
                                                                   report.get("process")))
        return errors


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", required=True)
    ap.add_argument("--scenario", required=True)
    a = ap.parse_args()
    s = Scenario(a.build, a.scenario)
    try:
        s.prepare()
        code = s.run()
        errors = s.check(code)
    except (Failure, subprocess.TimeoutExpired, subprocess.CalledProcessError) as e:
        errors = [str(e)]
    finally:
        try:
            s.steps(s.desc.get("cleanup", []), check=False)
        except (OSError, subprocess.SubprocessError):
            pass
    if errors:
        print("FAIL %s" % s.name)
        for e in errors:
            print("  - " + e)
        return 1
    print("ok %s" % s.name)
    return 0


if __name__ == "__main__":
    sys.exit(main())
