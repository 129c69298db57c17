#!/usr/bin/env python3
"""Measures how `migprof serve` holds against hostile clients on loopback.

Usage: hostile_clients.py MIGPROF [SCENARIO...]
Starts the server on a fresh embedded database with one account and prints
one line per scenario: slow sockets, many parallel health checks, a huge
body without a token, parallel sign-ins, password guessing. The slow
clients connect from 127.0.0.2, the measuring client from 127.0.0.1.
"""
import concurrent.futures
import os
import re
import socket
import subprocess
import sys
import tempfile
import threading
import time
import urllib.parse

MIGPROF = sys.argv[1]
WANTED = set(sys.argv[2:])


def rss_mb(pid):
    with open(f"/proc/{pid}/status") as status:
        for line in status:
            if line.startswith("VmRSS:"):
                return int(line.split()[1]) / 1024
    return 0.0


class Server:
    def __init__(self, extra=()):
        self.dir = tempfile.mkdtemp(dir="/dev/shm" if os.path.isdir("/dev/shm") else None)
        self.db = "sqlite:" + os.path.join(self.dir, "p.db")
        subprocess.run([MIGPROF, "init", self.db[7:]], check=True, capture_output=True)
        subprocess.run([MIGPROF, "user", "add", "--database", self.db, "--as", "root", "adam"],
                       input=b"correct horse battery\n", check=True, capture_output=True)
        self.proc = subprocess.Popen(
            [MIGPROF, "serve", "--database", self.db, "--listen", "127.0.0.1:0", *extra],
            stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        line = self.proc.stdout.readline().decode()
        self.port = int(re.search(r":(\d+)/", line).group(1))
        self.peak = 0.0
        self._watching = True
        threading.Thread(target=self._watch, daemon=True).start()

    def _watch(self):
        while self._watching and self.proc.poll() is None:
            self.peak = max(self.peak, rss_mb(self.proc.pid))
            time.sleep(0.02)

    def rss(self):
        return rss_mb(self.proc.pid)

    def stop(self):
        self._watching = False
        self.proc.terminate()
        self.proc.wait(30)


def request(port, raw, source="127.0.0.1", timeout=10.0):
    """Sends raw, returns (status or None, seconds)."""
    start = time.monotonic()
    try:
        with socket.create_connection(("127.0.0.1", port), timeout, (source, 0)) as s:
            s.sendall(raw)
            data = b""
            while b"\r\n\r\n" not in data:
                chunk = s.recv(4096)
                if not chunk:
                    break
                data += chunk
        status = int(data.split(b" ", 2)[1]) if data else None
    except OSError:
        status = None
    return status, time.monotonic() - start


def healthz(port, source="127.0.0.1", timeout=10.0):
    return request(port, b"GET /healthz HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n", source,
                   timeout)


def slow_sockets(count):
    server = Server()
    stop = threading.Event()

    def slow():
        try:
            with socket.create_connection(("127.0.0.1", server.port), 5, ("127.0.0.2", 0)) as s:
                s.sendall(b"GET /healthz HTTP/1.1\r\n")
                while not stop.wait(2):
                    s.sendall(b"X-Slow: 1\r\n")
        except OSError:
            pass

    threads = [threading.Thread(target=slow, daemon=True) for _ in range(count)]
    for t in threads:
        t.start()
    time.sleep(3)
    times = []
    for _ in range(10):
        status, seconds = healthz(server.port, timeout=8)
        times.append(seconds if status == 200 else float("inf"))
        time.sleep(0.5)
    stop.set()
    server.stop()
    answered = sum(t != float("inf") for t in times)
    print(f"slow_sockets_{count}: {answered}/10 /healthz answered, slowest "
          f"{max(t for t in times if t != float('inf')) if answered else float('inf'):.3f} s")


def parallel_health(count=200):
    server = Server()
    with concurrent.futures.ThreadPoolExecutor(count) as pool:
        results = list(pool.map(lambda _: healthz(server.port, timeout=40), range(count)))
    server.stop()
    failed = sum(status != 200 for status, _ in results)
    print(f"parallel_health_{count}: {failed} failed, slowest {max(s for _, s in results):.3f} s")


def huge_body(size=1 << 30):
    server = Server()
    before = server.rss()
    start = time.monotonic()
    sent = 0
    status = None
    try:
        with socket.create_connection(("127.0.0.1", server.port), 30) as s:
            s.sendall(b"POST /api/v1/import HTTP/1.1\r\nHost: x\r\nContent-Type: application/json\r\n"
                      b"Content-Length: " + str(size).encode() + b"\r\n\r\n")
            block = b"[" * (1 << 20)
            while sent < size:
                s.sendall(block)
                sent += len(block)
    except OSError:
        pass
    seconds = time.monotonic() - start
    time.sleep(0.5)
    status, _ = healthz(server.port)
    after = server.rss()
    server.stop()
    print(f"huge_body_1GB_no_token: client got to send {sent >> 20} MiB in {seconds:.2f} s; "
          f"server RSS {before:.0f} MB before, peak {server.peak:.0f} MB, {after:.0f} MB after; "
          f"/healthz afterwards {status}")


def sign_in(port, name, password, source="127.0.0.1"):
    try:
        return try_sign_in(port, name, password, source)
    except (OSError, AttributeError):
        return None, 60.0


def try_sign_in(port, name, password, source):
    # The sign-in form's token comes with its page.
    with socket.create_connection(("127.0.0.1", port), 60, (source, 0)) as s:
        s.sendall(b"GET /signin HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n")
        page = b""
        while True:
            chunk = s.recv(65536)
            if not chunk:
                break
            page += chunk
    cookie = re.search(rb"mppre=([0-9a-f]+)", page).group(1).decode()
    body = urllib.parse.urlencode({"csrf": cookie, "name": name, "password": password}).encode()
    start = time.monotonic()
    status, _ = request(port, b"POST /signin HTTP/1.1\r\nHost: x\r\nConnection: close\r\n"
                        b"Cookie: mppre=" + cookie.encode() + b"\r\n"
                        b"Content-Type: application/x-www-form-urlencoded\r\n"
                        b"Content-Length: " + str(len(body)).encode() + b"\r\n\r\n" + body,
                        source, 60)
    return status, time.monotonic() - start


def parallel_sign_ins(count=128):
    server = Server()
    before = server.rss()
    with concurrent.futures.ThreadPoolExecutor(count) as pool:
        results = list(pool.map(
            lambda i: sign_in(server.port, "adam", "wrong", f"127.0.1.{i % 250 + 1}"), range(count)))
    after = server.rss()
    server.stop()
    failed = sum(status is None for status, _ in results)
    print(f"parallel_sign_ins_{count}: RSS {before:.0f} MB before, peak {server.peak:.0f} MB, "
          f"{after:.0f} MB after; {failed} connections failed; slowest "
          f"{max(s for _, s in results):.2f} s")


def guessing(tries=12):
    server = Server()
    # Timing first, two tries per name and address (within the free ones).
    unknown = min(sign_in(server.port, "nobody", "x", f"127.0.0.{3 + i}")[1] for i in range(2))
    known = min(sign_in(server.port, "adam", "x", f"127.0.0.{5 + i}")[1] for i in range(2))
    times = [sign_in(server.port, "adam", f"guess{i}") for i in range(tries)]
    right, right_time = sign_in(server.port, "adam", "correct horse battery")
    server.stop()
    print(f"wrong password, fastest answer: unknown name {unknown * 1000:.0f} ms, known name "
          f"{known * 1000:.0f} ms")
    print("guessing: wrong passwords answered " + ", ".join(f"{s} in {t:.2f} s" for s, t in times) +
          f"; right password then: {right} in {right_time:.2f} s")


SCENARIOS = {
    "slow40": lambda: slow_sockets(40),
    "slow200": lambda: slow_sockets(200),
    "health200": parallel_health,
    "body": huge_body,
    "signins": parallel_sign_ins,
    "guessing": guessing,
}
for name, run in SCENARIOS.items():
    if not WANTED or name in WANTED:
        run()
