"""The setup program under Wine, in a prefix of its own, as an integrator and a roll-out tool use
it: silent installation, the sample OPOS application through the 32-bit and the 64-bit script
host against the display simulator, an update in place, removal, and the refusals.

Run by tests/installer/run.sh, which builds what the tests need and passes it in the environment:
  KIT_PREFIX             the Wine prefix (made by scripts/wine-prefix.sh, nothing installed yet)
  KIT_SETUP              the setup program under test
  KIT_STAGE              the folder it was built from (x86/ and x64/)
  KIT_BROKEN_SETUPS      setup programs whose 32-bit or 64-bit library cannot be loaded, as
                         "32=PATH,64=PATH" (32 is left out where 32-bit programs cannot run)
  KIT_VEHICLE            "1" when KIT_SETUP is the 64-bit build of the script, for machines that
                         cannot run 32-bit programs: the 32-bit library is then not registered
  KIT_PAGE_DRIVER        settings_page_driver.exe, which works the settings page from outside
  KIT_SIM_COM7_TRACE, KIT_SIM_COM12_TRACE   traces of the simulators (scripts/with-simulator.sh),
                         for the test that runs the sample
  KIT_UPDATE_SETUP, KIT_UPDATE_STAGE, KIT_UPDATE_VERSION   a setup program of the next version
                         whose files all differ from KIT_STAGE's, the folder it was built from,
                         and its version
  KIT_LIBRARY_HOLDER     library_holder.exe, which keeps a library loaded as a POS application does
  KIT_FOLDER_SECURITY    folder_security.exe, which reads a security descriptor as Windows does
  KIT_RUNNABLE_BRIDGE    zorn-display-bridge.exe of the setup program's word size, which the
                         Bridge test runs as the installed service
"""

import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import unittest
from pathlib import Path

from wine_prefix import WinePrefix, windows_path

REPO = Path(__file__).resolve().parents[2]
SAMPLE = REPO / "examples" / "price_display.vbs"
EXPECTED_TRACE = Path(__file__).resolve().parent / "price_display.expected"

INSTALL_FOLDER = "Program Files (x86)/OPOSLD_SETUP"
INSTALL_DIR = "C:\\Program Files (x86)\\OPOSLD_SETUP"
START_MENU_FOLDER = "ProgramData/Microsoft/Windows/Start Menu/Programs/Zorn Pole Display"
PROGID = "VARNEL.ID_TARVO_VARNEL"
# Where each registry view lives in the machine's registry file.
VIEW_ROOT = {32: "Software\\Wow6432Node", 64: "Software"}
OPOS_CHAIN = "OLEforRetail\\ServiceOPOS\\LineDisplay"
UNINSTALL_KEY = "Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\OPOSLD_SETUP"

BRIDGE_PROGRAM = "zorn-display-bridge.exe"
BRIDGE_SERVICE_KEY = "System\\CurrentControlSet\\Services\\zorn-display-bridge"

SETUP_REFUSED = 3
SETUP_FAILED = 4
RESTART_NEEDED = 3010
# The library a running POS application of the setup program's word size has loaded.
HELD_LIBRARY = {False: "VARNEL.dll", True: "x64/VARNEL.dll"}


def guids_of_the_library():
    """The CLSID, LIBID, IID and AppID of VARNEL.dll, read from the header that fixes them."""
    text = (REPO / "service_object" / "win32" / "com" / "guids.h").read_text()
    guids = {}
    for name, parts in re.findall(r"constexpr \w+ (k\w+) = \{([^;]+)\};", text):
        numbers = [int(n, 16) for n in re.findall(r"0x([0-9A-Fa-f]+)", parts)]
        if len(numbers) == 11:
            head = f"{numbers[0]:08X}-{numbers[1]:04X}-{numbers[2]:04X}"
            tail = "".join(f"{n:02X}" for n in numbers[3:])
            guids[name] = "{" + f"{head}-{tail[:4]}-{tail[4:]}" + "}"
    return guids


GUIDS = guids_of_the_library()
# The keys that registration of the library may write, in either view's classes.
REGISTRATION_KEY = re.compile(
    r"^HKLM [KV] Software\\Classes\\(Wow6432Node\\)?("
    + "|".join(re.escape(k) for k in [
        "CLSID\\" + GUIDS["kClassId"], PROGID, "TypeLib\\" + GUIDS["kTypeLibraryId"],
        "Interface\\" + GUIDS["kDispatchInterfaceId"], "AppID\\" + GUIDS["kAppId"], "AppID\\VARNEL.DLL"])
    + r")(\\| \||$)", re.IGNORECASE)


def environment_list(name):
    value = os.environ.get(name, "")
    return dict(item.split("=", 1) for item in value.split(",") if item)


