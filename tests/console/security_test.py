#!/usr/bin/env python3
"""The console's door: requests without the run's secret, from another site or host, too
large, encoded or nested too deep, or reaching for files outside the page's folders are
refused and change nothing; capabilities open only their own pages; the browser gives the
secret to no other port of 127.0.0.1; clients trickling requests without the secret do not
keep the user out; every answer carries the security headers; a second console on the same
world or the same port is refused; Ctrl-C stops the console cleanly.

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
    try:
        response = conn.getresponse()
        data = response.read()
    except (OSError, http.client.HTTPException):
        return 0, b"", None  # closed without an answer
    finally:
        conn.close()
    return response.status, data, response


def raw(port, data):
    """Sends bytes as they are; the status of the answer (0 when the connection was closed
    without one)."""
    with socket.create_connection(("127.0.0.1", port), timeout=15) as s:
        s.sendall(data)
        answer = b""
        while b"\r\n" not in answer:
            chunk = s.recv(4096)
            if not chunk:
                break
            answer += chunk
    parts = answer.split(b" ", 2)
    return int(parts[1]) if len(parts) > 1 and parts[1].isdigit() else 0


class Recorder(http.server.BaseHTTPRequestHandler):
    """Another local program's server: records every request line and header it receives."""
    seen = []

    def do_GET(self):
        Recorder.seen.append(self.requestline + "\n" + str(self.headers))
        body = b'<!doctype html><title>other</title><img src="/pixel.png"><p>another program</p>'
        self.send_response(200)
        self.send_header("Content-Type", "text/html")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, *args):
        pass


def secure_headers(response, policy_part="script-src 'self'"):
    return response is not None and (response.getheader("X-Content-Type-Options") == "nosniff"
            and "frame-ancestors 'none'" in (response.getheader("Content-Security-Policy") or "")
            and policy_part in (response.getheader("Content-Security-Policy") or ""))


