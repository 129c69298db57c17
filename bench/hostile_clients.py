#!/usr/bin/env python3
"""Measures how `migprof serve` holds against hostile clients on loopback.

Usage: hostile_clients.py MIGPROF [SCENARIO...]
Starts the server on a fresh embedded database with one account and prints
one line per scenario: slow sockets, many parallel health checks, a huge
body without a token, parallel sign-ins, password guessing. The slow
clients connect from 127.0.0.2, the measuring client from 127.0.0.1.
tests/web/attack_suite.py runs the same measurements and checks their
figures against bounds.
"""
import concurrent.futures
import os
import re
import shutil
import socket
import subprocess
import sys
import tempfile
import threading
import time
import urllib.parse

PASSWORD = "correct horse battery"


def rss_mb(pid):
    with open(f"/proc/{pid}/status") as status:
        for line in status:
            if line.startswith("VmRSS:"):
                return int(line.split()[1]) / 1024
    return 0.0


def new_database(migprof, account=True):
    """A fresh embedded database (with the account adam), as a --database value."""
    folder = tempfile.mkdtemp(dir="/dev/shm" if os.path.isdir("/dev/shm") else None)
    db = "sqlite:" + os.path.join(folder, "p.db")
    subprocess.run([migprof, "init", db[7:]], check=True, capture_output=True)
    if account:
        subprocess.run([migprof, "user", "add", "--database", db, "--as", "root", "adam"],
                       input=(PASSWORD + "\n").encode(), check=True, capture_output=True)
    return db


def remove_database(db):
    shutil.rmtree(os.path.dirname(db[len("sqlite:"):]), ignore_errors=True)


