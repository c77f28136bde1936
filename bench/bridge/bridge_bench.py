#!/usr/bin/env python3
"""zorn-display-bridge against the display simulator, run by hand (docs/benchmarks.md):

  latency    PUT /v1/displays/pos/lines on a kept-alive connection, from the request's first byte
             to the last display byte the simulator receives, at 9600 and 115200 bit/s; median
             and 99th percentile beside the wire time of the same bytes (10 bits a byte, 8N1)
  sustained  requests per second from several client processes for a while, with the bridge's
             resident memory sampled from /proc at the start, along the way and at the end

The simulator appends every byte it reads to its capture file at once: an inotify watch on that
file, read by a thread of its own, stamps the moment the last byte of a request arrived. A pty
is not paced at the line speed, so the figure is the bridge's own time; on a real line the wire
time comes on top of it.

  bench/bridge/bridge_bench.py [--build DIR] [--requests N] [--seconds S] [--clients C]
"""

import argparse
import ctypes
import http.client
import json
import multiprocessing
import os
import statistics
import subprocess
import sys
import tempfile
import threading
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
IN_MODIFY = 0x2
WAIT = 20.0


class CaptureWatch:
    """The times at which the simulator's capture file grew, with its size then."""

    def __init__(self, path):
        self.libc = ctypes.CDLL(None, use_errno=True)
        self.fd = self.libc.inotify_init()
        if self.fd < 0 or self.libc.inotify_add_watch(self.fd, str(path).encode(), IN_MODIFY) < 0:
            raise OSError(ctypes.get_errno(), "inotify on " + str(path))
        self.path = path
        self.lock = threading.Lock()
        self.growth = []  # (perf_counter, size)
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        # Ends when the file goes with its folder (the watch is removed, the read fails or stops).
        try:
            while os.read(self.fd, 4096):
                now = time.perf_counter()
                size = self.path.stat().st_size
                with self.lock:
                    self.growth.append((now, size))
        except OSError:
            pass
        finally:
            os.close(self.fd)

    def first_time_at(self, size):
        """When the file first held `size` bytes, once it has; None until then."""
        with self.lock:
            return next((t for t, s in self.growth if s >= size), None)


def wait_until(predicate, what):
    deadline = time.monotonic() + WAIT
    while time.monotonic() < deadline:
        value = predicate()
        if value:
            return value
        time.sleep(0.0005)
    raise TimeoutError(f"timed out waiting for {what}")


class Rig:
    """A simulator on a pty and the bridge on it at one line speed."""

    def __init__(self, build, directory, baud):
        self.dir = Path(directory)
        self.capture = self.dir / "capture"
        port = self.dir / "port"
        # Both ends at the display's own speed would need its flash set; the check is left out.
        self.sim = subprocess.Popen(
            [str(build / "sim/pole_display_sim"), "--quiet", "--no-speed-check", "--link", str(port),
             "--state", str(self.dir / "state"), "--capture", str(self.capture)],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        wait_until(lambda: port.exists() and self.capture.exists(), "the simulator")
        self.bridge = subprocess.Popen(
            [str(build / "bridge/posix/zorn-display-bridge"), "--listen", "127.0.0.1:0",
             "--display", f"pos={port},baud={baud}"], stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        for line in self.bridge.stdout:
            if line.startswith("listening on http://127.0.0.1:"):
                self.port = int(line.split(":")[2].split()[0])
                break
        else:
            raise RuntimeError("the bridge did not start")
        threading.Thread(target=lambda: [None for _ in self.bridge.stdout], daemon=True).start()

    def rows(self):
        try:
            text = (self.dir / "state").read_text()
        except FileNotFoundError:
            return None
        state = dict(line.split("=", 1) for line in text.splitlines() if "=" in line)
        return [bytes.fromhex(state.get(f"row{i}_hex", "")) for i in (0, 1)]

    def resident_kib(self):
        status = Path(f"/proc/{self.bridge.pid}/status").read_text()
        return int(next(line.split()[1] for line in status.splitlines() if line.startswith("VmRSS:")))

    def stop(self):
        for process in (self.bridge, self.sim):
            process.terminate()
            try:
                process.wait(10)
            except subprocess.TimeoutExpired:
                process.kill()
                process.wait()


def put_lines(connection, lines):
    connection.request("PUT", "/v1/displays/pos/lines", body=json.dumps({"lines": lines}),
                       headers={"Content-Type": "application/json"})
    response = connection.getresponse()
    response.read()
    return response.status


def percentile(values, fraction):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(round(fraction * (len(ordered) - 1))))]


