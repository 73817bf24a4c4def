#!/usr/bin/env python3
"""Interactive checks of the skinned windows under Xvfb: the message box through each entry point
(pixels, positions, mouse, keyboard, owner, accessibility), the main window description (check
box notifications, raw ids without a string table, the gradient progress, 200 % scale).

Usage: test_skinned_windows.py BUILD_DIR [name...]   (screenshots go to BUILD_DIR/shots/ui)
"""
import os
import re
import sys
import time
import traceback

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from uidriver import UiSession  # noqa: E402

BUILD = os.path.abspath(sys.argv[1])
ONLY = sys.argv[2:]
SHOTS = os.path.join(BUILD, "shots", "ui")
PRIMARY, OTHER = (0xFE, 0x36, 0x66), (0x3A, 0x3E, 0x4F)
BOX_BG = (0x31, 0x31, 0x3F)
TITLE = "安装提示"

# ROLE_SYSTEM_* and STATE_SYSTEM_* of oleacc.h
ROLE_STATICTEXT, ROLE_PUSHBUTTON, ROLE_CHECKBUTTON, ROLE_PROGRESSBAR = 41, 43, 44, 48
STATE_FOCUSED, STATE_CHECKED = 0x4, 0x10


class Check:
    def __init__(self):
        self.failures = []

    def eq(self, what, got, want):
        if got != want:
            self.failures.append("%s: got %r, want %r" % (what, got, want))

    def true(self, what, cond, detail=""):
        if not cond:
            self.failures.append("%s %s" % (what, detail))


def skin():
    return ["--skin", "Z:" + os.path.join(BUILD, "product", "skin.zip").replace("/", "\\")]


def box_args(buttons, extra=()):
    args = ["tools/uidemo.exe"] + skin() + list(extra) + ["box", "--title", TITLE, "--text", "确定要退出安装吗？"]
    for b in buttons:
        args += ["--button", b]
    return args


def result_of(out):
    m = re.search(r"result=(-?\d+)", out)
    return int(m.group(1)) if m else None


def button_runs(shot, x, y):
    """Colour runs of the button row (4 px below its top edge), relative to the box."""
    row = y + 164
    runs = []
    for colour, name in ((PRIMARY, "primary"), (OTHER, "other")):
        runs += [(a - x, b - x, name) for a, b in shot.runs(colour, row, x, x + 380, tolerance=3) if b - a > 20]
    return sorted(runs)


