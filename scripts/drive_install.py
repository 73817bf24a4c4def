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
    {"click": "立即安装"},
]
OVERWRITE = [
    {"screenshot": "1_overwrite"},
    {"click": "立即更新"},
]
ROLE_PROGRESSBAR = 0x30
STATE_INVISIBLE = 0x8000
# The pages after the install button, by what only they show.
LATER_PAGES = [("4_installing", lambda c: c["role"] == ROLE_PROGRESSBAR),
               ("5_finish", lambda c: c["name"] == "安装完成")]


def shows(tree, test):
    return tree is not None and any(test(c) for c in tree["children"] if not c["state"] & STATE_INVISIBLE)


def capture_later_pages(driver):
    """Screenshots of the installing and finish pages while the window shows them (a screenshot that
    the page did not outlast is dropped); waits until the window has closed."""
    missed = dict(LATER_PAGES)
    deadline = time.time() + 120
    while time.time() < deadline:
        tree = driver.tree(MAIN)
        if tree is None:
            break
        for name, test in list(missed.items()):
            if shows(tree, test):
                path = driver.screenshot(name)
                if shows(driver.tree(MAIN), test):
                    print("run: the %s page: %s" % (name[2:], path))
                    del missed[name]
                else:
                    os.remove(path)
        time.sleep(0.05)
    for name in missed:
        # A small product installs in about a second, and the finish page closes by itself at once.
        print("run: the %s page passed before a screenshot could be taken" % name[2:])
    driver.run([{"gone": MAIN, "timeout": 10}])


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
        capture_later_pages(driver)
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
