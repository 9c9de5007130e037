#!/usr/bin/env python3
"""Client machines for the tests (run as root): host k (1..count) is an sshd on 127.0.0.(k+1)
at a port shared by all, with its own host key and log under BASE/hostK and a folder
BASE/hostK/drive for its drive C:; one client key (BASE/id_ed25519) logs in to every host."""
import atexit
import ctypes
import glob
import os
import shutil
import signal
import socket
import subprocess
import sys
import time

SSHD = "/usr/sbin/sshd"
_live = []
CONFIG = """ListenAddress {address}:{port}
HostKey {host}/ssh_host_ed25519_key
PidFile {host}/sshd.pid
AuthorizedKeysFile {base}/authorized_keys
AllowUsers root
PermitRootLogin prohibit-password
AuthenticationMethods publickey
PasswordAuthentication no
StrictModes no
UseDNS no
PrintMotd no
LogLevel VERBOSE
MaxStartups 200:30:400
MaxSessions 100
Subsystem sftp internal-sftp
"""


def exit_unless_usable():
    """Exits 77 (skipped) without root, openssh-server or ansible-core."""
    if os.getuid() != 0 or not all(shutil.which(t) for t in (SSHD, "ssh", "ansible-playbook")):
        print("skipped: the hosts need root, openssh-server and ansible-core")
        sys.exit(77)


def _keygen(path, comment):
    """A new key pair at path, in place of any there."""
    subprocess.run(["ssh-keygen", "-q", "-t", "ed25519", "-N", "", "-C", comment, "-f", path],
                   input=b"y\n", stdout=subprocess.DEVNULL, check=True)


def _tree(pid):
    """pid and every process below it (sshd's sessions are sessions of their own)."""
    children = {}
    for stat in glob.glob("/proc/[0-9]*/stat"):
        try:
            with open(stat) as f:
                ppid = int(f.read().rsplit(")", 1)[1].split()[1])
        except (OSError, IndexError):
            continue
        children.setdefault(ppid, []).append(int(stat.split("/")[2]))
    tree, todo = [], [pid]
    while todo:
        tree.append(todo.pop())
        todo.extend(children.get(tree[-1], []))
    return tree


class Hosts:
    def __init__(self, base_dir, count):
        self.base_dir, self.count, self.user = os.path.abspath(base_dir), count, "root"
        self.identity = os.path.join(self.base_dir, "id_ed25519")
        self._procs = {}
        os.makedirs("/run/sshd", mode=0o755, exist_ok=True)
        os.makedirs(self.base_dir, exist_ok=True)
        with socket.socket() as s:
            s.bind((self.address(1), 0))  # every set has a host 1
            self.port = s.getsockname()[1]
        _keygen(self.identity, "sshhosts client")
        shutil.copyfile(self.identity + ".pub", os.path.join(self.base_dir, "authorized_keys"))
        for k in self.hosts():
            shutil.rmtree(self.drive(k), ignore_errors=True)
            os.makedirs(self.drive(k))
            _keygen(self._path(k, "ssh_host_ed25519_key"), f"host{k}")
            with open(self._path(k, "sshd_config"), "w") as f:
                f.write(CONFIG.format(address=self.address(k), port=self.port,
                                      host=self._path(k, ""), base=self.base_dir))
        _live.append(self)
        for k in self.hosts():
            self.start_host(k)

    def hosts(self):
        return range(1, self.count + 1)

    def address(self, k):
        return f"127.0.0.{k + 1}"

    def drive(self, k):
        return self._path(k, "drive")

    def world_line(self, k, folder=None):
        """Host k's drive C: (its folder `folder`) as world.ini names it."""
        return f"Drive C=ssh://{self.user}@{self.address(k)}:{self.port}{folder or self.drive(k)}"

    def start_host(self, k):
        if k in self._procs:
            return
        pidfile = self._path(k, "sshd.pid")
        if os.path.exists(pidfile):
            os.remove(pidfile)
        with open(self._path(k, "sshd.log"), "ab") as log:
            # The sshd dies with the test, even when the test is killed (PR_SET_PDEATHSIG).
            proc = self._procs[k] = subprocess.Popen(
                [SSHD, "-D", "-e", "-f", self._path(k, "sshd_config")],
                stdin=subprocess.DEVNULL, stdout=log, stderr=log, start_new_session=True,
                preexec_fn=lambda: ctypes.CDLL(None).prctl(1, signal.SIGTERM))
        deadline = time.monotonic() + 10
        while True:  # sshd writes its pid file once it listens
            try:
                with open(pidfile) as f:
                    if f.read().strip() == str(proc.pid):
                        return
            except OSError:
                pass
            if proc.poll() is not None or time.monotonic() > deadline:
                with open(self._path(k, "sshd.log"), errors="replace") as f:
                    raise RuntimeError(f"sshd of host{k} did not start:\n{f.read()[-2000:]}")
            time.sleep(0.02)

    def stop_host(self, k):
        """Kills host k's sshd and the sessions it forked."""
        proc = self._procs.pop(k, None)
        if proc is None:
            return
        for pid in _tree(proc.pid):
            try:
                os.kill(pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
        proc.wait(timeout=5)

    def rekey_host(self, k):
        """Host k with a new host key: clients that knew the old one refuse it."""
        self.stop_host(k)
        _keygen(self._path(k, "ssh_host_ed25519_key"), f"host{k}")
        self.start_host(k)

    def stop(self):
        for k in list(self._procs):
            self.stop_host(k)

    def _path(self, k, name):
        return os.path.join(self.base_dir, f"host{k}", name)


@atexit.register
def _stop_all():
    for hosts in _live:
        hosts.stop()