class Installation:
    """What one installation must add to the prefix, and nothing more."""

    def __init__(self, setup_test, device, port, speed, created=("SOFTWARE\\OLEforRetail",) * 2, version=None,
                 stage=None):
        self.t = setup_test
        self.device, self.port, self.speed = device, port, speed
        self.created = dict(zip((32, 64), created))
        self.version = version or setup_test.version
        self.stage = stage or setup_test.stage

    def opos_and_uninstall_lines(self):
        lines = set()
        for bits, root in VIEW_ROOT.items():
            # The keys of the chain from the first one the installation had to create.
            chain = OPOS_CHAIN.split("\\")
            if self.created[bits]:
                first = len(self.created[bits].split("\\")) - 1
                lines |= {f"HKLM K {root}\\" + "\\".join(chain[:n]) for n in range(first, len(chain) + 1)}
            key = f"{root}\\{OPOS_CHAIN}\\{self.device}"
            lines |= {f"HKLM K {key}", f"HKLM V {key} | @ = sz:{PROGID}",
                      f"HKLM V {key} | Comport = sz:{self.port}", f"HKLM V {key} | Baudrate = sz:{self.speed}"}
        values = {
            "CreatedOposKey32": f"sz:{self.created[32]}", "CreatedOposKey64": f"sz:{self.created[64]}",
            "BridgeStart": "sz:", "DeviceName": f"sz:{self.device}", "DisplayName": "sz:Zorn Pole Display Kit",
            "DisplayVersion": f"sz:{self.version}", "InstallLocation": f"sz:{INSTALL_DIR}",
            "NoModify": "dword:00000001", "NoRepair": "dword:00000001", "Publisher": "sz:Zorn Display Systems",
            "QuietUninstallString": f'sz:"{INSTALL_DIR}\\Uninstall.exe" /S',
            "UninstallString": f'sz:"{INSTALL_DIR}\\Uninstall.exe"',
        }
        lines.add(f"HKLM K {UNINSTALL_KEY}")
        lines |= {f"HKLM V {UNINSTALL_KEY} | {name} = {data}" for name, data in values.items()}
        return lines

    def required_registration_lines(self):
        lines = {f"HKLM V Software\\Classes\\{PROGID}\\CLSID | @ = sz:{GUIDS['kClassId']}",
                 f"HKLM V Software\\Classes\\CLSID\\{GUIDS['kClassId']}\\InprocServer32 | @ = "
                 f"sz:{INSTALL_DIR}\\x64\\VARNEL.dll"}
        if not self.t.vehicle:
            lines.add(f"HKLM V Software\\Classes\\Wow6432Node\\CLSID\\{GUIDS['kClassId']}\\InprocServer32 | @ = "
                      f"sz:{INSTALL_DIR}\\VARNEL.dll")
        return lines

    def file_paths(self):
        programs = ["VARNEL.dll", "ZornTest.exe", "Zorn_Utility.exe", "zorn-utility-cli.exe"]
        paths = {f"D {INSTALL_FOLDER}", f"D {INSTALL_FOLDER}/x64", f"D {START_MENU_FOLDER}",
                 f"F {INSTALL_FOLDER}/x64/VARNEL.dll", f"F {INSTALL_FOLDER}/DeviceName.txt",
                 f"F {INSTALL_FOLDER}/Uninstall.exe", f"F {START_MENU_FOLDER}/Uninstall.lnk",
                 f"F {START_MENU_FOLDER}/zorn-utility-cli.lnk"}
        paths |= {f"F {INSTALL_FOLDER}/{name}" for name in programs}
        shortcuts = {"Zorn_Utility.exe": "Zorn Utility.lnk", "ZornTest.exe": "ZornTest.lnk"}
        paths |= {f"F {START_MENU_FOLDER}/{link}" for link in shortcuts.values()}
        return paths

    def check(self, before, after):
        """The prefix holds exactly `before` plus this installation."""
        added, removed = before.changes_to(after)
        self.t.assertEqual(removed, [], "the installation changed or removed what was there before")
        registry = {line for line in added if not line.startswith("drive_c ")}
        files = {re.sub(r"^drive_c (\w) (.*?)( size=.*)?$", r"\1 \2", line) for line in added if line.startswith("drive_c ")}

        expected = self.opos_and_uninstall_lines()
        opos = {line for line in registry if "OLEforRetail" in line or "OPOSLD_SETUP" in line.split(" | ")[0]}
        self.t.assertEqual(sorted(opos), sorted(expected), "OPOS device keys and uninstall entry")
        registration = registry - opos
        self.t.assertEqual(sorted(line for line in registration if not REGISTRATION_KEY.match(line)), [],
                           "registry entries that are neither the device nor the library's registration")
        self.t.assertEqual(sorted(self.required_registration_lines() - registration), [],
                           "each library registered in its own view, from its installed file")
        self.t.assertEqual(sorted(files), sorted(self.file_paths()), "files and folders added")

        folder = self.t.prefix.drive_c / INSTALL_FOLDER
        self.t.assertEqual((folder / "DeviceName.txt").read_bytes(), self.device.encode("ascii"),
                           "the device-name file holds the name alone, with no line end")
        for staged in (self.stage / "x86").iterdir():
            if staged.name == BRIDGE_PROGRAM:  # an optional component (the Bridge group)
                continue
            self.t.assertEqual((folder / staged.name).read_bytes(), staged.read_bytes(), staged.name)
        self.t.assertEqual((folder / "x64" / "VARNEL.dll").read_bytes(),
                           (self.stage / "x64" / "VARNEL.dll").read_bytes(), "x64/VARNEL.dll")


class SetupTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.prefix = WinePrefix(os.environ["KIT_PREFIX"], vehicle=os.environ.get("KIT_VEHICLE") == "1")
        cls.vehicle = cls.prefix.vehicle
        cls.setup = Path(os.environ["KIT_SETUP"])
        cls.stage = Path(os.environ["KIT_STAGE"])
        cls.version = (REPO / "VERSION").read_text().strip()
        cls.script_hosts = (64,) if cls.vehicle else (32, 64)
        # Windows always has the uninstall entries' key in both views; a fresh prefix may lack the
        # 32-bit one, which would then stay behind after a removal as if the kit had left it.
        cls.prefix.run(["reg", "add", "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall", "/f", "/reg:32"])

    def run_setup(self, args, setup=None):
        started = time.monotonic()
        done = self.prefix.run_image(setup or self.setup, args)
        return done, time.monotonic() - started

    def install(self, device, port, speed):
        done, seconds = self.run_setup(["/S", f"/DEVICE={device}", f"/PORT={port}", f"/BAUD={speed}"])
        self.assertEqual(done.returncode, 0, f"silent installation failed: {done.stderr}")
        return seconds

    def uninstall(self):
        """Runs the uninstaller as the uninstall entry names it; it hands over to a copy of itself
        in the scratch folder and returns at once, so the removal is over when the prefix is idle."""
        started = time.monotonic()
        done = self.prefix.run([f"{INSTALL_DIR}\\Uninstall.exe", "/S"])
        self.prefix.wait_until_idle()
        self.assertEqual(done.returncode, 0, done.stderr)
        return time.monotonic() - started

    def reg_add(self, key, view, name, data, kind="REG_SZ"):
        value = ["/ve"] if name == "" else ["/v", name]
        done = self.prefix.run(["reg", "add", f"HKLM\\{key}", *value, "/t", kind, "/d", data, "/f", view])
        self.assertEqual(done.returncode, 0, done.stdout + done.stderr)

    def remove_for_exit_code(self):
        """Runs a copy of the uninstaller from the scratch folder on the installation folder
        (_?=), as a roll-out tool does to learn removal's exit code: the uninstaller started
        in place hands over to such a copy and ends at once with 0."""
        scratch = self.prefix.drive_c / "windows" / "temp" / "kit-removal"
        scratch.mkdir(parents=True, exist_ok=True)
        copy = scratch / "Uninstall.exe"
        shutil.copyfile(self.prefix.drive_c / INSTALL_FOLDER / "Uninstall.exe", copy)
        return self.prefix.run_for_exit_code(copy, ["/S", f"_?={INSTALL_DIR}"])

    def uninstall_entry(self):
        """The uninstall entry's values as `reg query` lists them ("" when there is no entry)."""
        done = self.prefix.run(["reg", "query", "HKLM\\" + UNINSTALL_KEY.replace("Wow6432Node\\", ""), "/reg:32"])
        return done.stdout if done.returncode == 0 else ""

    def hold_library(self):
        """Starts a program that keeps the installed library of the setup program's word size
        loaded; answers a function that lets it go and waits for it to end."""
        release = Path(tempfile.mkdtemp(prefix="kit-release-")) / "release"
        library = INSTALL_DIR + "\\" + HELD_LIBRARY[self.vehicle].replace("/", "\\")
        holder = self.prefix.start_image(Path(os.environ["KIT_LIBRARY_HOLDER"]), [library, windows_path(release)])
        self.assertEqual(holder.stdout.readline().strip(), "loaded", "the library holder did not load the library")

        def let_go():
            if holder.poll() is None:
                release.write_text("")
            try:
                holder.communicate(timeout=60)
            except subprocess.TimeoutExpired:
                holder.kill()
                holder.communicate()
            shutil.rmtree(release.parent, ignore_errors=True)
        self.addCleanup(let_go)
        return let_go


