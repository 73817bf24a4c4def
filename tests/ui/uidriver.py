#!/usr/bin/env python3
"""Driver for interactive tests of Windows programs under Wine on a virtual X display.

    from uidriver import UiSession
    with UiSession(build_dir) as ui:                       # Xvfb (unless $DISPLAY works) + wineserver
        proc = ui.start(["tools/uidemo.exe", "--skin", ...])  # paths relative to the build tree
        win = ui.wait_window("Title")                      # X window id, found with xdotool by name
        x, y, w, h = ui.geometry(win)
        ui.click(x + 10, y + 10); ui.key("Tab"); ui.type_text("abc")
        shot = ui.screenshot("build/shots/name.png")       # `import -window root`
        shot.pixel(x, y) -> (r, g, b); shot.find_color((0xFE, 0x36, 0x66), box) -> list of points
        out = ui.finish(proc)                              # waits, answers (exit code, stdout text)

Screen coordinates are X root coordinates; Wine places a top-level window's client area where
Windows would (no window manager runs on the virtual display).
"""
import os
import shutil
import subprocess
import tempfile
import time


class Screenshot:
    """An RGB screenshot with pixel access (raw bytes through ImageMagick, no PIL needed)."""

    def __init__(self, path):
        self.path = path
        size = subprocess.run(["identify", "-format", "%w %h", path], capture_output=True, text=True, check=True)
        self.width, self.height = (int(v) for v in size.stdout.split())
        self.data = subprocess.run(["convert", path, "-depth", "8", "rgb:-"], capture_output=True, check=True).stdout

    def pixel(self, x, y):
        i = (y * self.width + x) * 3
        return tuple(self.data[i:i + 3])

    def crop(self, x, y, w, h, path):
        subprocess.run(["convert", self.path, "-crop", "%dx%d+%d+%d" % (w, h, x, y), "+repage", path], check=True)
        return Screenshot(path)

    def find_color(self, rgb, box=None, tolerance=6):
        """Points whose colour is within `tolerance` of `rgb` per channel, inside box (x, y, w, h)."""
        x0, y0, w, h = box or (0, 0, self.width, self.height)
        found = []
        for y in range(max(0, y0), min(self.height, y0 + h)):
            row = y * self.width
            for x in range(max(0, x0), min(self.width, x0 + w)):
                i = (row + x) * 3
                if all(abs(self.data[i + k] - rgb[k]) <= tolerance for k in range(3)):
                    found.append((x, y))
        return found

    def runs(self, rgb, y, x0=0, x1=None, tolerance=6):
        """Horizontal runs [(start, end_exclusive)] of a colour on row y."""
        x1 = self.width if x1 is None else x1
        runs, start = [], None
        for x in range(x0, x1):
            p = self.pixel(x, y)
            match = all(abs(p[k] - rgb[k]) <= tolerance for k in range(3))
            if match and start is None:
                start = x
            elif not match and start is not None:
                runs.append((start, x))
                start = None
        if start is not None:
            runs.append((start, x1))
        return runs


