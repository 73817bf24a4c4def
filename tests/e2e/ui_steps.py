"""Drives a running installer's windows the way a user does: real mouse and keyboard input on the
Xvfb display (xdotool), controls found through the window's accessible tree (tools/acctree.exe,
which is what a screen reader sees), screenshots with ImageMagick's import.

A scenario's "ui" list holds steps, run in order while the installer runs:

  {"window": "DazeVaraSetupWndClass", "timeout": 30}   wait until a window of that class exists
  {"gone": "BrinCommonMsgboxWndClass"}                   wait until none exists
  {"click": "立即安装"}                                  click the centre of the accessible child so
                                                         named ("re:..." for a regular expression);
                                                         "in": window class (default: the last waited for)
  {"click_at": [x, y]}                                   click at a point relative to the window
  {"keys": ["Tab", "Return"]}                            key presses (xdotool key names), after giving the
                                                         window the X focus and Wine has made it the
                                                         foreground window ("focus_title": another
                                                         window's title, e.g. a system dialog, with
                                                         its class in "focus_class"); "pause": seconds
                                                         between keys (0.25)
  {"type": "text"}                                       typed text
  {"expect": "立即安装", "enabled": false, "checked": true, "value": "re:\\d+", "visible": true}
                                                         an accessible child's state ("absent": true:
                                                         no such child)
  {"expect_title": "text"}                               the window's title
  {"window_enabled": false}                              the window is disabled (a modal box owns it)
  {"window_size": [610, 534]}                            until the window's outer size is this
  {"wait_value": "re:...", "role": 48, "timeout": 60}    until a child of that role has a value that
                                                         matches; "record": key stores every value
                                                         seen while waiting (for "monotonic" checks)
  {"monotonic": key}                                     the recorded values (integers) never decrease
  {"watch": key, "role": 48, "seconds": 120}             start reading that child's value every 10 ms in
                                                         the background (acctree --watch)
  {"watch_end": key, "max_gap_ms": 1000}                 wait for the watcher; its values (integers)
                                                         join the record `key`; no read may have
                                                         waited longer than max_gap_ms for the window
  {"expect_size": [w, h]}                                the window's outer size in pixels
  {"query_end": 0}                                       the window's answer to WM_QUERYENDSESSION
  {"screenshot": "name"}                                 build/shots/<scenario>_<name>.png
  {"sleep": seconds}
"""
import os
import re
import subprocess
import sys
import time

# Mouse, keyboard and screenshots come from the toolkit's UI test driver.
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "ui"))
import uidriver  # noqa: E402

ROLE_PUSHBUTTON = 43
ROLE_CHECKBUTTON = 44
ROLE_PROGRESSBAR = 48
STATE_UNAVAILABLE = 0x1
STATE_CHECKED = 0x10
STATE_FOCUSED = 0x4
STATE_INVISIBLE = 0x8000

CHILD_RE = re.compile(r"^child (\d+) role=(-?\d+) state=([0-9a-f]+) rect=(-?\d+),(-?\d+),(-?\d+),(-?\d+) "
                      r"name=(.*?) value=(.*)$")
WINDOW_RE = re.compile(r"^window rect=(-?\d+),(-?\d+),(\d+),(\d+) enabled=(\d) foreground=(\d) title=(.*)$")


class UIFailure(Exception):
    pass


def matches(pattern, text):
    if pattern.startswith("re:"):
        return re.fullmatch(pattern[3:], text) is not None
    return pattern == text