class Server:
    def __init__(self, migprof, extra=(), listen="127.0.0.1:0"):
        self.db = new_database(migprof)
        self.proc = subprocess.Popen(
            [migprof, "serve", "--database", self.db, "--listen", listen, *extra],
            stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        line = self.proc.stdout.readline().decode()
        match = re.search(r":(\d+)/", line)
        if not match:
            self.proc.wait(30)
            raise RuntimeError("migprof serve did not start: " + self.proc.stderr.read().decode())
        self.port = int(match.group(1))
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
        remove_database(self.db)

    def __enter__(self):
        return self

    def __exit__(self, *_):
        self.stop()


def exchange(port, raw, source="127.0.0.1", timeout=10.0):
    """Sends raw, returns (status or None, header block, seconds)."""
    start = time.monotonic()
    data = b""
    try:
        with socket.create_connection(("127.0.0.1", port), timeout, (source, 0)) as s:
            s.sendall(raw)
            while b"\r\n\r\n" not in data:
                chunk = s.recv(4096)
                if not chunk:
                    break
                data += chunk
        status = int(data.split(b" ", 2)[1]) if data else None
    except OSError:
        status = None
    head = data.split(b"\r\n\r\n", 1)[0].decode("latin-1")
    return status, head, time.monotonic() - start


def request(port, raw, source="127.0.0.1", timeout=10.0):
    """Sends raw, returns (status or None, seconds)."""
    status, _, seconds = exchange(port, raw, source, timeout)
    return status, seconds


def healthz(port, source="127.0.0.1", timeout=10.0):
    return request(port, b"GET /healthz HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n", source,
                   timeout)


def slow_sockets(migprof, count):
    """count sockets from 127.0.0.2 send a header line every 2 s; 10 /healthz
    from 127.0.0.1 meanwhile. Seconds of each (inf: not answered)."""
    with Server(migprof) as server:
        stop = threading.Event()

        def slow():
            try:
                with socket.create_connection(("127.0.0.1", server.port), 5,
                                              ("127.0.0.2", 0)) as s:
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
    return {"times": times}


def parallel_health(migprof, count=200):
    with Server(migprof) as server:
        with concurrent.futures.ThreadPoolExecutor(count) as pool:
            results = list(pool.map(lambda _: healthz(server.port, timeout=40), range(count)))
    return {"failed": sum(status != 200 for status, _ in results),
            "slowest": max(s for _, s in results)}


def huge_body(migprof, size=1 << 30):
    """A JSON body of size bytes claimed for /api/v1/import without a token,
    sent in 1 MiB blocks while another thread reads the answer."""
    with Server(migprof) as server:
        before = server.rss()
        start = time.monotonic()
        sent = 0
        answer = []
        try:
            with socket.create_connection(("127.0.0.1", server.port), 30) as s:
                def read():
                    data = b""
                    try:
                        while b"\r\n" not in data:
                            chunk = s.recv(4096)
                            if not chunk:
                                break
                            data += chunk
                    except OSError:
                        pass
                    answer.append(data)

                reader = threading.Thread(target=read, daemon=True)
                reader.start()
                s.sendall(b"POST /api/v1/import HTTP/1.1\r\nHost: x\r\n"
                          b"Content-Type: application/json\r\n"
                          b"Content-Length: " + str(size).encode() + b"\r\n\r\n")
                block = b"[" * (1 << 20)
                try:
                    while sent < size:
                        s.sendall(block)
                        sent += len(block)
                except OSError:
                    pass
                reader.join(10)
        except OSError:
            pass
        seconds = time.monotonic() - start
        time.sleep(0.5)
        health, _ = healthz(server.port)
        after = server.rss()
        peak = server.peak
    data = answer[0] if answer else b""
    status = int(data.split(b" ", 2)[1]) if data.startswith(b"HTTP/") else None
    return {"status": status, "sent_mib": sent >> 20, "seconds": seconds, "before": before,
            "peak": max(peak, after), "after": after, "health": health}


def sign_in(port, name, password, source="127.0.0.1", next_path=None, headers=False):
    """(status or None, seconds) of one sign-in; with headers, (status, header
    block, seconds)."""
    try:
        result = try_sign_in(port, name, password, source, next_path)
    except (OSError, AttributeError):
        result = (None, "", 60.0)
    return result if headers else (result[0], result[2])


def try_sign_in(port, name, password, source, next_path):
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
    fields = {"csrf": cookie, "name": name, "password": password}
    if next_path is not None:
        fields["next"] = next_path
    body = urllib.parse.urlencode(fields).encode()
    start = time.monotonic()
    status, head, _ = exchange(port, b"POST /signin HTTP/1.1\r\nHost: x\r\nConnection: close\r\n"
                               b"Cookie: mppre=" + cookie.encode() + b"\r\n"
                               b"Content-Type: application/x-www-form-urlencoded\r\n"
                               b"Content-Length: " + str(len(body)).encode() + b"\r\n\r\n" + body,
                               source, 60)
    return status, head, time.monotonic() - start


def parallel_sign_ins(migprof, count=128):
    """count sign-ins with a wrong password at once, each from its own address."""
    with Server(migprof) as server:
        before = server.rss()
        with concurrent.futures.ThreadPoolExecutor(count) as pool:
            results = list(pool.map(
                lambda i: sign_in(server.port, "adam", "wrong", f"127.0.1.{i % 250 + 1}"),
                range(count)))
        after = server.rss()
        peak = server.peak
    return {"before": before, "peak": max(peak, after), "after": after,
            "failed": sum(status is None for status, _ in results),
            "slowest": max(s for _, s in results)}


def guessing(migprof, tries=12):
    with Server(migprof) as server:
        # Timing first, two tries per name and address (within the free ones).
        unknown = min(sign_in(server.port, "nobody", "x", f"127.0.0.{3 + i}")[1] for i in range(2))
        known = min(sign_in(server.port, "adam", "x", f"127.0.0.{5 + i}")[1] for i in range(2))
        times = [sign_in(server.port, "adam", f"guess{i}") for i in range(tries)]
        right = sign_in(server.port, "adam", PASSWORD)
    return {"unknown": unknown, "known": known, "times": times, "right": right}


def main(argv):
    migprof, wanted = argv[1], set(argv[2:])
    scenarios = {
        "slow40": lambda: slow_sockets(migprof, 40),
        "slow200": lambda: slow_sockets(migprof, 200),
        "health200": lambda: parallel_health(migprof),
        "body": lambda: huge_body(migprof),
        "signins": lambda: parallel_sign_ins(migprof),
        "guessing": lambda: guessing(migprof),
    }
    for name, run in scenarios.items():
        if wanted and name not in wanted:
            continue
        f = run()
        if name.startswith("slow"):
            answered = [t for t in f["times"] if t != float("inf")]
            print(f"{name}: {len(answered)}/10 /healthz answered, slowest "
                  f"{max(answered) if answered else float('inf'):.3f} s")
        elif name == "health200":
            print(f"parallel_health_200: {f['failed']} failed, slowest {f['slowest']:.3f} s")
        elif name == "body":
            print(f"huge_body_1GB_no_token: answer {f['status']}; client got to send "
                  f"{f['sent_mib']} MiB in {f['seconds']:.2f} s; server RSS {f['before']:.0f} MB "
                  f"before, peak {f['peak']:.0f} MB, {f['after']:.0f} MB after; /healthz "
                  f"afterwards {f['health']}")
        elif name == "signins":
            print(f"parallel_sign_ins_128: RSS {f['before']:.0f} MB before, peak {f['peak']:.0f} "
                  f"MB, {f['after']:.0f} MB after; {f['failed']} connections failed; slowest "
                  f"{f['slowest']:.2f} s")
        else:
            print(f"wrong password, fastest answer: unknown name {f['unknown'] * 1000:.0f} ms, "
                  f"known name {f['known'] * 1000:.0f} ms")
            print("guessing: wrong passwords answered " +
                  ", ".join(f"{s} in {t:.2f} s" for s, t in f["times"]) +
                  f"; right password then: {f['right'][0]} in {f['right'][1]:.2f} s")


if __name__ == "__main__":
    main(sys.argv)
