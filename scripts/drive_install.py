#!/usr/bin/env python3
"""Runs the product installer interactively and drives it as a user would, on the current X
display: start page, options, licence, install (or the overwrite page's update when TzDemo is
already installed), finish; then waits for the application the installer starts at the end.
Saves a screenshot of each page as BUILD/shots/run_*.png.

  drive_install.py BUILD INSTALLER       exit code: the installer's, or 1 when driving failed
"""
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
import ui_steps  # noqa: E402

MAIN = "DazeVaraSetupWndClass"
FIRST_INSTALL = [
    {"screenshot": "1_start"},
    {"click": "自定义选项"},
    {"screenshot": "2_options"},
    {"click": "使用许可协议"},
    {"expect": "知道了"},
    {"screenshot": "3_licence"},
    {"click": "知道了"},
]
OVERWRITE = [
    {"screenshot": "1_overwrite"},
]
# Colours of the skin (product/skin/instskin.xml): the window's background, the install and update
# buttons (normal, hot, pushed) and the finish page's start button.
WINDOW_BG = (0x29, 0x29, 0x36)
ORANGES = {(0xFF, 0x90, 0x01), (0xFF, 0xB2, 0x00), (0xFF, 0x79, 0x12)}


def grab(env):
    """The screen as (width, rgb bytes, ppm bytes)."""
    data = subprocess.run(["import", "-window", "root", "-depth", "8", "ppm:-"], env=env,
                          capture_output=True, check=True).stdout
    _, size, _, pixels = data.split(b"\n", 3)
    return int(size.split()[0]), pixels, data


def pixel(frame, x, y):
    i = (y * frame[0] + x) * 3
    return tuple(frame[1][i:i + 3])


def press_and_capture(driver, env, button):
    """Presses the install (or update) button and screenshots the installing and finish pages. A small
    product installs in a fraction of a second, too fast to look at the window between two screen
    grabs: the screen is grabbed continuously until the window has gone, and the pages are told apart
    by the skin's colours (on the installing page the button's place shows the window background, on
    the finish page the start button is orange)."""
    window = driver.tree(MAIN)["window"]["rect"]
    bx, by, bw, bh = driver.find(MAIN, button)["rect"]
    inside = (window[0] + 20, window[1] + 100)  # window background on every page
    probe = (bx + 10, by + bh // 2)              # inside the button, clear of its text
    driver.session.xdotool("mousemove", bx + bw // 2, by + bh // 2)
    time.sleep(0.15)
    driver.session.xdotool("click", 1)  # without the driver's pause after a click
    pages = {"4_installing": "installing", "5_finish": "finish"}
    last = {}  # page -> its latest frame (the installing page's last one shows the most progress)
    deadline, misses = time.time() + 60, 0
    while misses < 5 and time.time() < deadline:
        frame = grab(env)
        if pixel(frame, *inside) != WINDOW_BG:
            misses += 1  # the window has closed
            continue
        misses = 0
        if any(pixel(frame, probe[0], y) in ORANGES for y in range(window[1], window[1] + window[3])):
            last["5_finish"] = frame
        elif pixel(frame, *probe) == WINDOW_BG:
            last["4_installing"] = frame
    for page, name in pages.items():
        if page in last:
            path = "%s_%s.png" % (driver.shots_prefix, page)
            subprocess.run(["convert", "ppm:-", path], input=last[page][2], check=True)
            print("run: the %s page: %s" % (name, path))
        else:
            # The finish page closes by itself as soon as it is shown.
            print("run: the %s page passed between two screen grabs" % name)
    driver.run([{"gone": MAIN, "timeout": 120}])


def main():
    build, installer = sys.argv[1], sys.argv[2]
    env = dict(os.environ)
    for old in [n for n in os.listdir(os.path.join(build, "shots")) if n.startswith("run_")] \
            if os.path.isdir(os.path.join(build, "shots")) else []:
        os.remove(os.path.join(build, "shots", old))
    driver = ui_steps.Driver(build, env, os.path.join(build, "shots", "run"))
    proc = subprocess.Popen(["wine", installer], env=env, stdin=subprocess.DEVNULL,
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        driver.run([{"window": MAIN, "timeout": 60}], proc)
        page = OVERWRITE if driver.find(MAIN, "立即更新") else FIRST_INSTALL
        print("run: %s" % ("TzDemo is installed already: the overwrite page's update"
                           if page is OVERWRITE else "the start page: a first install"))
        driver.run(page, proc)
        press_and_capture(driver, env, "立即更新" if page is OVERWRITE else "立即安装")
    except ui_steps.UIFailure as e:
        print("run: driving the installer failed: %s" % e)
        driver.screenshot("failed")
        proc.kill()
        return 1
    # The installer starts TzDemo once its window has closed.
    time.sleep(3)
    print("run: the application it started: %s" % driver.screenshot("6_application"))
    try:
        return proc.wait(timeout=30)
    except subprocess.TimeoutExpired:
        print("run: setup.exe has not ended 30 s after its window closed; ending it")
        subprocess.run(["wine", "taskkill", "/f", "/im", os.path.basename(installer)], env=env,
                       capture_output=True, timeout=60)
        proc.kill()
        return 1


if __name__ == "__main__":
    sys.exit(main())