class Lifecycle(SetupTest):
    def run_sample(self, bits, device, port, trace_file):
        """Runs the sample through the script host of `bits`. Meanwhile the other registry view
        names a port with no display, so the sample reaches the display only if the service
        object of that word size reads its own view."""
        trace = Path(trace_file)
        first = len(trace.read_text().splitlines())
        key = f"SOFTWARE\\{OPOS_CHAIN}\\{device}"
        other_view = "/reg:64" if bits == 32 else "/reg:32"
        self.reg_add(key, other_view, "Comport", "13")
        try:
            done = self.prefix.cscript(bits, SAMPLE)
        finally:
            self.reg_add(key, other_view, "Comport", str(port))
        # The script host answers 0 even when a script stops on an error: its last line tells.
        self.assertIn("price display: done", done.stdout, f"{bits}-bit sample: {done.stdout}{done.stderr}")
        expected = EXPECTED_TRACE.read_text().splitlines()
        received = []
        deadline = time.monotonic() + 30
        while len(received) < len(expected) and time.monotonic() < deadline:
            received = trace.read_text().splitlines()[first:]
            time.sleep(0.05)
        self.assertEqual(received, expected, f"bytes on the line from the {bits}-bit sample")

    def warm_up_script_hosts(self):
        """Wine registers some of its own script libraries when a script host first runs; that
        belongs to the prefix, not to the installation."""
        script = self.prefix.path / "kit-warm-up.vbs"
        script.write_text('WScript.Echo "ready"\r\n')
        for bits in self.script_hosts:
            self.assertIn("ready", self.prefix.cscript(bits, script).stdout)
        script.unlink()

    def test_install_run_update_and_remove(self):
        self.warm_up_script_hosts()
        before = self.prefix.snapshot()

        seconds = self.install("Front Pole", 7, 9600)
        print(f"silent installation: {seconds:.1f} s")
        Installation(self, "Front Pole", 7, 9600).check(before, self.prefix.snapshot())
        for bits in self.script_hosts:
            self.run_sample(bits, "Front Pole", 7, os.environ["KIT_SIM_COM7_TRACE"])

        seconds = self.install("Back", 12, 9600)
        print(f"update in place: {seconds:.1f} s")
        Installation(self, "Back", 12, 9600).check(before, self.prefix.snapshot())
        for bits in self.script_hosts:
            self.run_sample(bits, "Back", 12, os.environ["KIT_SIM_COM12_TRACE"])

        seconds = self.uninstall()
        print(f"silent removal: {seconds:.1f} s (until every program of the prefix has ended)")
        added, removed = before.changes_to(self.prefix.snapshot())
        self.assertEqual((added, removed), ([], []), "removal leaves the registry and drive_c as they were")


class Refusals(SetupTest):
    BAD_SETTINGS = [
        ("port 0", ["/DEVICE=Pole", "/PORT=0", "/BAUD=9600"], "COM port must be a number from 1 to 256"),
        ("port 257", ["/DEVICE=Pole", "/PORT=257", "/BAUD=9600"], "COM port must be a number from 1 to 256"),
        ("port with a leading zero", ["/DEVICE=Pole", "/PORT=07", "/BAUD=9600"], "COM port must be a number"),
        ("port given as a name", ["/DEVICE=Pole", "/PORT=COM3", "/BAUD=9600"], "COM port must be a number"),
        ("name with a backslash", ["/DEVICE=Front\\Pole", "/PORT=3", "/BAUD=9600"], "must not contain a backslash"),
        ("empty name", ["/DEVICE=", "/PORT=3", "/BAUD=9600"], "device name is empty"),
        ("name too long for the key path", ["/DEVICE=" + "N" * 42, "/PORT=3", "/BAUD=9600"], "at most 41"),
        ("name ending in a blank", ["/DEVICE=Pole ", "/PORT=3", "/BAUD=9600"], "begin or end with a blank"),
        ("speed not in the list", ["/DEVICE=Pole", "/PORT=3", "/BAUD=4800"], "line speed must be one of"),
        ("speed with trailing text", ["/DEVICE=Pole", "/PORT=3", "/BAUD=9600x"], "line speed must be one of"),
        ("speed missing", ["/DEVICE=Pole", "/PORT=3"], "needs /BAUD="),
        ("mistyped option", ["/DEVICE=Pole", "/PROT=3", "/PORT=3", "/BAUD=9600"], "Unknown option: /PROT=3"),
        ("installation folder", ["/DEVICE=Pole", "/PORT=3", "/BAUD=9600", "/D=C:\\Elsewhere"], "cannot be chosen"),
        ("bridge start not offered", ["/DEVICE=Pole", "/PORT=3", "/BAUD=9600", "/BRIDGE=always"],
         "/BRIDGE takes manual or auto"),
    ]

    def test_bad_settings_are_refused_and_change_nothing(self):
        before = self.prefix.snapshot()
        for case, args, message in self.BAD_SETTINGS:
            with self.subTest(case):
                done, _ = self.run_setup(["/S", *args])
                self.assertEqual(done.returncode, SETUP_REFUSED, done.stderr)
                self.assertIn(message, done.stderr)
        # A refusal cannot undo another one's change, so one comparison covers them all.
        self.assertEqual(before.changes_to(self.prefix.snapshot()), ([], []), "a refused run changed the prefix")

    def test_failed_registration_is_reported_and_undone(self):
        broken = environment_list("KIT_BROKEN_SETUPS")
        self.assertTrue(broken, "KIT_BROKEN_SETUPS names no setup program")
        before = self.prefix.snapshot()
        for bits, setup in sorted(broken.items()):
            with self.subTest(f"{bits}-bit library"):
                done, _ = self.run_setup(["/S", "/DEVICE=Pole", "/PORT=3", "/BAUD=9600"], setup=setup)
                self.assertEqual(done.returncode, SETUP_FAILED, done.stderr)
                self.assertIn(f"The {bits}-bit VARNEL.dll could not be registered", done.stderr)
                self.assertIn("Setup has removed what it installed", done.stderr)
                self.assertEqual(before.changes_to(self.prefix.snapshot()), ([], []),
                                 "a failed installation left something behind")

    def test_other_opos_entries_are_left_alone(self):
        # Another LineDisplay device in the 32-bit view; in the 64-bit view another device class,
        # so that there the installation has to create only the LineDisplay key. The prefix is
        # fresh: the OPOS keys are the test's own, and go again after it.
        for view in ("/reg:32", "/reg:64"):
            self.addCleanup(self.prefix.run, ["reg", "delete", "HKLM\\SOFTWARE\\OLEforRetail", "/f", view])
        self.reg_add(f"SOFTWARE\\{OPOS_CHAIN}\\OtherPole", "/reg:32", "Comport", "2")
        self.reg_add("SOFTWARE\\OLEforRetail\\ServiceOPOS\\POSPrinter\\Printer", "/reg:64", "Comport", "1")
        before = self.prefix.snapshot()

        self.install("Pole", 3, 19200)
        created = ("", f"SOFTWARE\\{OPOS_CHAIN}")
        Installation(self, "Pole", 3, 19200, created=created).check(before, self.prefix.snapshot())
        self.uninstall()
        self.assertEqual(before.changes_to(self.prefix.snapshot()), ([], []),
                         "removal touched OPOS entries that were there before")