# -- the cases ---------------------------------------------------------------------------------
def case_button_rows(ui, check):
    """One, two and three buttons: 95 px wide, 22 px apart, centred, in their styles; each answers its id."""
    rows = [
        (["确定:10:0"], [(142, 237, "primary")]),
        (["确定:10:0", "取消:11:1"], [(84, 179, "primary"), (201, 296, "other")]),
        (["是:10:0", "否:11:1", "取消:12:1"], [(25, 120, "primary"), (142, 237, "other"), (259, 354, "other")]),
    ]
    for buttons, want in rows:
        for press in range(len(buttons)):
            p = ui.start(box_args(buttons))
            win = ui.wait_window(TITLE)
            x, y, w, h = ui.geometry(win)
            check.eq("box size", (w, h), (380, 222))
            ui.move_mouse(x + 30, y + 100)  # onto an inert spot: no button stays hot
            if press == 0:
                shot = ui.screenshot(os.path.join(SHOTS, "msgbox_%d_buttons.png" % len(buttons)))
                shot.crop(x, y, w, h, os.path.join(SHOTS, "msgbox_%d_buttons_box.png" % len(buttons)))
                check.eq("%d buttons: runs" % len(buttons), button_runs(shot, x, y), want)
                check.eq("box background", shot.pixel(x + 30, y + 100), BOX_BG)
            left, right, _ = want[press]
            ui.click(x + (left + right) // 2, y + 176)
            code, out = ui.finish(p)
            check.eq("%d buttons: press %d" % (len(buttons), press), result_of(out), int(buttons[press].split(":")[1]))


def case_close_escape_altf4(ui, check):
    """The caption close button and Escape answer 1; Alt+F4 closes with 0."""
    for how, want in (("close", 1), ("escape", 1), ("altf4", 0)):
        p = ui.start(box_args(["确定:10:0", "取消:11:1"]))
        win = ui.wait_window(TITLE)
        x, y, w, h = ui.geometry(win)
        if how == "close":
            ui.click(x + 380 - 6 - 15, y + 22)
        elif how == "escape":
            ui.key("Escape")
        else:
            ui.key("alt+F4")
        code, out = ui.finish(p)
        check.eq("answer after " + how, result_of(out), want)


def case_keyboard(ui, check):
    """Enter presses the first button; Tab and Shift+Tab move a visible focus ring between the buttons."""
    for keys, want in ((["Return"], 10), (["Tab", "Return"], 11), (["Tab", "Tab", "Tab", "space"], 10),
                       (["shift+Tab", "Return"], 1)):
        p = ui.start(box_args(["确定:10:0", "取消:11:1"]))
        win = ui.wait_window(TITLE)
        x, y, w, h = ui.geometry(win)
        ui.move_mouse(x + 30, y + 100)  # onto an inert spot: no button stays hot
        if keys == ["Tab", "Return"]:
            ui.key("Tab")
            shot = ui.screenshot(os.path.join(SHOTS, "msgbox_focus.png"))
            shot.crop(x, y, w, h, os.path.join(SHOTS, "msgbox_focus_box.png"))
            # The ring is a light outline inside the focused (second) button's edge.
            ring = shot.find_color((0xFF, 0xFF, 0xFF), (x + 201, y + 160, 95, 3), tolerance=60)
            check.true("focus ring on the second button", len(ring) > 40, "(%d light pixels)" % len(ring))
            keys = ["Return"]
        ui.key(*keys)
        code, out = ui.finish(p)
        check.eq("keys %s" % keys, result_of(out), want)


def case_prompt_entry(ui, check):
    """The engine's prompt: at most two buttons, primary by mask; without a window it answers 0 at once."""
    for mask, want in ((0, [(84, 179, "primary"), (201, 296, "other")]),
                       (2, [(84, 179, "other"), (201, 296, "primary")]),
                       (3, [(84, 179, "primary"), (201, 296, "primary")])):
        p = ui.start(["tools/uidemo.exe"] + skin() + ["--owner", "prompt", "--title", TITLE, "--text", "继续吗？",
                                                     "--mask", str(mask), "是", "否", "第三个"])
        win = ui.wait_window(TITLE)
        x, y, w, h = ui.geometry(win)
        ui.move_mouse(x + 30, y + 100)  # onto an inert spot: no button stays hot
        shot = ui.screenshot(os.path.join(SHOTS, "prompt_mask%d.png" % mask))
        check.eq("mask %d runs" % mask, button_runs(shot, x, y), want)
        # The owner cannot be used while the box shows.
        ui.click(x - 150, y + 20)
        ui.click(x + 201 + 40, y + 176)
        code, out = ui.finish(p)
        check.eq("mask %d answer" % mask, result_of(out), 11)
        check.true("owner saw no click while the box showed", "owner click" not in out, out)
        check.true("owner enabled afterwards", "owner enabled" in out, out)
    code, out = ui.run(["tools/uidemo.exe"] + skin() + ["prompt", "--nohost", "--text", "x", "是"])
    check.eq("prompt without a window", result_of(out), 0)
    # From a worker thread, as an install stage's msgbox action: the owner (another thread's
    # window) is disabled meanwhile and usable again afterwards.
    p = ui.start(["tools/uidemo.exe"] + skin() + ["--owner", "prompt", "--worker", "--title", TITLE, "--text", "继续吗？",
                                                 "是", "否"])
    win = ui.wait_window(TITLE)
    x, y, w, h = ui.geometry(win)
    ui.click(x - 150, y + 20)
    ui.click(x + 84 + 40, y + 176)
    code, out = ui.finish(p)
    check.eq("worker prompt answer", result_of(out), 10)
    check.true("worker prompt: owner saw no click", "owner click" not in out, out)
    check.true("worker prompt: owner enabled afterwards", "owner enabled" in out, out)


def case_ok_box(ui, check):
    p = ui.start(["tools/uidemo.exe"] + skin() + ["okbox", "--title", TITLE, "--text", "目录无效"])
    win = ui.wait_window(TITLE)
    x, y, w, h = ui.geometry(win)
    ui.move_mouse(x + 30, y + 100)  # onto an inert spot: no button stays hot
    shot = ui.screenshot(os.path.join(SHOTS, "okbox.png"))
    check.eq("OK box runs", button_runs(shot, x, y), [(142, 237, "primary")])
    ui.key("Return")
    code, out = ui.finish(p)
    check.eq("OK box answer", result_of(out), 10)


def case_accessibility(ui, check):
    """A screen reader finds the title, the text and the buttons with names, roles and focus."""
    p = ui.start(box_args(["确定:10:0", "取消:11:1"]))
    ui.wait_window(TITLE)
    code, out = ui.run(["tools/accdump.exe", TITLE])
    lines = out.splitlines()
    children = [dict(re.findall(r"(\w+)=([^ ]*)", l.split(" name=")[0]), name=l.split(" name=", 1)[1])
                for l in lines if l.startswith("child ")]
    named = {(int(c["role"]), c["name"]) for c in children}
    for want in ((ROLE_STATICTEXT, TITLE), (ROLE_STATICTEXT, "确定要退出安装吗？"), (ROLE_PUSHBUTTON, "关闭"),
                 (ROLE_PUSHBUTTON, "确定"), (ROLE_PUSHBUTTON, "取消")):
        check.true("accessible child %r" % (want,), want in named, out)
    focused = [c["name"] for c in children if int(c["state"]) & STATE_FOCUSED]
    check.eq("focused child", focused, ["确定"])
    check.true("window name", lines and lines[0].endswith("name=" + TITLE), out)
    # The default action presses the button, as an assistive tool would.
    index = next((i + 1 for i, c in enumerate(children) if c["name"] == "取消"), 0)
    ui.run(["tools/accdump.exe", TITLE, str(index)])
    code, out = ui.finish(p)
    check.eq("answer through accDoDefaultAction", result_of(out), 11)


def case_damaged_packages(ui, check):
    """A description missing or malformed: the toolkit's plain box and exit code 1; a missing image
    leaves its place empty and the box still works."""
    from uidriver import skin_package
    work = os.path.join(BUILD, "testdata", "ui")
    os.makedirs(work, exist_ok=True)
    for name, package in (("missing", skin_package(BUILD, drop=("msgbox.xml",))),
                          ("malformed", skin_package(BUILD, extra={"msgbox.xml": b"<Window><RVerticalLayout>"}))):
        report = os.path.join(work, "box_%s.txt" % name)
        ready = os.path.join(work, "ready_%s" % name)
        for f in (report, ready):
            if os.path.exists(f):
                os.remove(f)
        watcher = ui.start(["tools/boxwatch.exe", "Setup", ui.win_path(report), ui.win_path(ready), "20000"])
        for _ in range(100):
            if os.path.exists(ready):
                break
            time.sleep(0.1)
        p = ui.start(["tools/uidemo.exe", "--skin", ui.win_path(package)] + box_args(["确定:10:0"])[3:])
        code, out = ui.finish(p)
        ui.finish(watcher)
        check.eq("%s description: exit code" % name, code, 1)
        text = open(report, encoding="utf-8").read() if os.path.exists(report) else ""
        check.true("%s description: box names it" % name, "msgbox.xml" in text, repr(text))
        os.remove(package)
    package = skin_package(BUILD, drop=("sysbtn/wnd_close.png", "sysbtn/wnd_close@200.png"))
    p = ui.start(["tools/uidemo.exe", "--skin", ui.win_path(package)] + box_args(["确定:10:0"])[3:])
    win = ui.wait_window(TITLE)
    x, y, w, h = ui.geometry(win)
    ui.move_mouse(x + 30, y + 100)  # onto an inert spot: no button stays hot
    shot = ui.screenshot(os.path.join(SHOTS, "msgbox_without_close_image.png"))
    check.eq("missing image: buttons", button_runs(shot, x, y), [(142, 237, "primary")])
    ui.click(x + 380 - 6 - 15, y + 22)  # the close button is there, only not drawn
    code, out = ui.finish(p)
    check.eq("missing image: close answers", result_of(out), 1)
    os.remove(package)


def case_planted_dlls(ui, check):
    """GDI+ comes from the system directory, not from beside the program (Shcore and Oleacc are
    looked up the same way, but Wine's own libraries import them, so a planted copy stops any
    program before it starts)."""
    import shutil
    folder = os.path.join(BUILD, "testdata", "ui", "planted")
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    shutil.copy(os.path.join(BUILD, "tools", "uidemo.exe"), folder)
    for dll in ("gdiplus.dll",):
        with open(os.path.join(folder, dll), "wb") as f:
            f.write(b"MZ not a library")
    p = ui.start([os.path.join(folder, "uidemo.exe")] + box_args(["确定:10:0", "取消:11:1"])[1:])
    win = ui.wait_window(TITLE)
    x, y, w, h = ui.geometry(win)
    ui.move_mouse(x + 30, y + 100)  # onto an inert spot: no button stays hot
    shot = ui.screenshot(os.path.join(SHOTS, "msgbox_planted_dlls.png"))
    check.eq("painted with the system GDI+", button_runs(shot, x, y), [(84, 179, "primary"), (201, 296, "other")])
    out = ui.run(["tools/accdump.exe", TITLE])[1]
    check.true("accessible through the system Oleacc", "name=取消" in out, out)
    ui.key("Escape")
    code, out = ui.finish(p)
    check.eq("planted DLLs: answer", result_of(out), 1)


def main_window(ui, extra, name, dpi=None):
    args = ["tools/uidemo.exe"] + skin() + extra + ["window", "--desc", "instskin.xml", "--title", "Main",
                                                   "--set", "prodver.text=v1.0.0.1"]
    if dpi:
        args += ["--dpi", str(dpi)]
    return ui.start(args)


def case_main_window(ui, check):
    """Check box notifications in order, the caption close, and the progress bar's fill."""
    p = main_window(ui, ["--set", "installingpage.visible=true", "--set", "startpage.visible=false",
                         "--set", "instprog.value=50", "--set", "progtext.text=50%"], "progress")
    win = ui.wait_window("Main")
    x, y, w, h = ui.geometry(win)
    ui.move_mouse(x + 30, y + 100)  # onto an inert spot: no button stays hot
    shot = ui.screenshot(os.path.join(SHOTS, "main_progress50.png"))
    shot.crop(x, y, w, h, os.path.join(SHOTS, "main_progress50_window.png"))
    # Bar: 26 px margins, 5 px high; 50 % fills to the middle, ending in the second colour.
    bar_y = None
    for yy in range(y + 275, y + 436):
        if shot.pixel(x + 40, yy)[0] > 0xE0:
            bar_y = yy
            break
    check.true("progress bar found", bar_y is not None)
    if bar_y is not None:
        row = bar_y + 2
        left, right = x + 26, x + 610 - 26
        fill_end = max(px for px in range(left, right) if shot.pixel(px, row)[0] > 0xC0)
        check.true("fill ends in the middle", abs(fill_end - (left + right) // 2) <= 3, "(%d)" % (fill_end - x))
        p0, p1 = shot.pixel(left + 4, row), shot.pixel(fill_end - 3, row)
        check.true("left end in the first colour", all(abs(p0[k] - PRIMARY[k]) < 14 for k in range(3)), p0)
        check.true("right end in the second colour", all(abs(p1[k] - (0xFE, 0x53, 0x7C)[k]) < 14 for k in range(3)), p1)
        rest = shot.pixel(fill_end + 20, row)
        check.true("unfilled part in the track colour", all(abs(rest[k] - (0x2D, 0x2E, 0x3B)[k]) < 8 for k in range(3)), rest)
    acc = ui.run(["tools/accdump.exe", "Main"])[1]
    check.true("progress bar exposed with its value", re.search(r"role=48 .* value=50% name=", acc), acc)
    ui.click(x + w - 6 - 15, y + 16)
    code, out = ui.finish(p)
    check.true("close button clicked", "notify click closebtn 0" in out, out)

    p = main_window(ui, [], "start")
    win = ui.wait_window("Main")
    x, y, w, h = ui.geometry(win)
    ui.screenshot(os.path.join(SHOTS, "main_start.png")).crop(x, y, w, h, os.path.join(SHOTS, "main_start_window.png"))
    agree = ui.run(["tools/accdump.exe", "Main"])[1]
    m = re.search(r"child \d+ role=44 state=(\d+) rect=(\d+),(\d+),(\d+),(\d+) value= name=已阅读并同意", agree)
    check.true("agree check box exposed, checked", m and int(m.group(1)) & STATE_CHECKED, agree)
    if m:
        ax, ay, aw, ah = (int(v) for v in m.groups()[1:])
        ui.click(ax + 7, ay + ah // 2)
    ui.click(x + w - 6 - 15, y + 16)
    code, out = ui.finish(p)
    events = [l for l in out.splitlines() if "agree" in l]
    check.eq("agree notifications", events, ["notify checkclick agree 0", "notify click agree 0"])


def case_language_without_table(ui, check):
    """Another language code: no string table, so the texts read as their ids."""
    p = main_window(ui, ["--lang", "en-us"], "raw")
    win = ui.wait_window("Main")
    x, y, w, h = ui.geometry(win)
    ui.screenshot(os.path.join(SHOTS, "main_raw_ids.png")).crop(x, y, w, h, os.path.join(SHOTS, "main_raw_ids_window.png"))
    out = ui.run(["tools/accdump.exe", "Main"])[1]
    for text in ("IDS_INST_NOW", "IDS_AGREE", "IDS_CUSTOM_OPTION"):
        check.true("raw id %s" % text, "name=" + text in out, out)
    ui.click(x + w - 6 - 15, y + 16)
    ui.finish(p)


def case_double_scale(ui, check):
    """200 %: the window doubles and draws the @200 images pixel for pixel."""
    p = main_window(ui, [], "200", dpi=192)
    win = ui.wait_window("Main")
    x, y, w, h = ui.geometry(win)
    check.eq("window size at 200 %", (w, h), (1220, 872))
    shot = ui.screenshot(os.path.join(SHOTS, "main_200.png"))
    shot.crop(x, y, w, h, os.path.join(SHOTS, "main_200_window.png"))
    # The close glyph of the @200 image is a 2.6 px stroke: its centre pixel is fully light.
    cx, cy = x + w - 12 - 31, y + 16 * 2 + 1
    light = shot.find_color((0x8F, 0x98, 0xAA), (cx - 8, cy - 8, 16, 16), tolerance=10)
    check.true("close glyph drawn solid at 200 %", len(light) >= 12, "(%d pixels)" % len(light))
    ui.click(cx, cy)
    code, out = ui.finish(p)
    check.true("close button clicked at 200 %", "notify click closebtn 0" in out, out)


def reg_value(ui, key, name):
    code, out = ui.run(["reg", "query", key, "/v", name])
    m = re.search(r"REG_DWORD\s+0x([0-9a-fA-F]+)", out)
    return int(m.group(1), 16) if m else None


def set_reg_value(ui, key, name, value):
    if value is None:
        ui.run(["reg", "delete", key, "/v", name, "/f"])
    else:
        ui.run(["reg", "add", key, "/v", name, "/t", "REG_DWORD", "/d", str(value), "/f"])


def case_prefix_192_dpi(ui, check):
    """With the prefix set to 192 DPI the box is laid out at 200 % by itself, with the @200 images.
    (Changes the prefix for a moment: the test runs alone.)"""
    keys = (("HKCU\\Control Panel\\Desktop", "LogPixels"), ("HKCU\\Software\\Wine\\Fonts", "LogPixels"))
    saved = [reg_value(ui, k, n) for k, n in keys]
    try:
        for k, n in keys:
            set_reg_value(ui, k, n, 192)
        p = ui.start(box_args(["确定:10:0", "取消:11:1"]))
        win = ui.wait_window(TITLE)
        x, y, w, h = ui.geometry(win)
        check.eq("box size at 192 DPI", (w, h), (760, 444))
        ui.move_mouse(x + 30, y + 100)  # onto an inert spot: no button stays hot
        shot = ui.screenshot(os.path.join(SHOTS, "msgbox_prefix192.png"))
        shot.crop(x, y, w, h, os.path.join(SHOTS, "msgbox_prefix192_box.png"))
        runs = [(a - x, b - x) for a, b in shot.runs(PRIMARY, y + 328, x, x + w, tolerance=3) if b - a > 40]
        check.eq("primary button at 200 %", runs, [(168, 358)])
        ui.key("Return")
        code, out = ui.finish(p)
        check.eq("answer at 192 DPI", result_of(out), 10)
    finally:
        for (k, n), v in zip(keys, saved):
            set_reg_value(ui, k, n, v)


CASES = [case_button_rows, case_close_escape_altf4, case_keyboard, case_prompt_entry, case_ok_box,
         case_accessibility, case_damaged_packages, case_planted_dlls, case_main_window,
         case_language_without_table, case_double_scale, case_prefix_192_dpi]


def main():
    os.makedirs(SHOTS, exist_ok=True)
    failed = 0
    with UiSession(BUILD, screen="1600x1000x24", own_display=True) as ui:
        for case in CASES:
            if ONLY and case.__name__ not in ONLY:
                continue
            check = Check()
            try:
                case(ui, check)
            except Exception:  # noqa: BLE001 - a broken case is reported like a failed one
                check.failures.append(traceback.format_exc())
            for p in ui.procs:
                if p.poll() is None:
                    p.kill()
            ui.procs.clear()
            status = "ok" if not check.failures else "FAILED"
            print("%-32s %s" % (case.__name__, status))
            for f in check.failures:
                print("    " + f)
            failed += bool(check.failures)
    print("%d of %d cases failed" % (failed, len([c for c in CASES if not ONLY or c.__name__ in ONLY])))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
