"""A Wine prefix as the installer tests see it: running Windows programs in it, and snapshots of
its registry views and of drive_c to compare before and after.

A snapshot is a set of text lines, one per registry key, registry value, folder and file, so two
snapshots compare as sets: what was added, what was removed (a changed value or file is both).
"""

import os
import re
import shutil
import subprocess
import tempfile
from dataclasses import dataclass
from pathlib import Path

# The registry parts a setup program for all users can touch: the machine's software, which
# holds both registry views (the 32-bit one below Software\Wow6432Node) and their classes, the
# user's software, and the registration of the kit's one service (the display bridge). The server
# keeps them in these files and writes them when it stops.
REGISTRY_FILES = [("HKLM", "system.reg"), ("HKCU", "user.reg")]
REGISTRY_PART = re.compile(r"^(Software|System\\CurrentControlSet\\Services\\zorn-display-bridge)(\\|$)",
                           re.IGNORECASE)
# Wine's own settings and caches, which it changes by itself when a window first appears.
WINE_OWN_PART = re.compile(r"^Software\\Wine(\\|$)", re.IGNORECASE)

# Scratch folders that every program may use: setup and uninstaller programs unpack themselves
# there, and Windows deletes what is left at the next start.
SCRATCH_FOLDERS = re.compile(r"^(users/[^/]+/(Temp|AppData/Local/Temp)|windows/temp)(/|$)", re.IGNORECASE)


def pe_bits(path):
    """64 for an x86-64 Windows image, 32 for an i386 one."""
    data = Path(path).read_bytes()[:4096]
    offset = int.from_bytes(data[0x3C:0x40], "little")
    if data[offset:offset + 4] != b"PE\0\0":
        raise ValueError(f"{path} is not a Windows image")
    return 64 if int.from_bytes(data[offset + 4:offset + 6], "little") == 0x8664 else 32


def windows_path(unix_path):
    """The path under Wine's Z: drive, which maps the Unix root."""
    return "Z:" + str(Path(unix_path).resolve()).replace("/", "\\")


def parse_registry_file(text, label):
    """The Software part of a registry file of the prefix as snapshot lines: "label K key" for
    each key and "label V key | name = data" for each value. String data is unescaped; other
    data stays as written (dword:..., hex(...):..., str(2):...). Key time stamps are left out."""
    lines = set()
    key = None
    pending = ""
    for raw in text.splitlines():
        raw = pending + raw.strip() if pending else raw
        if raw.endswith("\\") and not raw.startswith("["):
            pending = raw[:-1]
            continue
        pending = ""
        if raw.startswith("["):
            name, _ = read_quoted('"' + raw[1:raw.rindex("]")] + '"', 0)
            key = name if REGISTRY_PART.match(name) and not WINE_OWN_PART.match(name) else None
            if key is not None:
                # The file leaves out a key that has subkeys but no values; every key counts.
                parts = key.split("\\")
                lines |= {f"{label} K " + "\\".join(parts[:n]) for n in range(1, len(parts) + 1)}
        elif key is not None and raw and raw[0] in '"@':
            name, data = split_value_line(raw)
            lines.add(f"{label} V {key} | {name} = {data}")
    return lines


def split_value_line(line):
    """Splits '"name"=data' or '@=data' into the name and the data."""
    if line.startswith("@="):
        return "@", decode_data(line[2:])
    name, end = read_quoted(line, 0)
    if end >= len(line) or line[end] != "=":
        raise ValueError(f"unreadable registry value line: {line!r}")
    return name, decode_data(line[end + 1:])


def read_quoted(text, start):
    """The text between the quote at `start` and its closing quote (backslash escapes undone),
    and the index just past the closing quote."""
    out = []
    i = start + 1
    while i < len(text):
        c = text[i]
        if c == "\\" and i + 1 < len(text):
            out.append(text[i + 1])
            i += 2
            continue
        if c == '"':
            return "".join(out), i + 1
        out.append(c)
        i += 1
    raise ValueError(f"unterminated quoted text: {text!r}")


def decode_data(data):
    if data.startswith('"'):
        value, _ = read_quoted(data, 0)
        return "sz:" + value
    return data


@dataclass
class Snapshot:
    registry: set
    files: set

    def changes_to(self, later):
        """(added, removed) lines from this snapshot to `later`, each sorted."""
        before = self.registry | self.files
        after = later.registry | later.files
        return sorted(after - before), sorted(before - after)