class DeviceOwners(SetupTest):
    """Device keys of other service objects, and values others add to ours."""
    FOREIGN = "Other.LineDisplay.1"

    def device_key(self, name):
        return f"SOFTWARE\\{OPOS_CHAIN}\\{name}"

    def tearDown(self):
        for view in ("/reg:32", "/reg:64"):
            self.prefix.run(["reg", "delete", "HKLM\\SOFTWARE\\OLEforRetail", "/f", view])

    def test_another_service_objects_key_is_replaced_only_when_asked_and_restored(self):
        key = self.device_key("Pole")
        for view in ("/reg:32", "/reg:64"):
            self.reg_add(key, view, "", self.FOREIGN)
            self.reg_add(key, view, "Comport", "COM2")
            self.reg_add(key, view, "Baudrate", "9600", kind="REG_DWORD")
            self.reg_add(key, view, "Vendor", "theirs")
        before = self.prefix.snapshot()
        settings = ["/S", "/DEVICE=Pole", "/PORT=3", "/BAUD=19200"]

        done, _ = self.run_setup(settings)
        self.assertEqual(done.returncode, SETUP_REFUSED, done.stderr)
        self.assertIn(f'belongs to another service object (ProgID "{self.FOREIGN}")', done.stderr)
        self.assertIn("/REPLACE", done.stderr)
        self.assertEqual(before.changes_to(self.prefix.snapshot()), ([], []), "a refusal changed the prefix")

        done, _ = self.run_setup([*settings, "/REPLACE"])
        self.assertEqual(done.returncode, 0, done.stderr)
        added, removed = before.changes_to(self.prefix.snapshot())
        ours = {f"HKLM V {VIEW_ROOT[bits]}\\{OPOS_CHAIN}\\Pole | {name} = {data}"
                for bits in VIEW_ROOT for name, data in (("@", f"sz:{PROGID}"), ("Comport", "sz:3"),
                                                         ("Baudrate", "sz:19200"))}
        theirs = {f"HKLM V {VIEW_ROOT[bits]}\\{OPOS_CHAIN}\\Pole | {name} = {data}"
                  for bits in VIEW_ROOT for name, data in (("@", f"sz:{self.FOREIGN}"), ("Comport", "sz:COM2"),
                                                           ("Baudrate", "dword:00002580"))}
        self.assertEqual(sorted(removed), sorted(theirs), "the values replaced, and only those")
        self.assertEqual(sorted(ours - set(added)), [], "the installation's values")
        for bits in VIEW_ROOT:
            saved = f"{UNINSTALL_KEY}\\Replaced{bits}"
            self.assertEqual(sorted(line for line in added if line.startswith(f"HKLM V {saved} ")), sorted([
                f"HKLM V {saved} | @ = sz:{self.FOREIGN}", f"HKLM V {saved} | Comport = sz:COM2",
                f"HKLM V {saved} | Baudrate = dword:00002580",
                f"HKLM V {saved} | DeviceKey = sz:SOFTWARE\\{OPOS_CHAIN}\\Pole"]), "the saved values")

        # A value added meanwhile stays; the rest is as before the installation.
        self.reg_add(key, "/reg:32", "AddedLater", "kept")
        self.uninstall()
        self.assertEqual(before.changes_to(self.prefix.snapshot()),
                         ([f"HKLM V {VIEW_ROOT[32]}\\{OPOS_CHAIN}\\Pole | AddedLater = sz:kept"], []))

    def test_removal_takes_only_what_the_installation_wrote(self):
        before = self.prefix.snapshot()
        self.install("Pole", 3, 9600)
        # In the 64-bit view someone adds a value to our key; in the 32-bit view another service
        # object takes the key over.
        self.reg_add(self.device_key("Pole"), "/reg:64", "AddedLater", "kept")
        self.reg_add(self.device_key("Pole"), "/reg:32", "", self.FOREIGN)
        self.uninstall()
        added, removed = before.changes_to(self.prefix.snapshot())
        self.assertEqual(removed, [])
        chain = [f"HKLM K {root}\\" + "\\".join(OPOS_CHAIN.split("\\")[:n]) for root in VIEW_ROOT.values()
                 for n in (1, 2, 3)]
        self.assertEqual(added, sorted(chain + [
            f"HKLM K {VIEW_ROOT[64]}\\{OPOS_CHAIN}\\Pole", f"HKLM V {VIEW_ROOT[64]}\\{OPOS_CHAIN}\\Pole | AddedLater = sz:kept",
            f"HKLM K {VIEW_ROOT[32]}\\{OPOS_CHAIN}\\Pole", f"HKLM V {VIEW_ROOT[32]}\\{OPOS_CHAIN}\\Pole | @ = sz:{self.FOREIGN}",
            f"HKLM V {VIEW_ROOT[32]}\\{OPOS_CHAIN}\\Pole | Comport = sz:3",
            f"HKLM V {VIEW_ROOT[32]}\\{OPOS_CHAIN}\\Pole | Baudrate = sz:9600"]))


