#!/usr/bin/env python3
"""Fails when a GoogleTest program of the build holds a test that no ctest entry runs.

    check_test_registration.py --ctest CTEST --build-dir DIR --programs LIST [--emulator LAUNCHER]

LIST names one test program a line (written by kit_add_test_registration_check in
cmake/KitTests.cmake). Each program is asked for its tests (--gtest_list_tests, through LAUNCHER
for Windows programs); each ctest entry whose command names the program contributes its
--gtest_filter (none: every test). A test that no filter selects is reported, and so is a program
that no entry names at all. Exit status 0 when every test would run, 1 otherwise.
"""

import argparse
import fnmatch
import json
import subprocess
import sys


def registered_filters(ctest, build_dir):
    """Maps each program path found in a ctest command to the filters its entries use."""
    listing = subprocess.run(
        [ctest, "--test-dir", build_dir, "--show-only=json-v1"],
        check=True, capture_output=True, text=True, timeout=120).stdout
    filters = {}
    for test in json.loads(listing).get("tests", []):
        command = test.get("command", [])
        chosen = [arg[len("--gtest_filter="):] for arg in command if arg.startswith("--gtest_filter=")]
        for arg in command:
            filters.setdefault(arg, []).extend(chosen or ["*"])
    return filters


def listed_tests(program, emulator):
    """The full names (Suite.Test) the program reports."""
    command = ([emulator] if emulator else []) + [program, "--gtest_list_tests"]
    output = subprocess.run(command, check=True, capture_output=True, text=True, timeout=120).stdout
    tests, suite = [], None
    for line in output.replace("\r", "").splitlines():
        name = line.split("#", 1)[0].rstrip()
        if not name:
            continue
        if not line.startswith(" "):
            suite = name
        elif suite is not None:
            tests.append(suite + name.strip())
    return tests


def selects(gtest_filter, test):
    """GoogleTest's filter: positive patterns, then '-' and negative ones, each ':'-separated."""
    positive, _, negative = gtest_filter.partition("-")
    def any_match(patterns):
        return any(fnmatch.fnmatchcase(test, pattern) for pattern in patterns.split(":") if pattern)
    return any_match(positive or "*") and not any_match(negative)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--ctest", required=True)
    parser.add_argument("--build-dir", required=True)
    parser.add_argument("--programs", required=True)
    parser.add_argument("--emulator")
    args = parser.parse_args()

    filters = registered_filters(args.ctest, args.build_dir)
    with open(args.programs, encoding="utf-8") as listing:
        programs = [line.strip() for line in listing if line.strip()]

    problems = []
    for program in programs:
        if program not in filters:
            problems.append(f"{program}: no ctest entry runs this program")
            continue
        for test in listed_tests(program, args.emulator):
            if not any(selects(gtest_filter, test) for gtest_filter in filters[program]):
                problems.append(f"{program}: no ctest entry runs {test}")

    for problem in problems:
        print(problem, file=sys.stderr)
    if problems:
        print(f"{len(problems)} test(s) or program(s) would never run: register them with "
              "kit_add_test_suites (cmake/KitTests.cmake)", file=sys.stderr)
        return 1
    print(f"every test of {len(programs)} program(s) has a ctest entry")
    return 0


if __name__ == "__main__":
    sys.exit(main())
