#!/usr/bin/env python3
"""The console's door: requests without the run's secret, from another site or host, too
large, or reaching for files outside the page's folders are refused and change nothing; a
second console on the same world is refused; Ctrl-C stops the console cleanly.

usage: security_test.py BUILD_DIR
"""
import hashlib
import http.client
import os
import signal
import socket
import subprocess
import sys
import tempfile
import time

failures = []


def check(what, ok):
    print(("ok   " if ok else "FAIL ") + what)
    if not ok:
        failures.append(what)


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def world_digest(world):
    digest = hashlib.sha256()
    for root, dirs, files in os.walk(world):
        dirs.sort()
        for name in sorted(files):
            if name == "console.lock":
                continue
            path = os.path.join(root, name)
            digest.update(path.encode())
            with open(path, "rb") as f:
                digest.update(f.read())
    return digest.hexdigest()


def start(build, world, port):
    console = subprocess.Popen([os.path.join(build, "qvconsole"), "--world", world, "--port",
                                str(port)], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                               text=True)
    for line in console.stdout:
        if line.startswith("http://127.0.0.1:"):
            return console, line.strip()
    raise SystemExit("the console printed no address: " + console.stderr.read())


def request(port, method, path, body=None, headers=None):
    conn = http.client.HTTPConnection("127.0.0.1", port, timeout=30)
    conn.putrequest(method, path, skip_host=True, skip_accept_encoding=True)
    headers = dict(headers or {})
    headers.setdefault("Host", "127.0.0.1:%d" % port)
    if body is not None:
        headers["Content-Type"] = "application/json"
        headers["Content-Length"] = str(len(body))
    for key, value in headers.items():
        conn.putheader(key, value)
    conn.endheaders()
    if body is not None:
        conn.send(body)
    response = conn.getresponse()
    data = response.read()
    conn.close()
    return response.status, data, response.getheader("Set-Cookie") or ""


def planted_links(build, world, tmp):
    """A console.lock or viewer folder planted as a link out of the world is never written or
    served through."""
    outside = os.path.join(tmp, "outside")
    os.makedirs(outside)
    victim = os.path.join(outside, "victim")
    with open(victim, "w") as f:
        f.write("keep me\n")
    lock = os.path.join(world, "console.lock")
    for kind in ("symbolic", "hard"):
        os.remove(lock)
        (os.symlink if kind == "symbolic" else os.link)(victim, lock)
        run = subprocess.run([os.path.join(build, "qvconsole"), "--world", world, "--port",
                              str(free_port())], capture_output=True, text=True, timeout=60)
        with open(victim) as f:
            kept = f.read()
        check("a console.lock that is a %s link out of the world is refused" % kind,
              run.returncode == 1 and "console.lock" in run.stderr and kept == "keep me\n")
    os.remove(lock)

    viewer = os.path.join(world, "viewer")
    if os.path.isdir(viewer):
        os.rename(viewer, os.path.join(tmp, "viewer.before"))
    with open(os.path.join(outside, "page.html"), "w") as f:
        f.write("outside page")
    os.symlink(outside, viewer)
    port = free_port()
    console, url = start(build, world, port)
    try:
        secret = url.split("s=", 1)[1]
        status, data, _ = request(port, "GET", "/viewer/page.html",
                                  headers={"X-Console-Secret": secret})
        check("a viewer folder linked out of the world is not served",
              status == 404 and b"outside page" not in data)
    finally:
        console.send_signal(signal.SIGINT)
        console.communicate(timeout=30)
    check("the console wrote nothing outside the world",
          sorted(os.listdir(outside)) == ["page.html", "victim"])
    with open(victim) as f:
        check("the linked file outside kept its bytes", f.read() == "keep me\n")


