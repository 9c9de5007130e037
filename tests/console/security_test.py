#!/usr/bin/env python3
"""The console's door: requests it must refuse are refused with the security headers and change
nothing; the secret reaches no other port; trickling clients, a second console, a linked
console.lock or viewer folder; Ctrl-C stops it cleanly.

usage: security_test.py BUILD_DIR
"""
import gzip
import hashlib
import http.client
import http.server
import json
import os
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time

failures = []
HERE = os.path.dirname(os.path.abspath(__file__))


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
        for name in sorted(set(files) - {"console.lock"}):
            path = os.path.join(root, name)
            digest.update(path.encode())
            with open(path, "rb") as f:
                digest.update(f.read())
    return digest.hexdigest()


def console(build, world, port):
    return [os.path.join(build, "qvconsole"), "--world", world, "--port", str(port)]


def refused_console(build, world, port):
    return subprocess.run(console(build, world, port), capture_output=True, text=True, timeout=60)


def request(port, method, path, body=None, headers=None):
    """(status, body, response); status 0 when the connection closed without an answer."""
    conn = http.client.HTTPConnection("127.0.0.1", port, timeout=30)
    conn.putrequest(method, path, skip_host=True, skip_accept_encoding=True)
    headers = dict({"Host": "127.0.0.1:%d" % port}, **(headers or {}))
    if body is not None:
        headers.update({"Content-Type": "application/json", "Content-Length": str(len(body))})
    for key, value in headers.items():
        conn.putheader(key, value)
    conn.endheaders()
    try:
        if body is not None:
            conn.send(body)
        response = conn.getresponse()
        return response.status, response.read(), response
    except (OSError, http.client.HTTPException):
        return 0, b"", None
    finally:
        conn.close()


class Recorder(http.server.BaseHTTPRequestHandler):
    """Another local program's server: records every request line and header it receives."""
    seen = []

    def do_GET(self):
        Recorder.seen.append(self.requestline + "\n" + str(self.headers))
        self.send_response(200)
        self.send_header("Content-Type", "text/html")
        self.end_headers()
        self.wfile.write(b'<!doctype html><title>other</title><img src="/pixel.png">')

    def log_message(self, *args):
        pass


def secure_headers(response, viewer=False):
    """The headers of every answer; the viewer's pages have a policy of their own."""
    policy = (response.getheader("Content-Security-Policy") or "") if response else ""
    return (response is not None and response.getheader("X-Content-Type-Options") == "nosniff"
            and "frame-ancestors 'none'" in policy
            and ("style-src 'unsafe-inline'" if viewer else "script-src 'self'") in policy)


def trickle(port, count, seconds, opened):
    """`count` partial requests without the secret, then one byte a second for `seconds`."""
    conns = []
    try:
        for _ in range(count):
            conns.append(socket.create_connection(("127.0.0.1", port), timeout=5))
            conns[-1].sendall(b"GET /api/state HTTP/1.1\r\nHost: 127.0.0.1:%d\r\n" % port)
        opened.set()
        for _ in range(seconds):
            time.sleep(1)
            for s in conns:
                try:
                    s.send(b"X")
                except OSError:
                    pass
    finally:
        opened.set()
        for s in conns:
            s.close()


