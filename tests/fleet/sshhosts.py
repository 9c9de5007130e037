#!/usr/bin/env python3
"""Client machines for the tests: one sshd per host on a loopback address of its own.

Host k (1..count) listens on 127.0.0.(k+1) at a port shared by all hosts, with its own host
key, configuration and log under BASE/hostK, and a drive folder BASE/hostK/drive that plays
the client's drive C:. One client key pair (BASE/id_ed25519) logs in to every host, as root
when run as root and otherwise as the current user (sshd then runs unprivileged).

    with Hosts(base, 2) as hosts:
        hosts.world_line(1)   # 'Drive C=ssh://root@127.0.0.2:PORT/BASE/host1/drive'
"""
import atexit
import ctypes
import glob
import os
import pwd
import shutil
import signal
import socket
import subprocess
import time
import weakref

SSHD = "/usr/sbin/sshd"
START_SECONDS = 10.0
STOP_SECONDS = 5.0
_live = weakref.WeakSet()


def _keygen(path, comment):
    for stale in (path, path + ".pub"):
        if os.path.exists(stale):
            os.remove(stale)
    return subprocess.Popen(["ssh-keygen", "-q", "-t", "ed25519", "-N", "", "-C", comment,
                             "-f", path], stdin=subprocess.DEVNULL)


def _wait_all(procs, what):
    for proc in procs:
        if proc.wait(timeout=30) != 0:
            raise RuntimeError(f"{what}: {' '.join(proc.args)} exited with {proc.returncode}")


def _free_port(addresses):
    """A port no one listens on at any of the addresses (bound and released, so a race with
    another program remains possible, if unlikely)."""
    for _ in range(20):
        with socket.socket() as s:
            s.bind((addresses[0], 0))
            port = s.getsockname()[1]
        try:
            for address in addresses:
                with socket.socket() as s:
                    s.bind((address, port))
            return port
        except OSError:
            continue
    raise RuntimeError("no port free on all of " + ", ".join(addresses))


def _children_map():
    children = {}
    for stat in glob.glob("/proc/[0-9]*/stat"):
        try:
            with open(stat) as f:
                fields = f.read().rsplit(")", 1)[1].split()
        except (OSError, IndexError):
            continue
        children.setdefault(int(fields[1]), []).append(int(stat.split("/")[2]))
    return children


def _alive(pid):
    try:
        with open(f"/proc/{pid}/stat") as f:
            return f.read().rsplit(")", 1)[1].split()[0] != "Z"
    except (OSError, IndexError):
        return False


def _kill_tree(pid, proc=None):
    """Stops a listening sshd and the sessions it forked (each in a session of its own, so a
    process group does not reach them): SIGTERM, then SIGKILL after STOP_SECONDS."""
    children, tree, todo = _children_map(), [], [pid]
    while todo:
        tree.append(todo.pop())
        todo.extend(children.get(tree[-1], []))
    for sig in (signal.SIGTERM, signal.SIGKILL):
        for p in tree:
            try:
                os.kill(p, sig)
            except ProcessLookupError:
                pass
        deadline = time.monotonic() + STOP_SECONDS
        while time.monotonic() < deadline and any(_alive(p) for p in tree):
            if proc is not None:
                proc.poll()
            time.sleep(0.02)
        if not any(_alive(p) for p in tree):
            break
    if proc is not None:
        proc.wait(timeout=STOP_SECONDS)


def _die_with_parent():
    # The test's sshd goes when the test does, even when the test is killed.
    ctypes.CDLL(None, use_errno=True).prctl(1, signal.SIGTERM)  # PR_SET_PDEATHSIG


def _remove(path):
    # sshd removes its pid file when it stops on SIGTERM; a stale one goes here.
    try:
        os.remove(path)
    except FileNotFoundError:
        pass


def _log_tail(path, lines=15):
    try:
        with open(path, errors="replace") as f:
            return "".join(f.readlines()[-lines:])
    except OSError:
        return "(no log)\n"


