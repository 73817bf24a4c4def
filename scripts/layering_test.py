#!/usr/bin/env python3
"""Checks scripts/layering.py itself: it passes on the tree and fails, naming the file and line, on
includes planted against the layering in a copy of src/."""
import os
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
SRC = os.path.normpath(os.path.join(HERE, "..", "src"))
CHECK = os.path.join(HERE, "layering.py")

# (what is planted: file under src/, include line; expected: exit code, text the report must hold)
CASES = [
    ("upward: platform includes core", "platform/planted.cpp", '#include "core/engine.h"', 1,
     "platform/planted.cpp:2: platform may not include core/engine.h"),
    ("upward: state includes script", "state/planted.h", '#include "script/run_context.h"', 1,
     "state/planted.h:2: state may not include script/run_context.h"),
    ("peers: extract includes conditions", "extract/planted.cpp", '#include "conditions/compare.h"', 1,
     "extract/planted.cpp:2: extract may not include conditions/compare.h"),
    ("toolkit sees only platform", "toolkit/planted.cpp", '#include "diag/install_log.h"', 1,
     "toolkit/planted.cpp:2: toolkit may not include diag/install_log.h"),
    ("only the windows use the toolkit", "actions/planted.cpp", '#include "toolkit/control.h"', 1,
     "actions/planted.cpp:2: actions may not include toolkit/control.h"),
    ("the windows are built on the toolkit", "ui/planted.cpp", '#include "toolkit/control.h"', 0, ""),
    ("downward is fine", "core/planted.cpp", '#include "platform/handles.h"', 0, ""),
    ("toolkit on platform is fine", "toolkit/planted.cpp", '#include "platform/handles.h"', 0, ""),
    ("third-party headers are not ranked", "extract/planted.cpp", '#include "CPP/Common/MyCom.h"', 0, ""),
]


def run(root):
    done = subprocess.run([sys.executable, CHECK, root], capture_output=True, text=True)
    return done.returncode, done.stdout.replace(os.sep, "/")


def main():
    failures = []
    code, out = run(SRC)
    if code != 0:
        failures.append(f"the tree itself fails:\n{out}")
    for name, path, line, want_code, want_text in CASES:
        with tempfile.TemporaryDirectory() as tmp:
            root = os.path.join(tmp, "src")
            shutil.copytree(SRC, root)
            planted = os.path.join(root, path)
            os.makedirs(os.path.dirname(planted), exist_ok=True)
            with open(planted, "w", encoding="utf-8") as f:
                f.write("// planted by the layering test\n" + line + "\n")
            code, out = run(root)
            if code != want_code or want_text not in out:
                failures.append(f"{name}: exit {code} (want {want_code}), report:\n{out}")
    for f in failures:
        print("FAIL", f)
    print(f"layering_test: {len(CASES) + 1 - len(failures)} of {len(CASES) + 1} cases pass")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