def door(build, world, port, url, qvccfg, tmp):
    secret = url.split("s=", 1)[1]
    good = {"X-Console-Secret": secret}
    before = world_digest(world)
    status, data, _ = request(port, "GET", "/api/state", headers=good)
    check("a request with the secret is served", status == 200 and b"Asset tag" in data)
    status, page, response = request(port, "GET", "/?s=" + secret)
    check("the first page is served with the security headers and sets no cookie",
          status == 200 and response.getheader("Set-Cookie") is None and secure_headers(response))
    base = (page.split(b'<base href="', 1)[1].split(b'"', 1)[0].decode()
            if b'<base href="' in page else "/no-base/")
    # Help, Help Topics: a page for a tab of its own, behind a capability of its own.
    status, data, _ = request(port, "POST", "/api/console", b'{"command":"menuPick","id":57666}',
                              good)
    pages = json.loads(data)["console"]["open"] if status == 200 else []
    link = pages[-1]["url"] if pages else "/k/none/help/index.html"
    check("Help Topics gives a page behind a capability, not the secret",
          link.startswith("/k/") and link.endswith("/help/index.html") and secret not in link)
    token = link.split("/")[2]
    for what, path, headers, want, part in [
            ("the page's files with the page's capability", base + "web/main.js", {}, 200,
             b"import"),
            ("the help page with its capability alone", link, {}, 200, b"<h1>"),
            ("its folder's style with it too", link.replace("index.html", "help.css"), {}, 200,
             b""),
            ("a missing file: not found", "/web/nothing.js", good, 404, b""),
            ("a viewer folder linked out of the world: not found", "/viewer/page.html", good,
             404, b"")]:
        status, data, response = request(port, "GET", path, headers=headers)
        check("%s (%d)" % (what, want), base.startswith("/k/") and status == want
              and part in data and b"outside page" not in data
              and secure_headers(response, "/viewer/" in path))

    api, state, inp, cap = "/api/console", "/api/state", "/api/input", "/k/%s/" % token
    remove = b'{"command":"removeTask","id":1}'
    pick = b'{"command":"menuPick","id":32770}'
    click = b'{"kind":"click","x":' + b"[" * 9 + b"]" * 9 + b"}"
    big = b'{"kind":"text","target":1,"text":"' + b"x" * (70 * 1024) + b'"}'
    # 60,000 nested brackets in 154 bytes of gzip: inflated, past the limit; parsed, deep
    # enough to overflow the stack.
    bomb = gzip.compress(b"[" * 60000 + b"]" * 60000)
    for what, want, method, path, body, headers in [
            ("no secret", 403, "POST", api, pick, {}),
            ("a wrong secret", 403, "POST", api, pick, {"X-Console-Secret": "0" * len(secret)}),
            ("a secret one digit short", 403, "GET", state, None,
             {"X-Console-Secret": secret[:-1]}),
            ("the secret in a cookie of another console", 403, "GET", state, None,
             {"Cookie": "qvsecret%d=%s" % (port + 1, secret)}),
            ("a foreign Origin", 403, "POST", api, remove,
             dict(good, Origin="http://evil.example")),
            ("an Origin on another port", 403, "POST", api, pick,
             dict(good, Origin="http://127.0.0.1:%d" % (port + 1))),
            ("a foreign Host", 403, "GET", state, None, dict(good, Host="evil.example")),
            ("a rebinding Host", 403, "POST", api, pick, dict(good, Host="evil.example:%d" % port)),
            ("the page without the secret", 403, "GET", "/", None, {}),
            ("the state behind the page's capability", 403, "GET", base + "api/state", None, {}),
            ("a help page behind the page's capability", 403, "GET", base + "help/index.html", None,
             {}),
            ("the page's capability as the secret", 403, "GET", "/?s=" + base[3:-1], None, {}),
            ("the state with a help capability", 403, "GET", cap + "api/state", None, {}),
            ("an input with a help capability", 403, "POST", cap + "api/input",
             b'{"kind":"click"}', {}),
            ("the page's files with a help capability", 403, "GET", cap + "web/main.js", None, {}),
            ("a viewer's page with a help capability", 403, "GET", cap + "viewer/FRM2B7.FRM.html",
             None, {}),
            ("another token", 403, "GET", link.replace(token, "0" * 32), None, {}),
            # A viewer page posts its answers to itself only, behind its own capability.
            ("answers posted with the page's capability", 403, "POST",
             base + "viewer/PC-ANNA/FRM1A.FRM.html", b"Room=1", {}),
            ("answers posted to a viewer's page with a help capability", 403, "POST",
             cap + "viewer/PC-ANNA/FRM1A.FRM.html", b"Room=1", {}),
            ("a post to a help page with its capability", 403, "POST", link, b"Room=1", {}),
            ("answers to a page the viewer never wrote", 404, "POST",
             "/viewer/PC-ANNA/FRM1A.FRM.html", b"Room=1", good),
            ("a body over 64 KB", 413, "POST", inp, big, good),
            ("a body that is no JSON", 400, "POST", inp, b"{not json", good),
            ("a gzip-encoded body", 415, "POST", inp, bomb, {**good, "Content-Encoding": "gzip"}),
            ("a chunked body", 411, "POST", inp, None, {**good, "Transfer-Encoding": "chunked"}),
            ("JSON nested 32,000 deep", 400, "POST", api, b"[" * 32000 + b"]" * 32000, good),
            ("JSON nested deeper than any input", 400, "POST", inp, click, good)]:
        status, _, response = request(port, method, path, body, headers)
        check("refused (%d) with the security headers: %s" % (want, what),
              status == want and secure_headers(response, status == 404 and "/viewer/" in path))
    for path in ["/web/../world.ini", "/web/%2e%2e/%2e%2e/world.ini", "/images/..%2f..%2fworld.ini",
                 "/help/../../../../etc/passwd", "/viewer/..%2fworld.ini", "/web//etc/passwd",
                 "/98.css/%00"]:
        status, data, _ = request(port, "GET", path, headers=good)
        check("no file outside the page's folders: " + path,
              status in (400, 403, 404) and b"[World]" not in data and b"root:" not in data)

    # Another program on another loopback port, with the console open in chromium.
    recorder = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Recorder)
    threading.Thread(target=recorder.serve_forever, daemon=True).start()
    browser = subprocess.run(["node", os.path.join(HERE, "other_port.mjs"), url,
                              "http://127.0.0.1:%d/" % recorder.server_address[1]],
                             capture_output=True, text=True, timeout=120)
    recorder.shutdown()
    recorder.server_close()
    seen = "\n".join(Recorder.seen)
    check("chromium opened the console, then the other port's pages (%d requests)" % len(
        Recorder.seen), browser.returncode == 0 and "from-console" in seen and "pixel.png" in seen)
    if browser.returncode != 0:
        print(browser.stdout + browser.stderr)
    check("the other port never sees the secret", secret not in seen)

    # 200 clients without the secret that trickle their requests do not keep the user out.
    opened = threading.Event()
    slow = threading.Thread(target=trickle, args=(port, 200, 4, opened))
    slow.start()
    opened.wait(60)
    time.sleep(1.5)
    began = time.monotonic()
    status, _, _ = request(port, "GET", state, headers=good)
    took = time.monotonic() - began
    slow.join()
    check("beside 200 trickling connections, a request with the secret is answered within 1 s "
          "(%.3f s)" % took, status == 200 and took < 1.0)
    check("nothing in the world changed", world_digest(world) == before)

    second = refused_console(build, world, free_port())
    check("a second console on the same world is refused and says which one runs",
          second.returncode == 1 and "another console is running" in second.stderr
          and str(port) in second.stderr)
    other_world = os.path.join(tmp, "other")
    subprocess.run([qvccfg, "--world", other_world, "init"], check=True, capture_output=True)
    second = refused_console(build, other_world, port)
    check("a second console on another world asked for the same port is refused",
          second.returncode == 1 and ("port %d is in use" % port) in second.stderr)


