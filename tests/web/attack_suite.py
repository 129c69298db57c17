#!/usr/bin/env python3
"""`migprof serve` attacked from loopback, each attack checked against a bound.

Usage: attack_suite.py MIGPROF [CASE...]
Each case starts its own server on a fresh embedded database (measurements
from bench/hostile_clients.py), prints one line per check with its figure
and bound, and the run ends with "N passed, N failed"; the exit status is 1
when any check failed. Slow and guessing clients come from other 127.x
addresses than the measuring one. Python's standard library only.
"""
import http.client
import os
import shutil
import ssl
import subprocess
import sys
import tempfile
import time
import urllib.parse

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "bench"))
import hostile_clients as hc  # noqa: E402

MIGPROF = sys.argv[1]
WANTED = set(sys.argv[2:])
RESULTS = []


def check(name, ok, figure, bound):
    RESULTS.append(ok)
    print(f"{'PASS' if ok else 'FAIL'} {name}: {figure} (bound: {bound})", flush=True)


def fetch(port, method, path, source="127.0.0.1", headers=None, body=None, tls=None):
    """(status, list of (header, value), body) of one request."""
    if tls is None:
        conn = http.client.HTTPConnection("127.0.0.1", port, timeout=60,
                                          source_address=(source, 0))
    else:
        conn = http.client.HTTPSConnection("127.0.0.1", port, timeout=60,
                                           source_address=(source, 0), context=tls)
    try:
        conn.request(method, path, body=body, headers=headers or {})
        res = conn.getresponse()
        return res.status, res.getheaders(), res.read()
    finally:
        conn.close()


def all_of(headers, name):
    return [v for k, v in headers if k.lower() == name.lower()]


def form_token(headers):
    for cookie in all_of(headers, "Set-Cookie"):
        if cookie.startswith("mppre="):
            return cookie.split(";", 1)[0][len("mppre="):]
    raise AssertionError("the sign-in page set no form token")


def sign_in_headers(port, source="127.0.0.1", extra=None, tls=None):
    """Headers of the sign-in page and of a right sign-in as adam."""
    _, page, _ = fetch(port, "GET", "/signin", source, extra, tls=tls)
    token = form_token(page)
    body = urllib.parse.urlencode({"csrf": token, "name": "adam", "password": hc.PASSWORD})
    status, answer, _ = fetch(port, "POST", "/signin", source,
                              {**(extra or {}), "Cookie": "mppre=" + token,
                               "Content-Type": "application/x-www-form-urlencoded"}, body, tls)
    return page + answer, status


def https_marks(headers):
    """(every cookie carries Secure, HSTS sent) of a set of answer headers."""
    cookies = all_of(headers, "Set-Cookie")
    secure = bool(cookies) and all("; Secure" in c for c in cookies)
    return secure, bool(all_of(headers, "Strict-Transport-Security"))


def slow_clients():
    times = hc.slow_sockets(MIGPROF, 200)["times"]
    check("200 slow sockets from 127.0.0.2: slowest of 10 /healthz from 127.0.0.1",
          max(times) <= 1.0, f"{max(times):.3f} s", "<= 1 s, all answered")


def huge_body():
    f = hc.huge_body(MIGPROF)
    check("1 GiB body to /api/v1/import without a token: answer", f["status"] == 401,
          f"{f['status']} after {f['sent_mib']} MiB sent", "401")
    check("1 GiB body without a token: server peak RSS", f["peak"] < 100,
          f"{f['peak']:.0f} MB (before {f['before']:.0f} MB)", "< 100 MB")
    check("1 GiB body without a token: /healthz afterwards", f["health"] == 200, f["health"], "200")


def parallel_sign_ins():
    f = hc.parallel_sign_ins(MIGPROF, 128)
    check("128 parallel sign-ins: server peak RSS", f["peak"] < 300,
          f"{f['peak']:.0f} MB (before {f['before']:.0f} MB, slowest {f['slowest']:.1f} s)",
          "< 300 MB")
    check("128 parallel sign-ins: connections without an answer", f["failed"] == 0, f["failed"],
          "0")


def guessing():
    with hc.Server(MIGPROF) as server:
        # An unknown name must cost a password hash as a known one does.
        unknown = min(hc.sign_in(server.port, "nobody", "x", f"127.0.3.{i}")[1] for i in (1, 2, 3))
        known = min(hc.sign_in(server.port, "adam", "x", f"127.0.3.{i}")[1] for i in (4, 5, 6))
        check("wrong password: fastest answer for an unknown name / a known one",
              unknown >= known / 3, f"{unknown * 1000:.0f} ms / {known * 1000:.0f} ms",
              ">= 1/3")
        # Ten wrong passwords for one name from ten addresses, and for ten
        # names from one address.
        rows = [("one account, ten addresses", lambda i: ("adam", f"127.0.4.{i + 1}")),
                ("one address, ten names", lambda i: (f"guess{i}", "127.0.5.1"))]
        for label, who in rows:
            answers = []
            for i in range(10):
                name, source = who(i)
                start = time.monotonic()
                head = hc.sign_in(server.port, name, f"wrong{i}", source, headers=True)[1]
                answers.append((head, time.monotonic() - start))
            first = answers[0][0].split(" ", 2)[1] if answers[0][0] else None
            tenth, seconds = answers[-1]
            refused = tenth.startswith("HTTP/1.1 429") and "\r\nRetry-After: " in tenth
            check(f"{label}: first wrong password answered 401, tenth",
                  first == "401" and (refused or seconds >= 1.0),
                  f"first {first}, tenth {tenth[:12]!r} in {seconds:.2f} s",
                  "429 with Retry-After, or delayed >= 1 s")


