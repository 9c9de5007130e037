#!/usr/bin/env python3
"""The test hosts: each host answers with its own host key on its own loopback address and
nowhere else; a stopped host refuses and comes back; a rekeyed host fails host-key checking;
stopping ends the sessions too; Ansible reaches the hosts and writes to their drives; the
command line starts hosts that outlive it and stops them.

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

HERE = os.path.dirname(os.path.abspath(__file__))


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

    def test_a_stopped_host_refuses_and_comes_back_with_its_key(self):
        self.assertEqual(self.login(2).returncode, 0)
        self.hosts.stop_host(2)
        result = self.login(2)
        self.assertEqual(result.returncode, 255)
        self.assertIn("Connection refused", result.stderr)
        self.assertEqual(self.login(1).returncode, 0)
        self.hosts.start_host(2)
        result = self.login(2)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertNotIn("Permanently added", result.stderr)

    def test_a_rekeyed_host_fails_host_key_checking(self):
        for k in (1, 2):
            self.assertEqual(self.login(k).returncode, 0)
        self.hosts.rekey_host(1)
        result = self.login(1)
        self.assertEqual(result.returncode, 255)
        self.assertIn("REMOTE HOST IDENTIFICATION HAS CHANGED", result.stderr)
        self.assertEqual(self.login(2).returncode, 0)

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

    def test_ansible_writes_to_each_drive(self):
        inventory = self.hosts.write_inventory(os.path.join(self.dir, "inventory"), self.known)
        playbook = os.path.join(self.dir, "play.yml")
        with open(playbook, "w") as f:
            f.write("- hosts: clients\n  gather_facts: false\n  tasks:\n"
                    "    - ansible.builtin.ping:\n"
                    "    - ansible.builtin.copy:\n"
                    "        content: \"{{ inventory_hostname }}\\n\"\n"
                    "        dest: \"{{ drive }}/name.txt\"\n")
        env = dict(os.environ, ANSIBLE_PIPELINING="True", ANSIBLE_FORKS="20",
                   ANSIBLE_HOME=os.path.join(self.dir, "ansible"),
                   ANSIBLE_LOCAL_TEMP=os.path.join(self.dir, "ansible", "local"),
                   ANSIBLE_REMOTE_TEMP=os.path.join(self.dir, "ansible", "remote"),
                   ANSIBLE_SSH_CONTROL_PATH_DIR=os.path.join(self.dir, "ansible", "cp"))
        result = subprocess.run(["ansible-playbook", "-i", inventory, playbook], env=env,
                                capture_output=True, text=True, timeout=120)
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        for k in (1, 2):
            with open(os.path.join(self.hosts.drive(k), "name.txt")) as f:
                self.assertEqual(f.read(), f"host{k}\n")


class CommandLineTest(unittest.TestCase):
    def test_start_leaves_hosts_running_and_stop_ends_them(self):
        base = tempfile.mkdtemp(prefix="sshhosts")
        self.addCleanup(shutil.rmtree, base, True)
        self.addCleanup(sshhosts.stop_dir, base)
        script = os.path.join(HERE, "sshhosts.py")
        out = subprocess.run([sys.executable, script, "start", base, "2"], capture_output=True,
                             text=True, timeout=60, check=True).stdout.splitlines()
        self.assertEqual(len(out), 2, out)
        known = os.path.join(base, "known_hosts")
        urls = []
        for k, line in enumerate(out, 1):
            number, world = line.split("\t")
            self.assertEqual(number, str(k))
            user_host, _, drive = world.removeprefix("Drive C=ssh://").partition("/")
            user, _, host = user_host.partition("@")
            address, port = host.split(":")
            self.assertEqual("/" + drive, os.path.join(base, f"host{k}", "drive"))
            result = ssh(os.path.join(base, "id_ed25519"), known, user, address, port)
            self.assertEqual(result.returncode, 0, result.stderr)
            urls.append((address, int(port)))
        stopped = subprocess.run([sys.executable, script, "stop", base], capture_output=True,
                                 text=True, timeout=60, check=True).stdout
        self.assertEqual(stopped, "stopped 2 hosts\n")
        for address, port in urls:
            self.assertTrue(refuses(address, port), address)


if __name__ == "__main__":
    missing = [tool for tool in (sshhosts.SSHD, "ssh", "ssh-keygen", "ansible-playbook")
               if not shutil.which(tool)]
    if missing:
        print("skipped: not installed: " + ", ".join(missing) +
              " (scripts/setup.sh installs openssh-server and ansible-core)")
        sys.exit(77)
    unittest.main(verbosity=2)
