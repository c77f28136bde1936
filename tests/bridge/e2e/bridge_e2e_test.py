"""zorn-display-bridge through real HTTP against the display simulator.

Run by ctest (tests/bridge/e2e/CMakeLists.txt) with the programs in the environment:
  KIT_BRIDGE      the zorn-display-bridge program
  KIT_SIMULATOR   the pole_display_sim program
Every wait is bounded; nothing sleeps to synchronise.
"""

import http.client
import json
import os
import queue
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time
import unittest
from pathlib import Path

BRIDGE = os.environ.get("KIT_BRIDGE", "")
# The Windows build runs under Wine: KIT_WINE_RUN is scripts/wine-run.sh, and scripts/with-simulator.sh
# serves COM7 with a simulator whose state file is KIT_SIM_COM7_STATE.
WINE_RUN = os.environ.get("KIT_WINE_RUN", "")
SIMULATOR = os.environ.get("KIT_SIMULATOR", "")
WAIT = 20.0  # seconds: the bound of every wait


def wait_until(predicate, what, timeout=WAIT):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        value = predicate()
        if value:
            return value
        time.sleep(0.02)
    raise AssertionError(f"timed out waiting for {what}")


def stop_process(process):
    """Ends `process` with SIGTERM, or SIGKILL when it has not ended 10 s later; its exit code."""
    process.terminate()
    try:
        return process.wait(10)
    except subprocess.TimeoutExpired:
        process.kill()
        return process.wait()


