"""Writes a generated source file, or checks that the committed one is up to date.

Shared by the generators under tools/: each makes the whole text of its file and
hands it here with --check or not.
"""

import os
import sys


def write_or_check(path, text, generator, check):
    """Exit status: 0 written or up to date, 1 out of date or not readable/writable."""
    if check:
        try:
            with open(path, encoding="utf-8") as handle:
                committed = handle.read()
        except OSError as error:
            print(f"cannot read {path}: {error}", file=sys.stderr)
            return 1
        if committed != text:
            print(f"{path} is out of date; run {generator}", file=sys.stderr)
            return 1
        return 0
    # Written beside the target and renamed, so a failed write leaves the old file whole.
    temporary = path + ".tmp"
    try:
        with open(temporary, "w", encoding="utf-8") as handle:
            handle.write(text)
        os.replace(temporary, path)
    except OSError as error:
        print(f"cannot write {path}: {error}", file=sys.stderr)
        return 1
    return 0