class FolderSecurity(SetupTest):
    """Wine keeps no security descriptor on files (read back, a folder shows Wine's own), so the
    test checks what the setup program hands to the security API, and what Windows' own parser
    makes of it."""
    SDDL_CALL = re.compile(r'Call advapi32\.ConvertStringSecurityDescriptorToSecurityDescriptorW\([0-9a-f]+ L"([^"]*)",'
                           r'00000001,')
    APPLY_CALL = re.compile(r'Call advapi32\.SetNamedSecurityInfoW\([0-9a-f]+ L"([^"]*)",([0-9a-f]+),([0-9a-f]+),'
                            r'([0-9a-f]+),([0-9a-f]+),([0-9a-f]+),([0-9a-f]+)\)')
    # What the folder must carry: owner, protection, and each entry (all inherited by what is inside).
    INTENDED = [
        "owner S-1-5-32-544",  # Administrators
        "protected yes",
        "allow S-1-5-18 mask=0x001f01ff inherit=OICI",  # SYSTEM: full control
        "allow S-1-5-32-544 mask=0x001f01ff inherit=OICI",  # Administrators: full control
        "allow S-1-5-32-545 mask=0x001200a9 inherit=OICI",  # Users: read and execute
        "allow S-1-5-11 mask=0x001200a9 inherit=OICI",  # Authenticated Users: read and execute
    ]

    def test_the_folder_gets_the_intended_descriptor(self):
        relay = "HKCU\\Software\\Wine\\Debug"
        functions = "advapi32.ConvertStringSecurityDescriptorToSecurityDescriptorW;advapi32.SetNamedSecurityInfoW"
        self.prefix.run(["reg", "add", relay, "/v", "RelayInclude", "/d", functions, "/f"])
        self.addCleanup(self.prefix.run, ["reg", "delete", relay, "/v", "RelayInclude", "/f"])
        before = self.prefix.snapshot()
        done = self.prefix.run([str(self.setup), "/S", "/DEVICE=Pole", "/PORT=3", "/BAUD=9600"],
                               loader=self.prefix.loader_for(self.setup), debug="+relay")
        self.assertEqual(done.returncode, 0, done.stderr[-2000:])
        lines = done.stderr.splitlines()

        def returned(function):
            found = [line for line in lines if f"Ret  advapi32.{function}()" in line]
            self.assertEqual(len(found), 1, f"{function} is called once")
            return re.search(r"retval=([0-9a-f]+)", found[0]).group(1)

        sddl = [m.group(1) for m in map(self.SDDL_CALL.search, lines) if m]
        self.assertEqual(len(sddl), 1, "the descriptor is built once, from its text")
        self.assertNotEqual(int(returned("ConvertStringSecurityDescriptorToSecurityDescriptorW"), 16), 0)
        described = self.prefix.run_image(Path(os.environ["KIT_FOLDER_SECURITY"]), ["describe", sddl[0]])
        self.assertEqual(described.stdout.splitlines(), self.INTENDED, described.stderr)

        applied = [m.groups() for m in map(self.APPLY_CALL.search, lines) if m]
        self.assertEqual(len(applied), 1)
        path, kind, what, owner, group, dacl, sacl = applied[0]
        self.assertEqual(path.replace("\\\\", "\\"), INSTALL_DIR)
        # A file object; owner, access list, and protection from inheritance; both given.
        self.assertEqual((int(kind, 16), int(what, 16)), (1, 0x80000005))
        self.assertTrue(int(owner, 16) and int(dacl, 16) and not int(group, 16) and not int(sacl, 16))
        self.assertEqual(int(returned("SetNamedSecurityInfoW"), 16), 0, "the system took the descriptor")
        Installation(self, "Pole", 3, 9600).check(before, self.prefix.snapshot())
        self.uninstall()
        self.assertEqual(before.changes_to(self.prefix.snapshot()), ([], []))