class Simulator:
    """One simulated display on a pty, with its state, trace and capture files."""

    def __init__(self, directory, start=True):
        self.dir = Path(directory)
        self.port = self.dir / "port"
        self.state_name = "state"
        if not start:
            return
        self.process = subprocess.Popen(
            [SIMULATOR, "--quiet", "--link", str(self.port), "--state", str(self.dir / "state"),
             "--trace", str(self.dir / "trace"), "--capture", str(self.dir / "capture")],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        wait_until(self.port.exists, "the simulator's port")

    def state(self):
        try:
            text = (self.dir / self.state_name).read_text()
        except FileNotFoundError:
            return {}
        return dict(line.split("=", 1) for line in text.splitlines() if "=" in line)

    def rows(self):
        state = self.state()
        return [bytes.fromhex(state.get(f"row{i}_hex", "")) for i in (0, 1)]

    def wait_rows(self, expected):
        """The rows once they are `expected` (the display takes its bytes after the bridge has
        sent them); what they are at the deadline otherwise."""
        try:
            return wait_until(lambda: self.rows() == expected and self.rows(), "the rows", timeout=WAIT)
        except AssertionError:
            return self.rows()

    def wait_row(self, index, expected):
        return self.wait_rows([expected if i == index else row for i, row in enumerate(self.rows())])[index]

    def trace(self):
        try:
            return (self.dir / "trace").read_text().splitlines()
        except FileNotFoundError:
            return []

    def capture(self):
        try:
            return (self.dir / "capture").read_bytes()
        except FileNotFoundError:
            return b""

    def stop(self):
        stop_process(self.process)


def request(port, method, path, body=None, headers=None, raw=None):
    """One request to the bridge on `port`: the status, the headers and the JSON answer."""
    connection = http.client.HTTPConnection("127.0.0.1", port, timeout=WAIT)
    headers = dict(headers or {})
    data = raw
    if body is not None:
        data = json.dumps(body).encode()
        headers.setdefault("Content-Type", "application/json")
    try:
        connection.request(method, path, body=data, headers=headers)
        response = connection.getresponse()
        payload = response.read()
        return response.status, dict(response.getheaders()), json.loads(payload) if payload else None
    finally:
        connection.close()


class Bridge:
    """The bridge program on a free loopback port."""

    def __init__(self, *arguments):
        launcher = [WINE_RUN] if WINE_RUN else []
        self.process = subprocess.Popen([*launcher, BRIDGE, "--listen", "127.0.0.1:0", *arguments],
                                        stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        lines = queue.Queue()
        threading.Thread(target=lambda: [lines.put(l) for l in self.process.stdout], daemon=True).start()
        self.output = []
        # Wine's first program of a run also starts its background services.
        deadline = time.monotonic() + (WAIT * 3 if WINE_RUN else WAIT)
        while True:
            try:
                line = lines.get(timeout=max(0.1, deadline - time.monotonic()))
            except queue.Empty:
                self.stop()
                raise AssertionError("the bridge did not say where it listens: " + "".join(self.output)) from None
            self.output.append(line)
            if line.startswith("listening on http://127.0.0.1:"):
                self.port = int(line.split(":")[2].split()[0])
                break

    def request(self, method, path, body=None, headers=None, raw=None):
        return request(self.port, method, path, body, headers, raw)

    def stop(self):
        code = stop_process(self.process)
        self.process.stdout.close()
        return code


class EventListener:
    """GET /v1/events read in a thread: every event as (type, data)."""

    def __init__(self, bridge):
        self.events = queue.Queue()
        self.connection = http.client.HTTPConnection("127.0.0.1", bridge.port, timeout=WAIT * 3)
        self.connection.request("GET", "/v1/events")
        self.response = self.connection.getresponse()
        assert self.response.status == 200
        assert self.response.getheader("Content-Type") == "text/event-stream"
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        kind = None
        try:
            for raw in self.response:
                line = raw.decode().rstrip("\n")
                if line.startswith("event: "):
                    kind = line[7:]
                elif line.startswith("data: "):
                    self.events.put((kind, json.loads(line[6:])))
        except (OSError, ValueError):
            pass

    def expect(self, kind, name):
        deadline = time.monotonic() + WAIT
        while time.monotonic() < deadline:
            try:
                got_kind, data = self.events.get(timeout=max(0.05, deadline - time.monotonic()))
            except queue.Empty:
                break
            if got_kind == kind and data["name"] == name:
                return data
        raise AssertionError(f"no {kind} event for {name}")

    def close(self):
        self.connection.close()


def padded(text, encoding):
    return text.encode(encoding).ljust(20, b" ")


class BridgeTest(unittest.TestCase):
    def setUp(self):
        self.temp = tempfile.TemporaryDirectory()
        self.addCleanup(self.temp.cleanup)

    def simulator(self, name="sim"):
        directory = Path(self.temp.name) / name
        directory.mkdir()
        simulator = Simulator(directory)
        self.addCleanup(simulator.stop)
        return simulator

    def bridge(self, *arguments):
        bridge = Bridge(*arguments)
        self.addCleanup(bridge.stop)
        return bridge

    def test_unicode_in_code_pages_858_and_866(self):
        west, east = self.simulator("west"), self.simulator("east")
        bridge = self.bridge("--display", f"west={west.port},code-page=858",
                             "--display", f"east={east.port},code-page=866")
        lines = {"west": ["Größe: 5 €", "Café ½ — ok"], "east": ["Привет, мир", "Итого: 5 ₽"]}
        for name, pair in lines.items():
            self.assertEqual(bridge.request("PUT", f"/v1/displays/{name}/lines", {"lines": pair})[0], 204)
        # What a code page lacks shows as '?': the em dash in 858, the rouble sign in 866.
        expected = [padded("Größe: 5 €", "cp858"), padded("Café ½ ? ok", "cp858")]
        self.assertEqual(west.wait_rows(expected), expected)
        expected = [padded("Привет, мир", "cp866"), padded("Итого: 5 ?", "cp866")]
        self.assertEqual(east.wait_rows(expected), expected)
        self.assertIn("Größe: 5 €".encode("cp858"), west.capture())
        status, _, body = bridge.request("GET", "/v1/displays/east")
        self.assertEqual((status, body["lines"]), (200, ["Привет, мир", "Итого: 5 ?"]))
        status, _, body = bridge.request("PUT", "/v1/displays/east/lines", {"lines": ["ok", "Ж" * 21]})
        self.assertEqual(status, 422)
        self.assertIn("line 2", body["error"])
        self.assertEqual(east.wait_row(1, padded("Итого: 5 ?", "cp866")), padded("Итого: 5 ?", "cp866"))

    def test_200_concurrent_clients_leave_one_requests_screen(self):
        sim = self.simulator()
        bridge = self.bridge("--display", f"pos={sim.port}")
        screens = [[f"client {i:03d}", f"total {i * 7:5d}"] for i in range(200)]
        statuses = [None] * len(screens)
        start = threading.Barrier(len(screens))

        def client(i):
            start.wait(WAIT)
            statuses[i] = bridge.request("PUT", "/v1/displays/pos/lines", {"lines": screens[i]})[0]

        threads = [threading.Thread(target=client, args=(i,)) for i in range(len(screens))]
        for thread in threads:
            thread.start()
        for thread in threads:
            thread.join(WAIT * 3)
        self.assertEqual(statuses, [204] * len(screens))
        shown = bridge.request("GET", "/v1/displays/pos")[2]["lines"]
        self.assertIn(shown, screens)
        expected = [padded(shown[0], "ascii"), padded(shown[1], "ascii")]
        self.assertEqual(sim.wait_rows(expected), expected)

    def test_unplugged_then_plugged_in_again(self):
        sim = self.simulator()
        bridge = self.bridge("--display", f"pos={sim.port}")
        events = EventListener(bridge)
        self.addCleanup(events.close)
        events.expect("online", "pos")
        self.assertEqual(bridge.request("PUT", "/v1/displays/pos/lines", {"lines": ["Total", "12.50"]})[0], 204)

        sim.process.send_signal(signal.SIGUSR1)
        wait_until(lambda: "unplugged" in sim.trace(), "the simulator's unplugged line")
        status, _, body = bridge.request("POST", "/v1/displays/pos/text", {"row": 1, "column": 0, "text": "13.00"})
        self.assertEqual(status, 503)
        self.assertIn("port gone", body["error"])
        self.assertEqual(events.expect("offline", "pos")["reason"], "port gone")
        self.assertFalse(bridge.request("GET", "/v1/displays")[2][0]["online"])

        sim.process.send_signal(signal.SIGUSR2)
        wait_until(lambda: any(l.startswith("plugged in") for l in sim.trace()), "the simulator's plugged-in line")
        replugged = len(sim.trace())
        # Each request tries the port once more; the first that finds it shows the whole screen.
        wait_until(lambda: bridge.request("POST", "/v1/displays/pos/text",
                                          {"row": 0, "column": 0, "text": "Sum  "})[0] == 204, "a 204 after replug")
        events.expect("online", "pos")
        wait_until(lambda: "clear" in sim.trace()[replugged:], "the display cleared after the replug")
        expected = [padded("Sum", "ascii"), padded("13.00", "ascii")]
        self.assertEqual(sim.wait_rows(expected), expected)

    def test_refused_origin_changes_nothing(self):
        sim = self.simulator()
        bridge = self.bridge("--display", f"pos={sim.port}", "--allow-origin", "https://pos.example")
        before = sim.capture()
        status, headers, body = bridge.request("PUT", "/v1/displays/pos/lines", {"lines": ["evil"]},
                                               {"Origin": "https://evil.example"})
        self.assertEqual(status, 403)
        self.assertIn("origin", body["error"])
        status, headers, _ = bridge.request("OPTIONS", "/v1/displays/pos/lines", None,
                                            {"Origin": "https://pos.example", "Access-Control-Request-Method": "PUT"})
        self.assertEqual((status, headers.get("Access-Control-Allow-Origin")), (204, "https://pos.example"))
        status, headers, _ = bridge.request("PUT", "/v1/displays/pos/lines", {"lines": ["good"]},
                                            {"Origin": "https://pos.example"})
        self.assertEqual((status, headers.get("Access-Control-Allow-Origin")), (204, "https://pos.example"))
        self.assertNotIn(b"evil", sim.capture())
        self.assertEqual(sim.capture()[:len(before)], before)
        self.assertEqual(sim.wait_row(0, padded("good", "ascii")), padded("good", "ascii"))

    def test_missing_or_wrong_token(self):
        sim = self.simulator()
        token_file = Path(self.temp.name) / "token"
        token_file.write_text("c0ffee-42\n")
        bridge = self.bridge("--display", f"pos={sim.port}", "--token-file", str(token_file))
        self.assertEqual(bridge.request("PUT", "/v1/displays/pos/lines", {"lines": ["no token"]})[0], 401)
        self.assertEqual(bridge.request("PUT", "/v1/displays/pos/lines", {"lines": ["wrong"]},
                                        {"Authorization": "Bearer c0ffee-43"})[0], 401)
        self.assertEqual(bridge.request("PUT", "/v1/displays/pos/lines", {"lines": ["right"]},
                                        {"Authorization": "Bearer c0ffee-42"})[0], 204)
        self.assertNotIn(b"token", sim.capture())
        self.assertEqual(sim.wait_row(0, padded("right", "ascii")), padded("right", "ascii"))

    def test_a_1_mb_body_is_refused_and_the_bridge_serves_on(self):
        sim = self.simulator()
        bridge = self.bridge("--display", f"pos={sim.port}")
        huge = json.dumps({"lines": ["x" * (1 << 20)]}).encode()
        try:
            status, _, body = bridge.request("PUT", "/v1/displays/pos/lines", None,
                                             {"Content-Type": "application/json"}, raw=huge)
            self.assertEqual(status, 413)
            self.assertIn("4096", body["error"])
        except (BrokenPipeError, ConnectionResetError):
            self.fail("the bridge reset the connection instead of answering 413")
        self.assertEqual(bridge.request("GET", "/v1/health")[0::2], (200, {"status": "ok"}))
        self.assertEqual(bridge.request("PUT", "/v1/displays/pos/lines", {"lines": ["after"]})[0], 204)
        self.assertEqual(sim.wait_row(0, padded("after", "ascii")), padded("after", "ascii"))


class WineBridgeTest(unittest.TestCase):
    """zorn-display-bridge.exe under Wine on COM7, served by the simulator of with-simulator.sh."""

    def test_windows_build_serves_the_display(self):
        # with-simulator.sh keeps the files as DIR/state7, trace7, capture7.
        state = Path(os.environ["KIT_SIM_COM7_STATE"])
        display = Simulator(state.parent, start=False)
        display.state_name = state.name
        bridge = Bridge("--display", "pos=COM7,code-page=858")
        self.addCleanup(bridge.stop)
        self.assertEqual(bridge.request("PUT", "/v1/displays/pos/lines", {"lines": ["Größe: 5 €", "Windows"]})[0], 204)
        expected = [padded("Größe: 5 €", "cp858"), padded("Windows", "ascii")]
        self.assertEqual(display.wait_rows(expected), expected)
        self.assertEqual(bridge.request("GET", "/v1/displays/pos")[2]["lines"], ["Größe: 5 €", "Windows"])
        self.assertEqual(bridge.request("POST", "/v1/displays/pos/clear", None, {"Origin": "https://evil.example"})[0], 403)
        self.assertEqual(display.wait_rows(expected), expected)


def wine_loader(program):
    """The Wine loader for a Windows program: the 64-bit loader for an x86-64 image."""
    data = Path(program).read_bytes()[:4096]
    offset = int.from_bytes(data[0x3C:0x40], "little")
    if data[offset + 4:offset + 6] == b"\x64\x86":
        return shutil.which("wine64") or "/usr/lib/wine/wine64"
    return "wine"


class WineServiceTest(unittest.TestCase):
    """zorn-display-bridge.exe --service under Wine's service manager (sc create, start, query,
    stop, delete), its settings in zorn-display-bridge.conf next to it, on COM7 served by the
    simulator of with-simulator.sh."""

    def setUp(self):
        self.temp = tempfile.TemporaryDirectory()
        self.addCleanup(self.temp.cleanup)
        self.folder = Path(self.temp.name)
        self.program = self.folder / "zorn-display-bridge.exe"
        shutil.copy(BRIDGE, self.program)
        self.loader = wine_loader(BRIDGE)
        self.name = f"zorn-display-bridge-e2e-{os.getpid()}"
        # Started through wine-run.sh, which also brings up the prefix's wineserver and services.
        refused = subprocess.run([WINE_RUN, str(self.program), "--service"], capture_output=True, text=True,
                                 timeout=WAIT * 3)
        self.assertEqual(refused.returncode, 2, refused.stderr)
        self.assertIn("--service is for the Windows service manager", refused.stderr)

    def sc(self, *arguments):
        return subprocess.run([self.loader, "sc", *arguments], capture_output=True, text=True, timeout=WAIT,
                              env={**os.environ, "WINEDEBUG": "-all"})

    def query(self):
        fields = {}
        for line in self.sc("query", self.name).stdout.splitlines():
            key, _, value = line.partition(":")
            fields[key.strip()] = value.split()
        return fields

    def state(self):
        return (self.query().get("STATE") or ["", "gone"])[1]

    def install(self, settings):
        (self.folder / "zorn-display-bridge.conf").write_text(settings)
        windows_path = "Z:" + str(self.program).replace("/", "\\")
        created = self.sc("create", self.name, "binpath=", f"{windows_path} --service", "start=", "demand")
        self.assertEqual(created.returncode, 0, created.stdout + created.stderr)
        self.addCleanup(lambda: self.sc("delete", self.name))
        self.addCleanup(lambda: self.sc("stop", self.name))

    def log(self):
        try:
            return (self.folder / "zorn-display-bridge.log").read_text()
        except FileNotFoundError:
            return ""

    def test_the_service_serves_the_display_and_stops_within_its_bound(self):
        state = Path(os.environ["KIT_SIM_COM7_STATE"])
        display = Simulator(state.parent, start=False)
        display.state_name = state.name
        self.install("# till 1\n--display pos=COM7,code-page=858\nlisten 127.0.0.1:0\n")
        self.assertEqual(self.sc("start", self.name).returncode, 0)
        wait_until(lambda: self.state() == "RUNNING", "the service running", timeout=WAIT * 3)
        listening = wait_until(lambda: [l for l in self.log().splitlines() if l.startswith("listening on")],
                               "the service's log to say where it listens")
        port = int(listening[0].split(":")[2].split()[0])
        self.assertEqual(request(port, "GET", "/v1/health")[2], {"status": "ok"})
        self.assertEqual(request(port, "PUT", "/v1/displays/pos/lines", {"lines": ["Service €", "läuft"]})[0], 204)
        expected = [padded("Service €", "cp858"), padded("läuft", "cp858")]
        self.assertEqual(display.wait_rows(expected), expected)

        started = time.monotonic()
        self.assertEqual(self.sc("stop", self.name).returncode, 0)
        wait_until(lambda: self.state() == "STOPPED", "the service stopped")
        print(f"service stop: {time.monotonic() - started:.1f} s from sc stop to STOPPED", file=sys.stderr)
        self.assertEqual(self.query()["SERVICE_EXIT_CODE"][0], "0")
        self.assertTrue(self.log().endswith("stopped\n"), self.log())
        with self.assertRaises(OSError):
            request(port, "GET", "/v1/health")

    def test_refused_settings_stop_the_service_with_the_reason_in_its_log(self):
        self.install("--display pos=COM7,baud=1200\n")
        self.sc("start", self.name)
        wait_until(lambda: self.state() == "STOPPED" and "baud" in self.log(), "the service stopped",
                   timeout=WAIT * 3)
        self.assertEqual(self.query()["SERVICE_EXIT_CODE"][0], "2")
        self.assertIn("baud must be", self.log())


if __name__ == "__main__":
    if not (BRIDGE and SIMULATOR):
        sys.exit("KIT_BRIDGE and KIT_SIMULATOR must name the programs")
    unittest.main()
