"""The Debian package of scripts/package-deb.sh, built from this build tree: unpacked into a
temporary root with dpkg -x, the installed bridge runs against the installed simulator; the
package holds what it says, and packaging the same build twice gives the same bytes. With
--lintian, lintian finds no error and no warning (exit 77, ctest's skip, when lintian is not
installed).

  deb_package_test.py --build-dir DIR [--lintian]
"""

import argparse
import gzip
import os
import shutil
import stat
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

SOURCE = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(SOURCE / "tests" / "bridge" / "e2e"))
import bridge_e2e_test as e2e  # noqa: E402

SKIPPED = 77
BUILD_DIR = ""
PACKAGE = "zorn-pole-display-kit"


def build_package(out, *extra):
    run = subprocess.run([str(SOURCE / "scripts" / "package-deb.sh"), "--build-dir", BUILD_DIR, "--out", str(out),
                          *extra], stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, timeout=600)
    if run.returncode != 0:
        raise AssertionError(f"package-deb.sh failed ({run.returncode}):\n{run.stdout}")
    (deb,) = Path(out).glob(f"{PACKAGE}_*.deb")
    return deb


class DebPackageTest(unittest.TestCase):
    def setUp(self):
        temp = tempfile.TemporaryDirectory()
        self.addCleanup(temp.cleanup)
        self.temp = Path(temp.name)

    def test_installed_bridge_serves_the_installed_simulator(self):
        deb = build_package(self.temp / "out", "--no-lintian")
        again = build_package(self.temp / "again", "--no-lintian")
        self.assertEqual(deb.read_bytes(), again.read_bytes(), "two builds of the package differ")

        root = self.temp / "root"
        subprocess.run(["dpkg", "-x", str(deb), str(root)], check=True)
        control = subprocess.run(["dpkg-deb", "-f", str(deb)], check=True, capture_output=True, text=True).stdout
        self.assertIn("libpng", control)  # the simulator's picture: a Depends from the linked libraries
        doc = root / "usr/share/doc" / PACKAGE
        for program in ("zorn-display-bridge", "zorn-utility-cli", "pole_display_sim"):
            mode = (root / "usr/bin" / program).stat().st_mode
            self.assertTrue(mode & stat.S_IXOTH, program)
            usage = subprocess.run([str(root / "usr/bin" / program), "--help"], capture_output=True, text=True,
                                   timeout=e2e.WAIT)
            self.assertEqual((usage.returncode, usage.stdout.lower().count(f"usage: {program}")), (0, 1), program)
            page = gzip.decompress((root / f"usr/share/man/man1/{program}.1.gz").read_bytes()).decode()
            self.assertIn(f".SH NAME\n{program} ", page)
        self.assertIn("SYMLINK+=\"pole-display\"", (doc / "examples/99-pole-display.rules").read_text())
        self.assertIn("Files: *", (doc / "copyright").read_text())

        # The unit runs the installed program with the options of the installed default file.
        unit = (root / "lib/systemd/system/zorn-display-bridge.service").read_text()
        self.assertIn("EnvironmentFile=/etc/default/zorn-display-bridge", unit)
        self.assertIn("ExecStart=/usr/bin/zorn-display-bridge $ZORN_DISPLAY_BRIDGE_OPTIONS", unit)
        defaults = (root / "etc/default/zorn-display-bridge").read_text()
        options = next(line.split("=", 1)[1].strip('"') for line in defaults.splitlines()
                       if line.startswith("ZORN_DISPLAY_BRIDGE_OPTIONS="))

        # The installed programs, the default options with the display's port moved to the simulator.
        e2e.BRIDGE = str(root / "usr/bin/zorn-display-bridge")
        e2e.SIMULATOR = str(root / "usr/bin/pole_display_sim")
        (self.temp / "sim").mkdir()
        sim = e2e.Simulator(self.temp / "sim")
        self.addCleanup(sim.stop)
        arguments = options.replace("/dev/pole-display", str(sim.port)).split()
        arguments = [a for a in arguments if a != "--listen" and not a.startswith("127.0.0.1:8765")]
        bridge = e2e.Bridge(*arguments)
        self.addCleanup(bridge.stop)
        lines = ["Größe 5 €", "installed"]
        self.assertEqual(bridge.request("PUT", "/v1/displays/front/lines", {"lines": lines})[0], 204)
        expected = [e2e.padded(lines[0], "cp858"), e2e.padded(lines[1], "ascii")]
        self.assertEqual(sim.wait_rows(expected), expected)
        self.assertEqual(bridge.stop(), 0)

    def test_lintian_finds_no_error_or_warning(self):
        if not LINTIAN:
            self.skipTest("run with --lintian")
        build_package(self.temp / "out")  # fails with lintian's report on an error or a warning


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--build-dir", required=True)
    parser.add_argument("--lintian", action="store_true")
    args, rest = parser.parse_known_args()
    BUILD_DIR = os.path.abspath(args.build_dir)
    LINTIAN = args.lintian
    if LINTIAN and not shutil.which("lintian"):
        print("lintian is not installed: skipped (scripts/setup.sh installs it)")
        sys.exit(SKIPPED)
    unittest.main(argv=[sys.argv[0], *rest])