class InUse(SetupTest):
    """Updates and removal while a running program has the installed library loaded."""

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.update_setup = Path(os.environ["KIT_UPDATE_SETUP"])
        cls.update_stage = Path(os.environ["KIT_UPDATE_STAGE"])
        cls.update_version = os.environ["KIT_UPDATE_VERSION"]

    def installed(self, relative):
        return (self.prefix.drive_c / INSTALL_FOLDER / relative).read_bytes()

    def test_update_completes_at_the_restart(self):
        before = self.prefix.snapshot()
        self.install("Pole", 3, 9600)
        held = HELD_LIBRARY[self.vehicle]
        let_go = self.hold_library()

        code, errors = self.prefix.run_for_exit_code(self.update_setup, ["/S"])
        self.assertEqual(code, RESTART_NEEDED, errors)
        self.assertIn("The new version is complete after the restart.", errors)
        self.assertIn(INSTALL_DIR + "\\" + held.replace("/", "\\"), errors)
        # Until the restart the held library is the old one; the rest is the new version, and
        # the uninstall entry shows the version that runs.
        slot = "x64/VARNEL.dll" if self.vehicle else "x86/VARNEL.dll"
        self.assertEqual(self.installed(held), (self.stage / slot).read_bytes(), "the held library stays until the restart")
        self.assertEqual(self.installed("ZornTest.exe"), (self.update_stage / "x86" / "ZornTest.exe").read_bytes())
        entry = self.uninstall_entry()
        self.assertRegex(entry, rf"DisplayVersion\s+REG_SZ\s+{re.escape(self.version)}\n")
        self.assertRegex(entry, rf"VersionAfterRestart\s+REG_SZ\s+{re.escape(self.update_version)}\n")

        let_go()
        self.prefix.restart()
        self.assertEqual(self.installed(held), (self.update_stage / slot).read_bytes(), "replaced at the restart")
        # Run again after the restart, the update finds nothing in use and the entry shows it.
        code, errors = self.prefix.run_for_exit_code(self.update_setup, ["/S"])
        self.assertEqual(code, 0, errors)
        Installation(self, "Pole", 3, 9600, version=self.update_version, stage=self.update_stage).check(
            before, self.prefix.snapshot())
        self.uninstall()
        self.assertEqual(before.changes_to(self.prefix.snapshot()), ([], []))

    def test_removal_completes_at_the_restart(self):
        before = self.prefix.snapshot()
        self.install("Pole", 3, 9600)
        let_go = self.hold_library()
        code, errors = self.remove_for_exit_code()
        self.assertEqual(code, RESTART_NEEDED, errors)
        self.assertIn("The removal is complete after the restart.", errors)
        # Only the held library waits for the restart, so the entry is already gone.
        self.assertEqual(self.uninstall_entry(), "")
        self.assertTrue((self.prefix.drive_c / INSTALL_FOLDER / HELD_LIBRARY[self.vehicle]).exists())
        let_go()
        self.prefix.restart()
        self.assertEqual(before.changes_to(self.prefix.snapshot()), ([], []), "the restart completes the removal")

    def test_a_file_that_cannot_be_replaced_even_at_restart_keeps_the_installation(self):
        before = self.prefix.snapshot()
        self.install("Pole", 3, 9600)
        installed = self.prefix.snapshot()
        let_go = self.hold_library()
        # Windows refuses to take the replacement for the restart: its list of operations for
        # the restart is not a list.
        session = "SYSTEM\\CurrentControlSet\\Control\\Session Manager"
        self.reg_add(session, "/reg:64", "PendingFileRenameOperations", "unusable")
        self.addCleanup(self.prefix.run, ["reg", "delete", f"HKLM\\{session}", "/v", "PendingFileRenameOperations",
                                          "/f", "/reg:64"])
        code, errors = self.prefix.run_for_exit_code(self.update_setup, ["/S"])
        self.assertEqual(code, SETUP_FAILED, errors)
        self.assertIn("could not be written or replaced, not even at the next restart", errors)
        self.assertIn("is kept as it was", errors)
        let_go()
        self.doCleanups()
        self.prefix.restart()
        self.assertEqual(installed.changes_to(self.prefix.snapshot()), ([], []), "the installation there changed")
        self.uninstall()
        self.assertEqual(before.changes_to(self.prefix.snapshot()), ([], []))


class Interactive(SetupTest):
    def test_settings_page(self):
        # Another service object's device, which the person declines to replace.
        for view in ("/reg:32", "/reg:64"):
            self.reg_add(f"SOFTWARE\\{OPOS_CHAIN}\\Taken", view, "", "Other.LineDisplay.1")
            self.addCleanup(self.prefix.run, ["reg", "delete", "HKLM\\SOFTWARE\\OLEforRetail", "/f", view])
        before = self.prefix.snapshot()
        # A port given on the command line is offered on the page.
        setup = self.prefix.start_image(self.setup, ["/PORT=5"])
        try:
            driver = self.prefix.run_image(Path(os.environ["KIT_PAGE_DRIVER"]), ["Front\\Pole", "Taken", "Counter", "COM12", "19200"])
            _, setup_errors = setup.communicate(timeout=120)
        finally:
            if setup.poll() is None:
                setup.kill()
                setup.communicate()
        self.assertEqual(driver.stdout.splitlines(), [
            "page: name=PoleDisplay port=COM5 speed=9600",
            "refused: The device name must not contain a backslash.",
            'asked: The OPOS device "Taken" belongs to another service object (ProgID "Other.LineDisplay.1"). '
            "Replace it? Its values are saved and restored when the kit is removed. (No: choose another device name.)",
            "finished: &Close",
        ], driver.stderr)
        self.assertEqual(setup.returncode, 0, setup_errors)
        Installation(self, "Counter", 12, 19200, created=("", "")).check(before, self.prefix.snapshot())
        self.uninstall()
        self.assertEqual(before.changes_to(self.prefix.snapshot()), ([], []))


