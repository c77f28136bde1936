"""The bridge's page in a real browser: headless chromium, driven through its DevTools protocol
over a WebSocket client written on Python's standard library, types two lines, presses the
button, and the simulated display shows them.

Run by ctest (tests/bridge/browser/CMakeLists.txt) with KIT_BRIDGE and KIT_SIMULATOR in the
environment, and KIT_CHROMIUM naming the browser. Exits 77 (ctest: skipped) when there is no
browser. Every wait is bounded; nothing sleeps to synchronise.
"""

import base64
import json
import os
import shutil
import signal
import socket
import struct
import subprocess
import sys
import tempfile
import time
import unittest
import urllib.request
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "e2e"))
from bridge_e2e_test import WAIT, Bridge, Simulator, padded, stop_process, wait_until  # noqa: E402

SKIPPED = 77
CHROMIUM = os.environ.get("KIT_CHROMIUM") or shutil.which("chromium") or ""


class WebSocket:
    """A client WebSocket (RFC 6455) for the DevTools endpoint: text frames, masked as a client
    must; pings answered; fragmented messages joined."""

    def __init__(self, url):
        host_port, path = url.removeprefix("ws://").split("/", 1)
        host, port = host_port.rsplit(":", 1)
        self.socket = socket.create_connection((host, int(port)), timeout=WAIT)
        key = base64.b64encode(os.urandom(16)).decode()
        self.socket.sendall((f"GET /{path} HTTP/1.1\r\nHost: {host_port}\r\nUpgrade: websocket\r\n"
                             f"Connection: Upgrade\r\nSec-WebSocket-Key: {key}\r\n"
                             "Sec-WebSocket-Version: 13\r\n\r\n").encode())
        head = b""
        while b"\r\n\r\n" not in head:
            chunk = self.socket.recv(1)
            if not chunk:
                raise ConnectionError("the DevTools endpoint closed during the handshake")
            head += chunk
        if not head.startswith(b"HTTP/1.1 101"):
            raise ConnectionError("the DevTools endpoint refused the WebSocket: " + head.decode(errors="replace"))

    def _exactly(self, count):
        data = b""
        while len(data) < count:
            chunk = self.socket.recv(count - len(data))
            if not chunk:
                raise ConnectionError("the DevTools endpoint closed the connection")
            data += chunk
        return data

    def _send_frame(self, opcode, payload):
        header = bytes([0x80 | opcode])
        if len(payload) < 126:
            header += bytes([0x80 | len(payload)])
        elif len(payload) < 1 << 16:
            header += bytes([0x80 | 126]) + struct.pack("!H", len(payload))
        else:
            header += bytes([0x80 | 127]) + struct.pack("!Q", len(payload))
        mask = os.urandom(4)
        self.socket.sendall(header + mask + bytes(b ^ mask[i % 4] for i, b in enumerate(payload)))

    def send(self, text):
        self._send_frame(0x1, text.encode())

    def receive(self):
        message = b""
        while True:
            first, second = self._exactly(2)
            length = second & 0x7F
            if length == 126:
                length = struct.unpack("!H", self._exactly(2))[0]
            elif length == 127:
                length = struct.unpack("!Q", self._exactly(8))[0]
            mask = self._exactly(4) if second & 0x80 else None
            payload = self._exactly(length)
            if mask:
                payload = bytes(b ^ mask[i % 4] for i, b in enumerate(payload))
            opcode = first & 0x0F
            if opcode == 0x9:
                self._send_frame(0xA, payload)
                continue
            if opcode == 0x8:
                raise ConnectionError("the DevTools endpoint closed the WebSocket")
            if opcode in (0x0, 0x1, 0x2):
                message += payload
                if first & 0x80:
                    return message.decode()

    def close(self):
        self.socket.close()