class UiSession:
    def __init__(self, build_dir, prefix=None, screen="1280x800x24", own_display=False):
        self.build = os.path.abspath(build_dir)
        self.env = dict(os.environ)
        self.env["WINEPREFIX"] = prefix or os.path.join(self.build, "wineprefix")
        self.env["WINEDEBUG"] = "-all"
        self.env.setdefault("WINEDLLOVERRIDES", "mscoree,mshtml=")
        self.screen = screen
        self.own_display = own_display  # a private Xvfb: no other test's window can take the input
        self.xvfb = None
        self.procs = []

    # -- display and Wine ----------------------------------------------------------------
    def __enter__(self):
        if self.own_display or not self._display_works():
            self._start_xvfb()
        self._unmanaged_windows()
        subprocess.run(["wineserver", "-p"], env=self.env, check=False)
        subprocess.run(["wine", "wineboot"], env=self.env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, check=False)
        return self

    def __exit__(self, *exc):
        for p in self.procs:
            if p.poll() is None:
                p.kill()
        if self.xvfb:
            # A terminated server removes its lock and socket; a killed one leaves them behind.
            self.xvfb.terminate()
            try:
                self.xvfb.wait(timeout=5)
            except subprocess.TimeoutExpired:
                self.xvfb.kill()
                self.xvfb.wait()
        return False

    def _unmanaged_windows(self):
        """No window manager runs on the virtual display: Wine must not wait for one to unmap windows."""
        user_reg = os.path.join(self.env["WINEPREFIX"], "user.reg")
        try:
            with open(user_reg, encoding="utf-8", errors="replace") as f:
                if '"Managed"="N"' in f.read():
                    return
        except OSError:
            return
        subprocess.run(["wine", "reg", "add", "HKCU\\Software\\Wine\\X11 Driver", "/v", "Managed", "/d", "N", "/f"],
                       env=self.env, capture_output=True, check=False)

    def _display_works(self):
        if not self.env.get("DISPLAY"):
            return False
        return subprocess.run(["xdpyinfo"], env=self.env, capture_output=True).returncode == 0

    @staticmethod
    def _display_free(n):
        """No X server holds display n: no lock file, or one whose process is gone (the server that
        starts next takes such a stale lock over)."""
        lock = "/tmp/.X%d-lock" % n
        try:
            with open(lock) as f:
                pid = int(f.read().strip() or "0")
        except FileNotFoundError:
            return True
        except (OSError, ValueError):
            return False
        try:
            os.kill(pid, 0)
            return False
        except ProcessLookupError:
            return True
        except OSError:
            return False

    def _start_xvfb(self):
        for n in range(130, 400):
            if not self._display_free(n):
                continue
            self.xvfb = subprocess.Popen(["Xvfb", ":%d" % n, "-screen", "0", self.screen, "-nolisten", "tcp",
                                          "-ardelay", "30000"],  # no key auto-repeat
                                         stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            self.env["DISPLAY"] = ":%d" % n
            for _ in range(50):
                if self._display_works():
                    return
                if self.xvfb.poll() is not None:
                    break  # another server won the display: try the next one
                time.sleep(0.1)
            if self.xvfb.poll() is None:
                self.xvfb.kill()
            self.xvfb = None
        raise RuntimeError("no free display number")

    # -- programs ------------------------------------------------------------------------
    def win_path(self, path):
        return "Z:" + os.path.abspath(path).replace("/", "\\")

    def exe_path(self, name):
        """Relative paths with a folder are in the build tree; bare names ("reg") are Wine's programs."""
        return os.path.join(self.build, name) if "/" in name and not os.path.isabs(name) else name

    def start(self, args, cwd=None):
        exe = self.exe_path(args[0])
        p = subprocess.Popen(["wine", exe] + list(args[1:]), env=self.env, cwd=cwd or self.build,
                             stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self.procs.append(p)
        return p

    def run(self, args, timeout=60):
        exe = self.exe_path(args[0])
        p = subprocess.run(["wine", exe] + list(args[1:]), env=self.env, cwd=self.build, stdin=subprocess.DEVNULL,
                           capture_output=True, timeout=timeout)
        return p.returncode, p.stdout.decode("utf-8", "replace")

    def finish(self, proc, timeout=30):
        out, _ = proc.communicate(timeout=timeout)
        return proc.returncode, out.decode("utf-8", "replace")

    # -- windows and input ---------------------------------------------------------------
    def xdotool(self, *args):
        return subprocess.run(["xdotool"] + [str(a) for a in args], env=self.env, capture_output=True, text=True)

    def wait_window(self, name, timeout=20, visible=True):
        end = time.time() + timeout
        while time.time() < end:
            args = ["search"] + (["--onlyvisible"] if visible else []) + ["--name", "^%s$" % name]
            for wid in reversed(self.xdotool(*args).stdout.split()):
                if self.geometry(wid, retries=1):
                    time.sleep(0.4)  # let the first paint land
                    self.focus(wid)
                    return wid
            time.sleep(0.2)
        raise TimeoutError("no window named %r" % name)

    def window_gone(self, name, timeout=10):
        end = time.time() + timeout
        while time.time() < end:
            if not self.xdotool("search", "--onlyvisible", "--name", "^%s$" % name).stdout.split():
                return True
            time.sleep(0.2)
        return False

    def geometry(self, wid, retries=10):
        """(x, y, width, height) of a window; None when it is gone."""
        for _ in range(retries):
            out = self.xdotool("getwindowgeometry", "--shell", wid).stdout
            values = dict(line.split("=", 1) for line in out.split() if "=" in line)
            if all(k in values for k in ("X", "Y", "WIDTH", "HEIGHT")):
                return int(values["X"]), int(values["Y"]), int(values["WIDTH"]), int(values["HEIGHT"])
            time.sleep(0.2)
        return None

    def focus(self, wid):
        """Gives a window the X keyboard focus (there is no window manager to do it)."""
        self.xdotool("windowfocus", "--sync", wid)
        time.sleep(0.2)

    def move_mouse(self, x, y):
        self.xdotool("mousemove", x, y)
        time.sleep(0.15)

    def click(self, x, y, button=1):
        self.xdotool("mousemove", x, y)
        time.sleep(0.15)
        self.xdotool("click", button)
        time.sleep(0.3)

    def key(self, *names):
        for name in names:
            self.xdotool("key", name)
            time.sleep(0.2)

    def type_text(self, text):
        self.xdotool("type", text)

    def screenshot(self, path):
        os.makedirs(os.path.dirname(os.path.abspath(path)), exist_ok=True)
        subprocess.run(["import", "-window", "root", path], env=self.env, check=True)
        return Screenshot(path)


def skin_package(build_dir, extra=None, drop=()):
    """A copy of the built skin package with entries added ({name: bytes}) or left out; answers its path."""
    import zipfile
    src = os.path.join(build_dir, "product", "skin.zip")
    fd, path = tempfile.mkstemp(suffix=".zip", dir=os.path.join(build_dir, "testdata"))
    os.close(fd)
    with zipfile.ZipFile(src) as zin, zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as zout:
        for item in zin.infolist():
            if item.filename not in drop and item.filename not in (extra or {}):
                zout.writestr(item, zin.read(item.filename))
        for name, data in (extra or {}).items():
            zout.writestr(name, data)
    return path