def redirects():
    # The return address after sign-in: only a path of this server.
    cases = [("/\t/localhost:1/pwned.html", False), ("//evil.example/x", False),
             ("/\\evil.example/x", False), ("https://evil.example/x", False),
             ("/%2F/evil.example/x", False), ("/ /evil.example", False),
             ("/activity?day=2026-01-01", True)]
    with hc.Server(MIGPROF) as server:
        for next_path, kept in cases:
            # next as the server reads it from the form (next=/%09/... in a link).
            status, head, _ = hc.sign_in(server.port, "adam", hc.PASSWORD,
                                         next_path=next_path, headers=True)
            location = next((line.split(": ", 1)[1] for line in head.split("\r\n")
                             if line.lower().startswith("location: ")), "")
            target = urllib.parse.urljoin(f"http://127.0.0.1:{server.port}/signin", location)
            same = (status == 303 and location.startswith("/") and location[1:2] not in "/\\"
                    and all(0x20 < ord(c) < 0x7f for c in location)
                    and urllib.parse.urlsplit(target).netloc == f"127.0.0.1:{server.port}")
            ok = same and (location == next_path) == kept
            check(f"next={next_path!r} after sign-in", ok, f"{status} Location {location!r}",
                  "same-origin path" + (", kept" if kept else ", replaced"))


def start_refusal(db, *args):
    """(exit status, standard error) of migprof serve started with args, or
    (None, "") when it serves (it is stopped then)."""
    proc = subprocess.Popen([MIGPROF, "serve", "--database", db, *args],
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    if proc.stdout.readline().startswith(b"Serving "):
        proc.terminate()
        proc.communicate(timeout=30)
        return None, ""
    _, err = proc.communicate(timeout=30)
    return proc.returncode, err.decode()


def start_checks():
    bare = hc.new_database(MIGPROF, account=False)
    # --behind-tls-proxy: the only refusal left is the one for accounts.
    for listen, refused in [("127.0.0.1.evil.invalid:0", True), ("localhost.evil.invalid:0", True),
                            ("127.0.0.1:0", False)]:
        status, err = start_refusal(bare, "--listen", listen, "--behind-tls-proxy")
        ok = ("without accounts" in err and status not in (None, 0)) if refused else status is None
        check(f"no accounts, --listen {listen}", ok,
              f"exit {status}: {err.strip()[:70]!r}" if status is not None else "serving",
              "refused at start" if refused else "serves")
    hc.remove_database(bare)
    db = hc.new_database(MIGPROF)
    for args, refused in [(["--threads", "16"], True),
                          (["--threads", "8", "--max-client-connections", "7"], False)]:
        status, err = start_refusal(db, "--listen", "127.0.0.1:0", *args)
        ok = ("--max-client-connections" in err and "--threads" in err
              and status not in (None, 0)) if refused else status is None
        check(f"{' '.join(args)} (16 per address unless given)", ok,
              f"exit {status}: {err.strip()[:70]!r}" if status is not None else "serving",
              "refused at start" if refused else "serves")
    hc.remove_database(db)


def tls():
    if shutil.which("openssl") is None:
        print("SKIP TLS: no openssl command to make a throwaway certificate", flush=True)
        return
    with tempfile.TemporaryDirectory() as folder:
        cert, key = os.path.join(folder, "c.pem"), os.path.join(folder, "k.pem")
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1",
                        "-subj", "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1",
                        "-keyout", key, "-out", cert], check=True, capture_output=True)
        context = ssl.create_default_context(cafile=cert)
        with hc.Server(MIGPROF, ["--tls-cert", cert, "--tls-key", key]) as server:
            headers, status = sign_in_headers(server.port, tls=context)
    secure, hsts = https_marks(headers)
    check("--tls-cert: cookies of the sign-in page and the session, HSTS",
          status == 303 and secure and hsts, f"sign-in {status}, Secure {secure}, HSTS {hsts}",
          "Secure on every cookie, HSTS sent")


def proxy():
    # Only the trusted proxy's word that the browser used HTTPS counts.
    cases = [("127.0.0.3", {"X-Forwarded-Proto": "https"}, True),
             ("127.0.0.3", {}, False),
             ("127.0.0.1", {"X-Forwarded-Proto": "https"}, False)]
    with hc.Server(MIGPROF, ["--trusted-proxy", "127.0.0.3"]) as server:
        for source, extra, expected in cases:
            headers, status = sign_in_headers(server.port, source, extra)
            secure, hsts = https_marks(headers)
            check(f"trusted proxy 127.0.0.3, request from {source} {extra or 'without a header'}",
                  status == 303 and secure == expected and hsts == expected,
                  f"sign-in {status}, Secure {secure}, HSTS {hsts}",
                  "Secure and HSTS" if expected else "neither")


CASES = {"slow": slow_clients, "body": huge_body, "signins": parallel_sign_ins,
         "guessing": guessing, "redirect": redirects, "start": start_checks, "tls": tls,
         "proxy": proxy}
started = time.monotonic()
for case_name, run in CASES.items():
    if not WANTED or case_name in WANTED:
        try:
            run()
        except Exception as failure:  # a case that broke counts as failed
            check(f"{case_name} ran through", False, repr(failure), "no error")
print(f"attack suite: {time.monotonic() - started:.0f} s")
print(f"{sum(RESULTS)} passed, {len(RESULTS) - sum(RESULTS)} failed")
sys.exit(0 if RESULTS and all(RESULTS) else 1)
