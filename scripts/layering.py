#!/usr/bin/env python3
"""Checks that every #include "a/b.h" of src/ runs down the engine's layering.

A subsystem may include its own headers and those of any subsystem on a lower line; subsystems on
one line are peers and do not include each other. The toolkit stands beside the engine and sees only
the platform. Prints FILE:LINE for each include that runs against this and exits 1.
"""
import os
import re
import sys

# Top to bottom; this is the one place the layering is written.
LAYERS = [
    ["core"],        # entry, main flow: the composition root
    ["ui"],          # the installer's windows
    ["extension"],   # extension modules and their host services
    ["actions"],     # action handlers, the dispatcher and the stage runner
    ["conditions", "extract"],
    ["script"],      # loader, expansion, variables, languages
    ["state"],       # options, installer information, record tables, UI host and module-call interfaces
    ["diag"],        # the log
    ["platform"],    # Win32 wrappers, RAII owners, encoding
]
# Subsystems outside the engine's stack and what each may include besides itself.
SIDE = {"toolkit": {"platform"}}
# Which engine subsystems may use a side subsystem: the installer's windows are built on the toolkit.
SIDE_USERS = {"toolkit": {"ui"}}

INCLUDE = re.compile(r'^\s*#\s*include\s*"(([^"/]+)/[^"]*)"')


def rank_of(subsystem):
    for rank, line in enumerate(LAYERS):
        if subsystem in line:
            return rank
    return None


def allowed(source, target):
    if source == target:
        return True
    if source in SIDE:
        return target in SIDE[source]
    if target in SIDE:
        return source in SIDE_USERS.get(target, set())
    src_rank, dst_rank = rank_of(source), rank_of(target)
    if src_rank is None or dst_rank is None:
        return False
    return dst_rank > src_rank


def check(root):
    faults = []
    for folder, _, files in os.walk(root):
        for name in sorted(files):
            if not name.endswith((".h", ".cpp", ".c", ".hpp")):
                continue
            path = os.path.join(folder, name)
            rel = os.path.relpath(path, root).replace(os.sep, "/")
            source = rel.split("/")[0]
            if "/" not in rel:
                continue
            with open(path, encoding="utf-8", errors="replace") as f:
                for number, text in enumerate(f, 1):
                    m = INCLUDE.match(text)
                    if not m:
                        continue
                    header, target = m.group(1), m.group(2)
                    # Third-party headers (7-Zip's CPP/...) are not ours to rank.
                    if rank_of(target) is None and target not in SIDE:
                        continue
                    if not allowed(source, target):
                        faults.append(f"{path}:{number}: {source} may not include {header}")
    return faults


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "src")
    root = os.path.normpath(root)
    faults = check(root)
    for fault in faults:
        print(fault)
    if faults:
        print(f"layering: {len(faults)} include(s) against the layering", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