def main():
    build = os.path.abspath(sys.argv[1])
    with tempfile.TemporaryDirectory() as tmp:
        world = os.path.join(tmp, "world")
        qvccfg = os.path.join(build, "qvccfg")
        subprocess.run([qvccfg, "--world", world, "init"], check=True, capture_output=True)
        # A scheduled task, for the refused removals to leave in place.
        subprocess.run([qvccfg, "--world", world, "schedule", "Asset tag"], check=True,
                       capture_output=True)
        port = free_port()
        console, url = start(build, world, port)
        secret = url.split("s=", 1)[1]
        good = {"X-Console-Secret": secret}
        try:
            before = world_digest(world)
            status, data, _ = request(port, "GET", "/api/state", headers=good)
            check("a request with the secret is served", status == 200 and b"Asset tag" in data)

            remove = b'{"command":"removeTask","id":1}'
            pick = b'{"command":"menuPick","id":32770}'
            refused = [
                ("no secret", "POST", "/api/console", pick, {}),
                ("a wrong secret", "POST", "/api/console", pick,
                 {"X-Console-Secret": "0" * len(secret)}),
                ("a secret one digit short", "GET", "/api/state", None,
                 {"X-Console-Secret": secret[:-1]}),
                ("the secret in a cookie of another console", "GET", "/api/state", None,
                 {"Cookie": "qvsecret%d=%s" % (port + 1, secret)}),
                ("a foreign Origin", "POST", "/api/console", remove,
                 dict(good, Origin="http://evil.example")),
                ("an Origin on another port", "POST", "/api/console", pick,
                 dict(good, Origin="http://127.0.0.1:%d" % (port + 1))),
                ("a foreign Host", "GET", "/api/state", None, dict(good, Host="evil.example")),
                ("a rebinding Host", "POST", "/api/console", pick,
                 dict(good, Host="evil.example:%d" % port)),
            ]
            for what, method, path, body, headers in refused:
                status, _, _ = request(port, method, path, body, headers)
                check("refused (403): " + what, status == 403)

            big = b'{"kind":"text","target":1,"text":"' + b"x" * (70 * 1024) + b'"}'
            status, _, _ = request(port, "POST", "/api/input", big, good)
            check("refused (413): a body over 64 KB", status == 413)
            status, _, _ = request(port, "POST", "/api/input", b"{not json", good)
            check("refused (400): a body that is no JSON", status == 400)

            for path in ["/web/../world.ini", "/web/%2e%2e/%2e%2e/world.ini",
                         "/images/..%2f..%2fworld.ini", "/help/../../../../etc/passwd",
                         "/viewer/..%2fworld.ini", "/web//etc/passwd", "/98.css/%00"]:
                status, data, _ = request(port, "GET", path, headers=good)
                check("no file outside the page's folders: " + path,
                      status in (400, 403, 404) and b"[World]" not in data and b"root:" not in data)

            status, page, cookie = request(port, "GET", "/?s=" + secret)
            check("the first page is served and keeps the secret in a strict cookie",
                  status == 200 and ("qvsecret%d=%s" % (port, secret)) in cookie
                  and "HttpOnly" in cookie and "SameSite=Strict" in cookie)
            status, _, _ = request(port, "GET", "/api/state",
                                   headers={"Cookie": "a=b; qvsecret%d=%s" % (port, secret)})
            check("the cookie opens the door", status == 200)

            check("nothing in the world changed", world_digest(world) == before)

            other_port = free_port()
            second = subprocess.run([os.path.join(build, "qvconsole"), "--world", world,
                                     "--port", str(other_port)], capture_output=True, text=True,
                                    timeout=60)
            check("a second console on the same world is refused and says which one runs",
                  second.returncode == 1 and "another console is running" in second.stderr
                  and str(port) in second.stderr)
        finally:
            console.send_signal(signal.SIGINT)
            try:
                rest, err = console.communicate(timeout=30)
            except subprocess.TimeoutExpired:
                console.kill()
                rest, err = console.communicate()
        check("Ctrl-C stops the console cleanly (status 0)",
              console.returncode == 0 and "The console stopped." in rest)
        check("the console's lock is given back",
              subprocess.run(["flock", "-n", os.path.join(world, "console.lock"), "true"])
              .returncode == 0)
        planted_links(build, world, tmp)
    if failures:
        print("%d failed" % len(failures))
        sys.exit(1)


if __name__ == "__main__":
    main()