class DevTools:
    """One page of the browser, commanded through the DevTools protocol."""

    def __init__(self, url):
        self.ws = WebSocket(url)
        self.next_id = 0

    def call(self, method, **params):
        self.next_id += 1
        self.ws.send(json.dumps({"id": self.next_id, "method": method, "params": params}))
        deadline = time.monotonic() + WAIT
        while time.monotonic() < deadline:
            message = json.loads(self.ws.receive())  # events on the way are not needed here
            if message.get("id") == self.next_id:
                if "error" in message:
                    raise AssertionError(f"{method}: {message['error']}")
                return message["result"]
        raise AssertionError(f"no answer to {method}")

    def evaluate(self, expression):
        result = self.call("Runtime.evaluate", expression=expression, returnByValue=True, awaitPromise=True)
        if "exceptionDetails" in result:
            raise AssertionError(f"{expression}: {result['exceptionDetails']}")
        return result["result"].get("value")

    def value(self, expression):
        """The expression's value, or None while the page is between documents."""
        try:
            return self.evaluate(expression)
        except AssertionError:
            return None

    def click(self, element_id):
        """A real mouse click in the middle of the element, as a technician's."""
        box = self.evaluate(f"(() => {{ const r = document.getElementById('{element_id}')"
                            ".getBoundingClientRect(); return [r.x + r.width / 2, r.y + r.height / 2]; })()")
        for kind in ("mousePressed", "mouseReleased"):
            self.call("Input.dispatchMouseEvent", type=kind, x=box[0], y=box[1], button="left", clickCount=1)

    def type_into(self, element_id, text):
        self.click(element_id)
        for character in text:
            self.call("Input.dispatchKeyEvent", type="keyDown", text=character, unmodifiedText=character)
            self.call("Input.dispatchKeyEvent", type="keyUp")

    def close(self):
        self.ws.close()


class Browser:
    """Headless chromium with its DevTools endpoint on a free loopback port."""

    def __init__(self, directory):
        profile = Path(directory) / "profile"
        self.process = subprocess.Popen(
            [CHROMIUM, "--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
             "--no-first-run", "--no-default-browser-check", "--disable-extensions",
             f"--user-data-dir={profile}", "--remote-debugging-address=127.0.0.1", "--remote-debugging-port=0",
             "about:blank"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)
        active = profile / "DevToolsActivePort"
        # The browser writes its port, then its path; the file is complete once both lines are there.
        lines = wait_until(lambda: active.exists() and len(active.read_text().splitlines()) >= 2 and
                           active.read_text().splitlines(), "the browser's DevTools port", timeout=WAIT * 3)
        self.port = int(lines[0])

    def page(self):
        with urllib.request.urlopen(f"http://127.0.0.1:{self.port}/json/list", timeout=WAIT) as answer:
            targets = json.load(answer)
        page = next(t for t in targets if t["type"] == "page")
        return DevTools(page["webSocketDebuggerUrl"])

    def stop(self):
        """Ends the browser and every process it started: they write into the profile until they
        are gone, and the profile's folder is removed after this."""
        group = self.process.pid
        try:
            os.killpg(group, signal.SIGTERM)
        except ProcessLookupError:
            pass
        stop_process(self.process)
        deadline = time.monotonic() + WAIT
        while time.monotonic() < deadline:
            try:
                os.killpg(group, signal.SIGKILL)
            except ProcessLookupError:
                return
            time.sleep(0.05)


class BridgePageTest(unittest.TestCase):
    def test_typed_lines_reach_the_display(self):
        temp = tempfile.TemporaryDirectory()
        self.addCleanup(temp.cleanup)
        directory = Path(temp.name) / "sim"
        directory.mkdir()
        sim = Simulator(directory)
        self.addCleanup(sim.stop)
        bridge = Bridge("--display", f"front={sim.port},code-page=858")
        self.addCleanup(bridge.stop)
        browser = Browser(temp.name)
        self.addCleanup(browser.stop)
        page = browser.page()
        self.addCleanup(page.close)

        page.call("Page.navigate", url=f"http://127.0.0.1:{bridge.port}/")
        wait_until(lambda: page.value("document.readyState === 'complete' && "
                                      "document.getElementById('display').options.length") == 1,
                   "the page listing the display")
        page.type_into("line1", "Größe 5 €")
        page.type_into("line2", "Kaffee 2,40")
        page.click("show")
        wait_until(lambda: page.evaluate("document.getElementById('result').textContent") == "shown",
                   "the page saying the lines are shown")
        expected = [padded("Größe 5 €", "cp858"), padded("Kaffee 2,40", "ascii")]
        self.assertEqual(sim.wait_rows(expected), expected)
        # The page's table shows the screen the bridge keeps, as the display shows it.
        shown = wait_until(lambda: "Kaffee" in (page.evaluate(
            "document.querySelector('#displays .screen')?.textContent") or "") and page.evaluate(
            "document.querySelector('#displays .screen').textContent"), "the page's picture of the screen")
        self.assertEqual(shown.split("\n"), ["Größe 5 €".ljust(20), "Kaffee 2,40".ljust(20)])


if __name__ == "__main__":
    if not (os.environ.get("KIT_BRIDGE") and os.environ.get("KIT_SIMULATOR")):
        sys.exit("KIT_BRIDGE and KIT_SIMULATOR must name the programs")
    if not CHROMIUM or not Path(CHROMIUM).exists():
        print("chromium is not installed: skipped (scripts/setup.sh installs it)")
        sys.exit(SKIPPED)
    unittest.main()