class Hosts:
    """count sshd hosts under base_dir; stop() or the end of the process stops them."""

    def __init__(self, base_dir, count, port=None):
        if not 1 <= count <= 253:
            raise ValueError(f"count {count} is not within 1..253")
        self.base_dir = os.path.abspath(base_dir)
        self.count = count
        self.user = pwd.getpwuid(os.getuid()).pw_name
        self.identity = os.path.join(self.base_dir, "id_ed25519")
        self._procs = {}
        os.makedirs(self.base_dir, exist_ok=True)
        self.port = port or _free_port([self.address(k) for k in self.hosts()])
        if os.getuid() == 0:
            os.makedirs("/run/sshd", mode=0o755, exist_ok=True)
        keys = [_keygen(self.identity, "sshhosts client")]
        for k in self.hosts():
            shutil.rmtree(self.drive(k), ignore_errors=True)
            os.makedirs(self.drive(k))
            keys.append(_keygen(self._path(k, "ssh_host_ed25519_key"), f"host{k}"))
        _wait_all(keys, "key")
        shutil.copyfile(self.identity + ".pub", self._authorized_keys())
        for k in self.hosts():
            self._write_config(k)
        _live.add(self)
        try:
            self._start(list(self.hosts()))
        except BaseException:
            self.stop()
            raise

    def hosts(self):
        return range(1, self.count + 1)

    def address(self, k):
        return f"127.0.0.{k + 1}"

    def drive(self, k):
        return self._path(k, "drive")

    def url(self, k):
        return f"ssh://{self.user}@{self.address(k)}:{self.port}{self.drive(k)}"

    def world_line(self, k):
        """Host k's drive C: as world.ini names it."""
        return "Drive C=" + self.url(k)

    def log(self, k):
        return self._path(k, "sshd.log")

    def stop_host(self, k):
        proc = self._procs.pop(k, None)
        if proc:
            _kill_tree(proc.pid, proc)
        _remove(self._path(k, "sshd.pid"))

    def start_host(self, k):
        if k not in self._procs:
            self._start([k])

    def rekey_host(self, k):
        """Host k with a new host key: clients that knew the old one refuse it."""
        self.stop_host(k)
        _wait_all([_keygen(self._path(k, "ssh_host_ed25519_key"), f"host{k}")], "key")
        self._start([k])

    def stop(self):
        for k in list(self._procs):
            self.stop_host(k)
        _live.discard(self)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.stop()

    def _path(self, k, name):
        return os.path.join(self.base_dir, f"host{k}", name)

    def _authorized_keys(self):
        return os.path.join(self.base_dir, "authorized_keys")

    def _write_config(self, k):
        root = os.getuid() == 0
        lines = [
            f"ListenAddress {self.address(k)}:{self.port}",
            "AddressFamily inet",
            f"HostKey {self._path(k, 'ssh_host_ed25519_key')}",
            f"PidFile {self._path(k, 'sshd.pid')}",
            f"AuthorizedKeysFile {self._authorized_keys()}",
            f"AllowUsers {self.user}",
            "PermitRootLogin " + ("prohibit-password" if root else "no"),
            "AuthenticationMethods publickey",
            "PubkeyAuthentication yes",
            "PasswordAuthentication no",
            "KbdInteractiveAuthentication no",
            "HostbasedAuthentication no",
            "GSSAPIAuthentication no",
            "UsePAM no",
            "StrictModes no",
            "X11Forwarding no",
            "AllowAgentForwarding no",
            "AllowTcpForwarding no",
            "PermitTunnel no",
            "UseDNS no",
            "PrintMotd no",
            "PrintLastLog no",
            "LogLevel VERBOSE",
            "LoginGraceTime 30",
            # Ansible with forks 20 on 50 hosts: many connections start at once.
            "MaxStartups 200:30:400",
            "MaxSessions 100",
            "Subsystem sftp internal-sftp",
        ]
        with open(self._path(k, "sshd_config"), "w") as f:
            f.write("\n".join(lines) + "\n")

    def _start(self, ks):
        for k in ks:
            config = self._path(k, "sshd_config")
            _remove(self._path(k, "sshd.pid"))
            with open(self.log(k), "ab") as log:
                self._procs[k] = subprocess.Popen(
                    [SSHD, "-D", "-e", "-f", config], stdin=subprocess.DEVNULL, stdout=log,
                    stderr=log, start_new_session=True,
                    preexec_fn=_die_with_parent)
        deadline = time.monotonic() + START_SECONDS
        for k in ks:
            while not self._ready(k):
                proc = self._procs[k]
                if proc.poll() is not None or time.monotonic() > deadline:
                    why = (f"exited with {proc.returncode}" if proc.returncode is not None
                           else f"accepts no connection after {START_SECONDS:g} s")
                    raise RuntimeError(f"sshd of host{k} ({self.address(k)}:{self.port}) "
                                       f"{why}; {self.log(k)} ends with:\n"
                                       + _log_tail(self.log(k)))
                time.sleep(0.02)

    def _ready(self, k):
        # sshd writes its pid file once it listens; a connection alone could reach another
        # program on the port.
        if _pid_of(self.base_dir, k) != self._procs[k].pid:
            return False
        try:
            with socket.create_connection((self.address(k), self.port), timeout=1):
                return True
        except OSError:
            return False

def _pid_of(base_dir, k):
    """The pid in host k's pid file, when that process is the sshd of this folder."""
    host = os.path.join(base_dir, f"host{k}")
    try:
        with open(os.path.join(host, "sshd.pid")) as f:
            pid = int(f.read().strip())
        with open(f"/proc/{pid}/cmdline", "rb") as f:
            args = f.read()
    except (OSError, ValueError):
        return None
    # sshd rewrites its command line into its process title, which keeps the arguments.
    return pid if os.path.join(host, "sshd_config").encode() in args else None


@atexit.register
def _stop_all():
    for hosts in list(_live):
        hosts.stop()