def trickle(port, count, seconds, opened):
    """`count` connections that each send a partial request without the secret, then one byte
    a second for `seconds`; closed at the end."""
    conns = []
    try:
        for _ in range(count):
            s = socket.create_connection(("127.0.0.1", port), timeout=5)
            s.sendall(b"GET /api/state HTTP/1.1\r\nHost: 127.0.0.1:%d\r\n" % port)
            conns.append(s)
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
            # 60,000 nested brackets in 154 bytes of gzip: inflated, past the limit; parsed,
            # deep enough to overflow the stack.
            bomb = gzip.compress(b"[" * 60000 + b"]" * 60000)
            status, _, _ = request(port, "POST", "/api/input", bomb,
                                   dict(good, **{"Content-Encoding": "gzip"}))
            check("refused (415): a gzip-encoded body", status == 415)
            status = raw(port, b"POST /api/input HTTP/1.1\r\nHost: 127.0.0.1:%d\r\n"
                         b"X-Console-Secret: %s\r\nTransfer-Encoding: chunked\r\n\r\n"
                         b"5\r\n[[[[[\r\n0\r\n\r\n" % (port, secret.encode()))
            check("refused (411): a chunked body", status == 411)
            deep = b"[" * 32000 + b"]" * 32000
            status, _, _ = request(port, "POST", "/api/console", deep, good)
            check("refused (400): JSON nested 32,000 deep", status == 400)
            status, _, _ = request(port, "POST", "/api/input", b'{"kind":"click","x":' +
                                   b"[" * 9 + b"]" * 9 + b"}", good)
            check("refused (400): JSON nested deeper than any input", status == 400)
            status, _, _ = request(port, "GET", "/api/state", headers=good)
            check("the console still answers", status == 200)

            for path in ["/web/../world.ini", "/web/%2e%2e/%2e%2e/world.ini",
                         "/images/..%2f..%2fworld.ini", "/help/../../../../etc/passwd",
                         "/viewer/..%2fworld.ini", "/web//etc/passwd", "/98.css/%00"]:
                status, data, _ = request(port, "GET", path, headers=good)
                check("no file outside the page's folders: " + path,
                      status in (400, 403, 404) and b"[World]" not in data and b"root:" not in data)

            status, page, response = request(port, "GET", "/?s=" + secret)
            check("the first page is served and sets no cookie",
                  status == 200 and response.getheader("Set-Cookie") is None)
            check("the page carries the security headers", secure_headers(response))
            base = (page.split(b'<base href="', 1)[1].split(b'"', 1)[0].decode()
                    if b'<base href="' in page else "/no-base/")
            status, _, _ = request(port, "GET", "/")
            check("refused (403): the page without the secret", status == 403)
            status, script, response = request(port, "GET", base + "web/main.js")
            check("the page's files open with the page's capability",
                  base.startswith("/k/") and status == 200 and b"import" in script
                  and secure_headers(response))
            for what, path in [("the state", base + "api/state"),
                               ("a help page", base + "help/index.html"),
                               ("the page's capability as the secret", "/?s=" + base[3:-1])]:
                status, _, _ = request(port, "GET", path)
                check("refused (403): %s behind the page's capability" % what, status == 403)

            # Help, Help Topics: a page for a tab of its own, behind a capability of its own.
            status, data, _ = request(port, "POST", "/api/console",
                                      b'{"command":"menuPick","id":57666}', good)
            pages = json.loads(data)["console"]["open"] if status == 200 else []
            link = pages[-1]["url"] if pages else ""
            check("Help Topics gives a page behind a capability, not the secret",
                  link.startswith("/k/") and link.endswith("/help/index.html")
                  and secret not in link)
            status, data, response = request(port, "GET", link)
            check("the help page opens with its capability alone",
                  status == 200 and b"<h1>" in data and secure_headers(response))
            status, _, _ = request(port, "GET", link.replace("index.html", "help.css"))
            check("its folder's style opens with it too", status == 200)
            token = link.split("/")[2]
            for what, method, path, body in [
                    ("the state", "GET", "/k/%s/api/state" % token, None),
                    ("an input", "POST", "/k/%s/api/input" % token, b'{"kind":"click"}'),
                    ("the page's files", "GET", "/k/%s/web/main.js" % token, None),
                    ("a viewer's page", "GET", "/k/%s/viewer/FRM2B7.FRM.html" % token, None),
                    ("another token", "GET", link.replace(token, "0" * 32), None)]:
                status, _, _ = request(port, method, path, body)
                check("refused (403): %s with a help capability" % what, status == 403)

            status, _, response = request(port, "GET", "/api/state")
            check("a door's refusal carries the security headers",
                  status == 403 and secure_headers(response))
            status, _, response = request(port, "GET", "/web/nothing.js", headers=good)
            check("a missing file's answer carries the security headers",
                  status == 404 and secure_headers(response))

            # Another program on another loopback port, with the console open in chromium.
            recorder = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Recorder)
            other_url = "http://127.0.0.1:%d/" % recorder.server_address[1]
            serving = threading.Thread(target=recorder.serve_forever, daemon=True)
            serving.start()
            browser = subprocess.run(["node", os.path.join(HERE, "other_port.mjs"), url,
                                      other_url], capture_output=True, text=True, timeout=120)
            recorder.shutdown()
            recorder.server_close()
            seen = "\n".join(Recorder.seen)
            check("chromium opened the console, then the other port's pages (%d requests)"
                  % len(Recorder.seen),
                  browser.returncode == 0 and "from-console" in seen and "pixel.png" in seen)
            if browser.returncode != 0:
                print(browser.stdout + browser.stderr)
            check("the other port never sees the secret", secret not in seen)

            # 200 clients without the secret that trickle their requests do not keep the
            # user out.
            opened = threading.Event()
            slow = threading.Thread(target=trickle, args=(port, 200, 4, opened))
            slow.start()
            opened.wait(60)
            time.sleep(1.5)
            began = time.monotonic()
            try:
                status, _, _ = request(port, "GET", "/api/state", headers=good)
            except OSError:
                status = 0
            took = time.monotonic() - began
            slow.join()
            print("     (answered in %.3f s beside 200 trickling connections)" % took)
            check("beside 200 trickling connections, a request with the secret is answered "
                  "within 1 s", status == 200 and took < 1.0)

            check("nothing in the world changed", world_digest(world) == before)

            other_port = free_port()
            second = subprocess.run([os.path.join(build, "qvconsole"), "--world", world,
                                     "--port", str(other_port)], capture_output=True, text=True,
                                    timeout=60)
            check("a second console on the same world is refused and says which one runs",
                  second.returncode == 1 and "another console is running" in second.stderr
                  and str(port) in second.stderr)

            other_world = os.path.join(tmp, "other")
            subprocess.run([qvccfg, "--world", other_world, "init"], check=True,
                           capture_output=True)
            second = subprocess.Popen([os.path.join(build, "qvconsole"), "--world", other_world,
                                       "--port", str(port)], stdout=subprocess.PIPE,
                                      stderr=subprocess.PIPE, text=True)
            try:
                _, err = second.communicate(timeout=60)
            except subprocess.TimeoutExpired:
                second.kill()
                _, err = second.communicate()
            check("a second console on another world asked for the same port is refused",
                  second.returncode == 1 and ("port %d is in use" % port) in err)
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