class WinePrefix:
    """A prefix made by scripts/wine-prefix.sh. `vehicle` is true on machines that cannot run
    32-bit programs: Wine's own tools then run through the 64-bit loader."""

    def __init__(self, path, vehicle=False):
        self.path = Path(path).resolve()
        self.vehicle = vehicle
        self.loader64 = os.environ.get("KIT_WINE64") or shutil.which("wine64") or "/usr/lib/wine/wine64"
        self.tools_loader = self.loader64 if vehicle else "wine"
        self.drive_c = self.path / "drive_c"

    def environment(self):
        env = dict(os.environ)
        env.update({
            "WINEPREFIX": str(self.path),
            "WINEDEBUG": "-all",
            # Shortcuts would otherwise become menu entries of the Linux desktop, outside the prefix.
            "WINEDLLOVERRIDES": "winemenubuilder.exe=d",
            # Number formats and messages as the expected results are written.
            "LC_ALL": "C",
        })
        return env

    def run(self, argv, loader=None, timeout=180, debug=None):
        """Runs a Windows program (argv[0], a Windows or Unix path) through `loader` (by default
        the one for Wine's tools) and answers the completed process, output captured as text.
        `debug` sets Wine's debug channels (WINEDEBUG) for this run."""
        command = [loader or self.tools_loader, *argv]
        env = self.environment()
        if debug:
            env["WINEDEBUG"] = debug
        return subprocess.run(command, env=env, capture_output=True, text=True,
                              errors="replace", timeout=timeout, check=False)

    def run_for_exit_code(self, image, args, timeout=180):
        """Runs the Windows program at Unix path `image` from the command interpreter, which
        reports the whole exit code: Wine hands Linux only its low byte (3010 arrives as 194).
        Answers (exit code, the program's standard error)."""
        line = " ".join([windows_path(image), *args]) + " & echo exit code: !errorlevel!"
        # Files, not pipes: a program that Wine starts on the way (its desktop, its services) may
        # inherit the output and outlive the run.
        with tempfile.TemporaryFile("w+") as out, tempfile.TemporaryFile("w+") as errors:
            subprocess.run([self.loader_for(image), "cmd", "/v:on", "/c", line], env=self.environment(),
                           stdout=out, stderr=errors, timeout=timeout, check=False)
            out.seek(0)
            errors.seek(0)
            output, error_text = out.read(), errors.read()
        found = re.search(r"exit code: (-?\d+)", output)
        if not found:
            raise AssertionError(f"no exit code from {image}: {output}{error_text}")
        return int(found.group(1)), error_text

    def restart(self):
        """Stops every program of the prefix and starts it again, as Windows restarts: Wine then
        carries out the file operations that were left for the restart."""
        self.wait_until_idle()
        self.run(["cmd", "/c", "exit"])
        self.wait_until_idle()

    def run_image(self, image, args, timeout=180):
        """Runs the Windows program at Unix path `image` with the loader of its word size."""
        return self.run([str(image), *args], loader=self.loader_for(image), timeout=timeout)

    def loader_for(self, image):
        return self.loader64 if pe_bits(image) == 64 else "wine"

    def start_image(self, image, args):
        """Starts the Windows program at Unix path `image` and answers the running process."""
        return subprocess.Popen([self.loader_for(image), str(image), *args], env=self.environment(), stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE, text=True, errors="replace")

    def cscript(self, bits, script, timeout=90):
        """Runs a script with the 32-bit or the 64-bit script host."""
        if bits == 64:
            return self.run(["C:\\windows\\system32\\cscript.exe", "//nologo", windows_path(script)],
                            loader=self.loader64, timeout=timeout)
        return self.run(["C:\\windows\\syswow64\\cscript.exe", "//nologo", windows_path(script)], loader="wine",
                        timeout=timeout)

    def wait_until_idle(self, timeout=180):
        """Waits until every program of the prefix has ended and its server has stopped; the next
        program starts the prefix afresh, as Windows after a restart (removals that a program left
        for that moment are then carried out)."""
        subprocess.run(["wineserver", "-w"], env=self.environment(), timeout=timeout,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=False)

    def registry_lines(self):
        """The registry as the server last wrote it: call wait_until_idle first."""
        lines = set()
        for label, name in REGISTRY_FILES:
            lines |= parse_registry_file((self.path / name).read_text(errors="replace"), label)
        return lines

    def file_lines(self):
        lines = set()
        for folder, subfolders, files in os.walk(self.drive_c):
            relative_folder = os.path.relpath(folder, self.drive_c)
            relative_folder = "" if relative_folder == "." else relative_folder + "/"
            kept = []
            for name in subfolders:
                relative = relative_folder + name
                if not SCRATCH_FOLDERS.match(relative):
                    kept.append(name)
                    lines.add(f"drive_c D {relative}")
            subfolders[:] = kept
            for name in files:
                relative = relative_folder + name
                if SCRATCH_FOLDERS.match(relative):
                    continue
                status = os.lstat(os.path.join(folder, name))
                lines.add(f"drive_c F {relative} size={status.st_size} mtime={status.st_mtime_ns}")
        return lines

    def snapshot(self):
        """The registry and drive_c once every program of the prefix has ended."""
        self.wait_until_idle()
        return Snapshot(registry=self.registry_lines(), files=self.file_lines())