def main():
    build = os.path.abspath(sys.argv[1])
    with tempfile.TemporaryDirectory() as tmp:
        world = os.path.join(tmp, "world")
        qvccfg = os.path.join(build, "qvccfg")
        subprocess.run([qvccfg, "--world", world, "init"], check=True, capture_output=True)
        # A task for the refused removals to keep; the viewer folder linked out of the world.
        subprocess.run([qvccfg, "--world", world, "schedule", "Asset tag"], check=True,
                       capture_output=True)
        outside = os.path.join(tmp, "outside")
        os.makedirs(outside)
        victim = os.path.join(outside, "victim")
        for path, text in ((victim, "keep me\n"),
                           (os.path.join(outside, "page.html"), "outside page")):
            with open(path, "w") as f:
                f.write(text)
        viewer = os.path.join(world, "viewer")
        if os.path.isdir(viewer):
            os.rename(viewer, os.path.join(tmp, "viewer.before"))
        os.symlink(outside, viewer)

        port = free_port()
        qvconsole = subprocess.Popen(console(build, world, port), stdout=subprocess.PIPE,
                                     stderr=subprocess.PIPE, text=True)
        url = next((line.strip() for line in qvconsole.stdout
                    if line.startswith("http://127.0.0.1:")), None)
        try:
            if url is None:
                raise SystemExit("the console printed no address: " + qvconsole.stderr.read())
            door(build, world, port, url, qvccfg, tmp)
        finally:
            qvconsole.send_signal(signal.SIGINT)
            try:
                rest = qvconsole.communicate(timeout=30)[0]
            except subprocess.TimeoutExpired:
                qvconsole.kill()
                rest = qvconsole.communicate()[0]
        check("Ctrl-C stops the console cleanly (status 0)",
              qvconsole.returncode == 0 and "The console stopped." in rest)
        lock = os.path.join(world, "console.lock")

        # A console.lock planted as a link out of the world is never written through.
        for kind, make in (("symbolic", os.symlink), ("hard", os.link)):
            os.remove(lock)
            make(victim, lock)
            run = refused_console(build, world, free_port())
            check("a console.lock that is a %s link out of the world is refused" % kind,
                  run.returncode == 1 and "console.lock" in run.stderr)
        with open(victim) as f:
            check("the console wrote nothing outside the world; the linked file kept its bytes",
                  sorted(os.listdir(outside)) == ["page.html", "victim"]
                  and f.read() == "keep me\n")
    if failures:
        print("%d failed" % len(failures))
        sys.exit(1)


if __name__ == "__main__":
    main()