def latency(build, baud, requests):
    with tempfile.TemporaryDirectory() as directory:
        rig = Rig(build, directory, baud)
        try:
            watch = CaptureWatch(rig.capture)
            connection = http.client.HTTPConnection("127.0.0.1", rig.port, timeout=WAIT)
            put_lines(connection, ["warm", "up"])  # opens the port: the first clear is not measured
            wait_until(lambda: rig.rows() == [b"warm".ljust(20), b"up".ljust(20)], "the first screen")
            samples, sizes = [], []
            for i in range(requests):
                # Both rows change every time: the writer sends only rows that differ.
                lines = [f"Total {i:14d}", f"Item {i * 7:15d}"]
                expected = [line.encode().ljust(20) for line in lines]
                before = rig.capture.stat().st_size
                start = time.perf_counter()
                if put_lines(connection, lines) != 204:
                    raise RuntimeError("the bridge refused a request")
                wait_until(lambda: rig.rows() == expected, "the screen")
                size = rig.capture.stat().st_size
                arrived = wait_until(lambda: watch.first_time_at(size), "the capture's last growth")
                samples.append(arrived - start)
                sizes.append(size - before)
            connection.close()
        finally:
            rig.stop()
    count = statistics.median(sizes)
    wire = count * 10 / baud
    p50, p99 = statistics.median(samples), percentile(samples, 0.99)
    print(f"{baud:6d} bit/s: {requests} requests, {count:.0f} display bytes each, wire time {wire * 1000:.2f} ms; "
          f"request to last byte p50 {p50 * 1000:.2f} ms ({p50 / wire:.1%} of the wire time), "
          f"p99 {p99 * 1000:.2f} ms ({p99 / wire:.1%})")


def client(port, seconds, counter):
    connection = http.client.HTTPConnection("127.0.0.1", port, timeout=WAIT)
    deadline = time.monotonic() + seconds
    done, n = 0, os.getpid() * 1000
    while time.monotonic() < deadline:
        n += 1
        if put_lines(connection, [f"Total {n % 10**14:14d}", "sustained"]) != 204:
            raise RuntimeError("the bridge refused a request")
        done += 1
    with counter.get_lock():
        counter.value += done


def sustained(build, seconds, clients):
    with tempfile.TemporaryDirectory() as directory:
        rig = Rig(build, directory, 115200)
        try:
            counter = multiprocessing.Value("q", 0)
            workers = [multiprocessing.Process(target=client, args=(rig.port, seconds, counter))
                       for _ in range(clients)]
            for worker in workers:
                worker.start()
            time.sleep(1)  # the first resident size is the one under load, after start-up
            rss = [rig.resident_kib()]
            while any(worker.is_alive() for worker in workers):
                time.sleep(1)
                if all(worker.is_alive() for worker in workers):
                    rss.append(rig.resident_kib())
            for worker in workers:
                worker.join()
            if any(worker.exitcode != 0 for worker in workers):
                raise RuntimeError("a client failed")
            print(f"sustained: {clients} clients for {seconds} s: {counter.value / seconds:.0f} requests/s; "
                  f"bridge resident {rss[0]} KiB after 1 s, {rss[-1]} KiB at the end, {max(rss)} KiB at most "
                  f"({len(rss)} samples)")
        finally:
            rig.stop()


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", default=str(ROOT / "build/release-native"),
                        help="a native build tree holding the bridge and the simulator")
    parser.add_argument("--requests", type=int, default=500, help="latency samples per line speed")
    parser.add_argument("--seconds", type=int, default=60, help="length of the sustained run")
    parser.add_argument("--clients", type=int, default=4, help="client processes of the sustained run")
    args = parser.parse_args()
    build = Path(args.build)
    if not (build / "bridge/posix/zorn-display-bridge").exists():
        sys.exit(f"{build} holds no zorn-display-bridge: cmake --build --preset release-native (or --build DIR)")
    if not (1 <= args.requests <= 100000 and 1 <= args.seconds <= 3600 and 1 <= args.clients <= 64):
        sys.exit("--requests 1..100000, --seconds 1..3600, --clients 1..64")
    for baud in (9600, 115200):
        latency(build, baud, args.requests)
    sustained(build, args.seconds, args.clients)


if __name__ == "__main__":
    main()