class Bridge(SetupTest):
    def test_the_bridge_component_installs_a_service_that_removal_takes_away(self):
        before = self.prefix.snapshot()
        done, _ = self.run_setup(["/S", "/DEVICE=Pole", "/PORT=7", "/BAUD=19200", "/BRIDGE"])
        self.assertEqual(done.returncode, 0, done.stderr)
        after = self.prefix.snapshot()
        added, _ = before.changes_to(after)
        service = {line.split(" | ", 1)[1] for line in added if line.startswith(f"HKLM V {BRIDGE_SERVICE_KEY} | ")}
        # Started by hand (3), as its own process, from the installed program.
        self.assertLessEqual({"Start = dword:00000003", "Type = dword:00000010",
                              f'ImagePath = sz:"{INSTALL_DIR}\\{BRIDGE_PROGRAM}" --service'}, service, added)
        self.assertIn(f"HKLM V {UNINSTALL_KEY} | BridgeStart = sz:demand", added)
        folder = self.prefix.drive_c / INSTALL_FOLDER
        self.assertEqual((folder / BRIDGE_PROGRAM).read_bytes(), (self.stage / "x86" / BRIDGE_PROGRAM).read_bytes())
        settings = (folder / "zorn-display-bridge.conf").read_text()
        self.assertIn("display pole=COM7,baud=19200", settings.splitlines())
        # The service manager knows it too.
        query = self.prefix.run(["sc", "query", "zorn-display-bridge"])
        self.assertIn("STOPPED", query.stdout, query.stdout + query.stderr)

        # An update without /BRIDGE keeps the component.
        done, _ = self.run_setup(["/S"])
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertTrue((folder / BRIDGE_PROGRAM).exists())
        self.assertIn("STOPPED", self.prefix.run(["sc", "query", "zorn-display-bridge"]).stdout)

        # Removal stops the running service before it removes the program the service holds.
        runnable = Path(os.environ["KIT_RUNNABLE_BRIDGE"])
        shutil.copyfile(runnable, folder / BRIDGE_PROGRAM)
        (folder / "zorn-display-bridge.conf").write_text("display pole=COM7\nlisten 127.0.0.1:0\n")
        # Wine ends its services once no other program of the prefix runs (a signed-in session on
        # Windows): a console bridge on a port without a display keeps one running meanwhile. It is
        # the prefix's first program, so Wine's own background programs inherit its output: a
        # file, which nobody waits on, rather than a pipe.
        session_output = self.prefix.path / "kit-session.log"
        with open(session_output, "w") as output:
            session = subprocess.Popen([self.prefix.loader_for(runnable), str(runnable), "--display", "session=COM9",
                                        "--listen", "127.0.0.1:0"], env=self.prefix.environment(),
                                       stdout=output, stderr=subprocess.STDOUT)

        def end_session():
            if session.poll() is None:
                session.terminate()
            try:
                session.wait(timeout=30)
            except subprocess.TimeoutExpired:
                session.kill()
                session.wait()
            session_output.unlink(missing_ok=True)
        self.addCleanup(end_session)
        deadline = time.monotonic() + 60
        while "listening on" not in session_output.read_text():
            self.assertLess(time.monotonic(), deadline, "the console bridge did not start")
            time.sleep(0.1)
        self.assertEqual(self.prefix.run(["sc", "start", "zorn-display-bridge"]).returncode, 0)
        deadline = time.monotonic() + 60
        log = folder / "zorn-display-bridge.log"
        while not ("RUNNING" in self.prefix.run(["sc", "query", "zorn-display-bridge"]).stdout
                   and log.exists() and "listening on" in log.read_text()):
            self.assertLess(time.monotonic(), deadline, "the installed service did not start")
            time.sleep(0.2)

        # The uninstaller hands over to a copy of itself, which keeps the prefix going until it is done.
        done = self.prefix.run([f"{INSTALL_DIR}\\Uninstall.exe", "/S"])
        self.assertEqual(done.returncode, 0, done.stderr)
        end_session()
        self.prefix.wait_until_idle()
        self.assertEqual(before.changes_to(self.prefix.snapshot()), ([], []),
                         "removal takes the service, its program and its settings away")
        self.assertNotIn("STOPPED", self.prefix.run(["sc", "query", "zorn-display-bridge"]).stdout)


if __name__ == "__main__":
    unittest.main(argv=sys.argv, verbosity=2)
