#!/usr/bin/env python3
"""The test hosts: each answers with its own host key on its own loopback address and nowhere
else, and stopping ends its sessions too.

usage: sshhosts_test.py    (exits 77, skipped, without sshd, ansible-playbook or root)
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


def refuses(address, port):
    try:
        socket.create_connection((address, port), timeout=2).close()
        return False
    except ConnectionRefusedError:
        return True


class HostsTest(unittest.TestCase):
    def test_each_host_has_its_own_key_and_address_and_stopping_ends_its_sessions(self):
        base = tempfile.mkdtemp(prefix="sshhosts")
        self.addCleanup(shutil.rmtree, base, True)
        h = sshhosts.Hosts(os.path.join(base, "fleet"), 2)
        self.addCleanup(h.stop)
        known = os.path.join(base, "known_hosts")
        sessions = []
        for k in (1, 2):
            sessions.append(subprocess.Popen(
                ["ssh", "-i", h.identity, "-o", "UserKnownHostsFile=" + known, "-o",
                 "StrictHostKeyChecking=accept-new", "-o", "BatchMode=yes", "-p", str(h.port),
                 f"{h.user}@{h.address(k)}", "echo in; sleep 60"],
                stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL))
            self.addCleanup(sessions[-1].stdout.close)
            self.addCleanup(sessions[-1].kill)
            self.assertEqual(sessions[-1].stdout.readline(), b"in\n")
            with open(os.path.join(h.base_dir, f"host{k}", "ssh_host_ed25519_key.pub")) as f:
                key = f.read().split()[1]
            scan = subprocess.run(["ssh-keygen", "-F", f"[{h.address(k)}]:{h.port}", "-f", known],
                                  capture_output=True, text=True)
            self.assertIn(key, scan.stdout, f"host{k}")
        for address in ("127.0.0.1", "127.0.0.4"):
            self.assertTrue(refuses(address, h.port), address)
        started = time.monotonic()
        h.stop()
        for session in sessions:
            session.wait(timeout=20)
        self.assertLess(time.monotonic() - started, 15)
        self.assertTrue(refuses(h.address(1), h.port) and refuses(h.address(2), h.port))


if __name__ == "__main__":
    sshhosts.exit_unless_usable()
    unittest.main(verbosity=2)
