#!/usr/bin/env python3
"""Fails when an #include or a script call crosses the Layout table (docs/developer.md) the
wrong way. The rules below are that table's "May include" column, folder by folder; the check
also fails when a folder of the table has no rule here, or a rule names a folder the table does
not have, so the two cannot drift apart.
  scripts/lib/check_layout.py [ROOT]
"""

import re
import subprocess
import sys
from pathlib import Path

PRODUCT = ("service_object/", "utility/", "tester/", "shared/", "sim/", "bridge/")
# The write time limit every serial layer keeps, on every platform.
LIMIT = "shared/serial_write_limit.h"
# What each folder's code may #include, as path prefixes (a folder includes its own files).
# The longest folder that holds a file decides.
INCLUDES = {
    "service_object/core": (),
    "service_object/win32": ("service_object/core/", "shared/win32/", LIMIT),
    "service_object/win32/com": ("service_object/win32/", "service_object/core/", "shared/win32/"),
    "service_object/posix": ("service_object/core/", "shared/posix/", LIMIT),
    "utility/core": (),
    # The console writes each language's text in the display's code page.
    "utility/cli": ("utility/core/", "service_object/core/code_page", "shared/utf8.h"),
    "utility/win32": ("utility/core/", "utility/cli/", "shared/win32/", LIMIT),
    "utility/posix": ("utility/core/", "utility/cli/", "shared/posix/", LIMIT),
    "tester/core": (),
    "tester/win32": ("tester/core/", "shared/win32/"),
    "shared": (),
    "shared/win32": (LIMIT,),
    "shared/posix": (LIMIT,),
    # The bridge drives the display with the service object's commands, code pages and writers.
    "bridge/core": ("service_object/core/", "shared/utf8.h"),
    "bridge/program": ("bridge/core/", "service_object/core/"),
    "bridge/posix": ("bridge/program/", "bridge/core/", "service_object/core/", "service_object/posix/",
                     "shared/posix/"),
    "bridge/win32": ("bridge/program/", "bridge/core/", "service_object/core/", "service_object/win32/",
                     "shared/win32/"),
    "sim/model": (),
    "sim/runtime": ("sim/model/", "shared/posix/"),
    "tests": PRODUCT + ("tests/support/", "tests/fixtures/"),
    "tests/support": PRODUCT + ("tests/fixtures/",),
    "tests/fixtures": PRODUCT,
    "tests/fixtures/control_object": ("service_object/win32/com/", "shared/win32/", "tests/support/"),
    "fuzz": ("service_object/core/", "sim/model/", "bridge/core/"),
    "bench": PRODUCT + ("tests/support/",),
}
# Folders whose files call or source scripts, and the folders whose scripts they may call.
SCRIPT_CALLS = {
    "cmake": ("scripts/",),
    "scripts": ("installer/", "tests/installer/"),
    "scripts/lib": ("scripts/",),
}
# Folders of the table that hold no C++ and call no script of another folder.
NEITHER = {"tests/scripts", "tests/installer", "tools/codepages", "tools/fontgen", "tools/icongen",
           "docs", "installer", "examples", "bridge/web", "packaging/debian"}

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')
# A path to a script of the tree: a call, a `source`, or a CMake COMMAND.
SCRIPT = re.compile(r"(?<![\w./-])(?:\$\{PROJECT_SOURCE_DIR\}/|\$root/|\"\$root/)?"
                    r"((?:cmake|scripts|tests|installer|tools)/[\w./-]+\.(?:sh|py))")
CODE = (".c", ".cpp", ".h", ".inc", ".rc", ".idl")


def table_folders(guide):
    """The folders the Layout table names in its first column."""
    text = guide.read_text(encoding="utf-8")
    section = text.split("## Layout", 1)[1].split("\n## ", 1)[0]
    folders = set()
    for line in section.splitlines():
        if line.startswith("| `"):
            first = line.split("|")[1]
            folders.update(f.rstrip("/") for f in re.findall(r"`([^`]+)`", first))
    return folders


def owner(path, rules):
    """The longest folder of `rules` that holds `path`, or None."""
    best = None
    for folder in rules:
        if path.startswith(folder + "/") and (best is None or len(folder) > len(best)):
            best = folder
    return best


def own_folder(path, folder):
    """What a file may include of its own: its folder's files, or for a test, its suite's folder
    (tests/<deliverable>/<folder>/), not another suite's."""
    if folder != "tests":
        return folder + "/"
    return "/".join(path.split("/")[:-1][:3]) + "/"


def main():
    root = Path(sys.argv[1] if len(sys.argv) > 1 else ".").resolve()
    files = subprocess.run(["git", "ls-files", "--cached", "--others", "--exclude-standard"], cwd=root, check=True, capture_output=True,
                           text=True).stdout.split()
    top = {name.split("/", 1)[0] for name in files if "/" in name}
    problems = []

    named = table_folders(root / "docs/developer.md")
    named = {f for f in named if "<" not in f}  # tests/<deliverable>/<folder> is the rule "tests"
    known = set(INCLUDES) | set(SCRIPT_CALLS) | NEITHER | {"bench/win32", "tests/sim/model",
                                                             "tests/sim/runtime", "tests/bridge/core",
                                                             "tests/bridge/e2e", "tests/bridge/browser",
                                                             "tests/package"}
    for folder in sorted(named - known):
        problems.append(f"docs/developer.md: Layout names {folder}, which has no rule in {__file__}")
    for folder in sorted(known - named - {"tests"}):
        problems.append(f"{__file__}: a rule for {folder}, which the Layout table does not name")

    for name in files:
        path = root / name
        if not path.is_file():
            continue  # deleted in the work tree, not yet in the index
        if name.endswith(CODE):
            folder = owner(name, INCLUDES)
            if folder is None:
                continue
            allowed = (own_folder(name, folder),) + INCLUDES[folder]
            for number, line in enumerate(path.read_text(encoding="utf-8", errors="replace").splitlines(), 1):
                match = INCLUDE.match(line)
                if not match or match.group(1).split("/", 1)[0] not in top:
                    continue  # the standard library, the platform, or a generated header
                if not match.group(1).startswith(allowed):
                    problems.append(f"{name}:{number}: {folder} may not include {match.group(1)}")
        elif name.endswith((".sh", ".py", ".cmake")) or name.endswith("CMakeLists.txt"):
            folder = owner(name, SCRIPT_CALLS)
            if folder is None:
                continue
            allowed = ("scripts/" if folder.startswith("scripts") else folder + "/",) + SCRIPT_CALLS[folder]
            for number, line in enumerate(path.read_text(encoding="utf-8", errors="replace").splitlines(), 1):
                if line.lstrip().startswith("#"):
                    continue
                for target in SCRIPT.findall(line):
                    if not target.startswith(allowed):
                        problems.append(f"{name}:{number}: {folder} may not call {target}")

    for problem in problems:
        print("layout:", problem, file=sys.stderr)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
