#!/usr/bin/env python3
"""The test hosts: each host answers with its own host key on its own loopback address and
nowhere else, and stopping ends its sessions too. (Hosts that are down or rekeyed, and the
engine reaching them, are the fleet tests' own cases.)

usage: sshhosts_test.py    (exits 77, skipped, without sshd or ansible-playbook)
"""
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import sshhosts  # noqa: E402



def ssh(identity, known_hosts, user, address, port, command="true", **kwargs):
    return subprocess.run(
        ["ssh", "-i", identity, "-o", "UserKnownHostsFile=" + known_hosts, "-o",
         "StrictHostKeyChecking=accept-new", "-o", "IdentitiesOnly=yes", "-o", "BatchMode=yes",
         "-p", str(port), f"{user}@{address}", command],
        stdin=subprocess.DEVNULL, capture_output=True, text=True, timeout=30, **kwargs)


def refuses(address, port):
    try:
        socket.create_connection((address, port), timeout=2).close()
        return False
    except ConnectionRefusedError:
        return True


class HostsTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="sshhosts")
        self.addCleanup(shutil.rmtree, self.dir, True)
        self.hosts = sshhosts.Hosts(os.path.join(self.dir, "fleet"), 2)
        self.addCleanup(self.hosts.stop)
        self.known = os.path.join(self.dir, "known_hosts")

    def login(self, k, command="true"):
        h = self.hosts
        return ssh(h.identity, self.known, h.user, h.address(k), h.port, command)

    def test_each_host_answers_with_its_own_key_on_its_own_address_only(self):
        for k in (1, 2):
            result = self.login(k, "pwd")
            self.assertEqual(result.returncode, 0, result.stderr)
            with open(os.path.join(self.hosts.base_dir, f"host{k}",
                                   "ssh_host_ed25519_key.pub")) as f:
                key = f.read().split()[1]
            scan = subprocess.run(["ssh-keygen", "-F", f"[127.0.0.{k + 1}]:{self.hosts.port}",
                                   "-f", self.known], capture_output=True, text=True)
            self.assertIn(key, scan.stdout, f"host{k}")
            self.assertEqual(os.listdir(self.hosts.drive(k)), [])
            self.assertTrue(self.hosts.world_line(k).startswith(
                f"Drive C=ssh://{self.hosts.user}@127.0.0.{k + 1}:{self.hosts.port}/"))
            self.assertTrue(self.hosts.world_line(k).endswith(f"/host{k}/drive"))
        for address in ("127.0.0.1", "127.0.0.4"):
            self.assertTrue(refuses(address, self.hosts.port), address)

    def test_stopping_a_host_ends_its_sessions(self):
        h = self.hosts
        session = subprocess.Popen(
            ["ssh", "-i", h.identity, "-o", "UserKnownHostsFile=" + self.known, "-o",
             "StrictHostKeyChecking=accept-new", "-o", "IdentitiesOnly=yes", "-p", str(h.port),
             f"{h.user}@{h.address(1)}", "echo in; sleep 60"],
            stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self.addCleanup(session.stdout.close)
        self.addCleanup(session.kill)
        self.assertEqual(session.stdout.readline(), b"in\n")
        started = time.monotonic()
        h.stop()
        session.wait(timeout=20)
        self.assertLess(time.monotonic() - started, 15)
        self.assertTrue(refuses(h.address(1), h.port))
        self.assertTrue(refuses(h.address(2), h.port))


if __name__ == "__main__":
    missing = [tool for tool in (sshhosts.SSHD, "ssh", "ssh-keygen", "ansible-playbook")
               if not shutil.which(tool)]
    if missing:
        print("skipped: not installed: " + ", ".join(missing) +
              " (scripts/setup.sh installs openssh-server and ansible-core)")
        sys.exit(77)
    unittest.main(verbosity=2)