class Driver:
    def __init__(self, build, env, shots_prefix):
        self.build = build
        self.env = env
        # Only its input and screenshot helpers: the display and the wineserver are already running.
        self.session = uidriver.UiSession(build)
        self.session.env = dict(env)
        self.shots_prefix = shots_prefix
        self.current = None
        self.records = {}
        self.watchers = {}

    # -- reading the accessible tree -------------------------------------------------------
    def tree(self, window_class):
        for _ in range(10):
            p = subprocess.run(["wine", os.path.join(self.build, "tools", "acctree.exe"), window_class],
                               env=self.env, stdin=subprocess.DEVNULL, capture_output=True, timeout=60)
            # 2: a window that is being created or destroyed answers nothing yet; below 0: the Wine
            # process died of a signal before it ran (Wine's start-up crashes now and then).
            if p.returncode != 2 and p.returncode >= 0:
                break
            time.sleep(0.3)
        if p.returncode == 1:
            return None
        if p.returncode != 0:
            raise UIFailure("acctree %s exited with %d" % (window_class, p.returncode))
        window, children = None, []
        for line in p.stdout.decode("utf-8", errors="replace").splitlines():
            m = WINDOW_RE.match(line)
            if m:
                window = {"rect": tuple(int(v) for v in m.groups()[:4]), "enabled": m.group(5) == "1",
                          "foreground": m.group(6) == "1", "title": m.group(7)}
                continue
            m = CHILD_RE.match(line)
            if m:
                children.append({"id": int(m.group(1)), "role": int(m.group(2)), "state": int(m.group(3), 16),
                                 "rect": tuple(int(v) for v in m.groups()[3:7]), "name": m.group(8),
                                 "value": m.group(9)})
        return {"window": window, "children": children}

    def find(self, window_class, name, role=None):
        t = self.tree(window_class)
        if t is None:
            raise UIFailure("no window of class %s" % window_class)
        for c in t["children"]:
            if matches(name, c["name"]) and (role is None or c["role"] == role):
                return c
        return None

    def wait_window(self, window_class, timeout):
        deadline = time.time() + timeout
        while time.time() < deadline:
            t = self.tree(window_class)
            if t is not None and t["children"]:
                return t
            time.sleep(0.3)
        raise UIFailure("window %s did not appear in %ss" % (window_class, timeout))

    def wait_gone(self, window_class, timeout):
        deadline = time.time() + timeout
        while time.time() < deadline:
            if self.tree(window_class) is None:
                return
            time.sleep(0.3)
        raise UIFailure("window %s still there after %ss" % (window_class, timeout))

    # -- input ---------------------------------------------------------------------------------
    def click_point(self, x, y):
        self.session.click(x, y)
        time.sleep(0.3)

    def screenshot(self, name):
        out = "%s_%s.png" % (self.shots_prefix, name)
        try:
            self.session.screenshot(out)
        except subprocess.CalledProcessError:
            pass
        return out

    def title_of(self, window_class):
        t = self.tree(window_class) if window_class else None
        return t["window"]["title"] if t else None

    def focus(self, title, window_class=None):
        """Gives the X keyboard focus to the window so titled. Wine's windows on a display without a
        window manager do not take it themselves, and keys would go where the pointer happens to be.
        Wine takes the X focus over in its own time: with the window's class, waits (up to 10 s; every
        2 s the focus is given again, with a click on the caption) until Wine has made the window the
        foreground one, as keys sent before go to the one before."""
        if not title:
            return
        deadline = time.time() + 10
        while True:
            ids = self.session.xdotool("search", "--onlyvisible", "--name", "^%s$" % re.escape(title)).stdout.split()
            if ids or not window_class or time.time() > deadline:
                break
            time.sleep(0.2)  # created but not mapped yet
        if not ids:
            if window_class:
                raise UIFailure("no visible window titled %s" % title)
            return
        while True:
            self.session.xdotool("windowfocus", "--sync", ids[-1])
            if not window_class:
                break
            give_up = min(deadline, time.time() + 2)
            while time.time() < give_up:
                t = self.tree(window_class)
                if t is None or t["window"]["foreground"]:
                    time.sleep(0.2)
                    return
                time.sleep(0.1)
            if time.time() >= deadline:
                raise UIFailure("%s did not become the foreground window" % title)
            # Wine sometimes leaves the X focus unanswered (a window it has just deactivated): a
            # click on the caption, as a user would give, activates it.
            x, y, w, _ = t["window"]["rect"]
            self.session.xdotool("mousemove", x + w // 2, y + 12)
            self.session.xdotool("click", 1)
        time.sleep(0.2)

    @staticmethod
    def focus_class(step, where):
        """The class of the window a key step types into: a window named by "focus_title" (a system
        dialog) has its class in "focus_class", if given."""
        return step.get("focus_class") if "focus_title" in step else where

    # -- steps ---------------------------------------------------------------------------------
    def run(self, steps, installer=None):
        for i, step in enumerate(steps):
            after_exit = step.get("after_exit") or any(k in step for k in ("gone", "watch_end", "monotonic", "screenshot", "sleep"))
            if installer is not None and installer.poll() is not None and not after_exit:
                raise UIFailure("step %d %s: the installer has already ended with %s" % (i, step, installer.returncode))
            try:
                self.step(step)
            except UIFailure as e:
                self.screenshot("failed_step%d" % i)
                raise UIFailure("step %d %s: %s" % (i, step, e))

    def step(self, step):
        where = step.get("in", self.current)
        timeout = step.get("timeout", 30)
        if "window" in step:
            self.current = step["window"]
            self.wait_window(step["window"], timeout)
        elif "gone" in step:
            self.wait_gone(step["gone"], timeout)
        elif "click" in step:
            deadline = time.time() + timeout
            c = None
            while c is None:
                c = self.find(where, step["click"], step.get("role"))
                if c is None:
                    if time.time() > deadline:
                        raise UIFailure("no control named %s in %s" % (step["click"], where))
                    time.sleep(0.3)
            x, y, w, h = c["rect"]
            self.click_point(x + w // 2, y + h // 2)
        elif "click_at" in step:
            t = self.tree(where)
            if t is None:
                raise UIFailure("no window of class %s" % where)
            x, y = t["window"]["rect"][:2]
            self.click_point(x + step["click_at"][0], y + step["click_at"][1])
        elif "keys" in step:
            self.focus(step.get("focus_title") or self.title_of(where), self.focus_class(step, where))
            for key in step["keys"]:
                self.session.key(key)
                time.sleep(step.get("pause", 0.25))
        elif "type" in step:
            self.focus(step.get("focus_title") or self.title_of(where), self.focus_class(step, where))
            self.session.type_text(step["type"])
        elif "expect" in step:
            self.expect(where, step)
        elif "window_enabled" in step:
            deadline = time.time() + step.get("timeout", 10)
            while True:
                t = self.tree(where)
                if t is not None and t["window"]["enabled"] == step["window_enabled"]:
                    break
                if time.time() > deadline:
                    raise UIFailure("window %s enabled is not %s" % (where, step["window_enabled"]))
                time.sleep(0.3)
        elif "window_size" in step:
            deadline = time.time() + step.get("timeout", 10)
            while True:
                t = self.tree(where)
                size = t and list(t["window"]["rect"][2:])
                if size == step["window_size"]:
                    break
                if time.time() > deadline:
                    raise UIFailure("window %s size is %s" % (where, size))
                time.sleep(0.2)
        elif "expect_title" in step:
            t = self.tree(where)
            if t is None or not matches(step["expect_title"], t["window"]["title"]):
                raise UIFailure("title %r" % (t and t["window"]["title"]))
        elif "wait_value" in step:
            self.wait_value(where, step, timeout)
        elif "monotonic" in step:
            values = self.records.get(step["monotonic"], [])
            if len(values) < step.get("at_least", 2):
                raise UIFailure("only %d values recorded: %s" % (len(values), values))
            if any(b < a for a, b in zip(values, values[1:])):
                raise UIFailure("values went back: %s" % values)
        elif "expect_size" in step:
            deadline = time.time() + step.get("timeout", 10)
            while True:
                t = self.tree(where)
                size = list(t["window"]["rect"][2:]) if t else None
                if size == list(step["expect_size"]):
                    break
                if time.time() > deadline:
                    raise UIFailure("window size %s" % size)
                time.sleep(0.3)
        elif "query_end" in step:
            p = subprocess.run(["wine", os.path.join(self.build, "tools", "acctree.exe"), "--query-end", where],
                               env=self.env, stdin=subprocess.DEVNULL, capture_output=True, timeout=60)
            out = p.stdout.decode("utf-8", errors="replace").strip()
            if out != "queryend=%d" % step["query_end"]:
                raise UIFailure("WM_QUERYENDSESSION answered %r (exit %d)" % (out, p.returncode))
        elif "watch" in step:
            self.watchers[step["watch"]] = subprocess.Popen(
                ["wine", os.path.join(self.build, "tools", "acctree.exe"), "--watch", where,
                 str(step.get("role", ROLE_PROGRESSBAR)), str(step.get("seconds", 120))],
                env=self.env, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        elif "watch_end" in step:
            out, _ = self.watchers.pop(step["watch_end"]).communicate(timeout=step.get("timeout", 300))
            seen = self.records.setdefault(step["watch_end"], [])
            gap = None
            for line in out.decode("utf-8", errors="replace").splitlines():
                m = re.match(r"^value \d+ (-?\d+)", line)
                if m:
                    seen.append(int(m.group(1)))
                m = re.match(r"^longest_gap (\d+)", line)
                if m:
                    gap = int(m.group(1))
            if gap is None:
                raise UIFailure("the watcher saw no window")
            if gap > step.get("max_gap_ms", 1000):
                raise UIFailure("the window kept a reader waiting %d ms (values %s)" % (gap, seen))
        elif "screenshot" in step:
            time.sleep(step.get("settle", 0.5))
            self.screenshot(step["screenshot"])
        elif "sleep" in step:
            time.sleep(step["sleep"])
        else:
            raise UIFailure("unknown step %s" % step)

    def expect(self, where, step):
        deadline = time.time() + step.get("timeout", 10)
        while True:
            problem = self.check_expect(where, step)
            if problem is None:
                return
            if time.time() > deadline:
                raise UIFailure(problem)
            time.sleep(0.3)

    def check_expect(self, where, step):
        c = self.find(where, step["expect"], step.get("role"))
        if step.get("absent"):
            return None if c is None else "control %s is present" % step["expect"]
        if c is None:
            return "no control named %s" % step["expect"]
        if "enabled" in step and bool(c["state"] & STATE_UNAVAILABLE) == step["enabled"]:
            return "control %s enabled=%s" % (step["expect"], not step["enabled"])
        if "checked" in step and bool(c["state"] & STATE_CHECKED) != step["checked"]:
            return "control %s checked=%s" % (step["expect"], not step["checked"])
        if "focused" in step and bool(c["state"] & STATE_FOCUSED) != step["focused"]:
            return "control %s focused=%s" % (step["expect"], not step["focused"])
        if "visible" in step and bool(c["state"] & STATE_INVISIBLE) == step["visible"]:
            return "control %s visible=%s" % (step["expect"], not step["visible"])
        if "value" in step and not matches(step["value"], c["value"]):
            return "control %s value %r" % (step["expect"], c["value"])
        return None

    def wait_value(self, where, step, timeout):
        deadline = time.time() + timeout
        seen = self.records.setdefault(step.get("record", "_"), [])
        while time.time() < deadline:
            t = self.tree(where)
            if t is not None:
                for c in t["children"]:
                    if c["role"] == step.get("role", ROLE_PROGRESSBAR) and c["value"]:
                        m = re.search(r"-?\d+", c["value"])
                        if m and (not seen or seen[-1] != int(m.group())):
                            seen.append(int(m.group()))
                        if matches(step["wait_value"], c["value"]):
                            return
            time.sleep(step.get("interval", 0.2))
        raise UIFailure("no value matching %s (seen %s)" % (step["wait_value"], seen))
