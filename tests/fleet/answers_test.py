#!/usr/bin/env python3
"""Answers on real machines (tests/fleet/sshhosts.py): recorded there through qvccfg,
collected beside a local client, a host that is down named, the installed terminal viewer.

usage: answers_test.py BUILD_DIR   (exits 77, skipped, without sshd, ansible-playbook or root)
"""
import json
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import sshhosts  # noqa: E402

BUILD = os.path.abspath(sys.argv.pop(1)) if len(sys.argv) > 1 else "build"
QVCCFG = os.path.join(BUILD, "qvccfg")


class RemoteAnswersTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.mkdtemp(prefix="fleetanswers")
        cls.hosts = sshhosts.Hosts(os.path.join(cls.dir, "fleet"), 2)
        cls.world = os.path.join(cls.dir, "world")
        cls.qv("init")
        path = os.path.join(cls.world, "world.ini")
        with open(path, encoding="cp1252") as f:
            text = f.read()
        text = text.replace("Clients=PC-ANNA,PC-BEN", "Clients=PC-ANNA,LAB-01,LAB-02\n"
                            f"SshIdentity={cls.hosts.identity}")
        for k in (1, 2):
            text += f"\n[Computer LAB-0{k}]\n{cls.hosts.world_line(k)}\nShare C$=C:\\\n"
        with open(path, "w", encoding="cp1252", newline="\r\n") as f:
            f.write(text)
        cls.qv("schedule", "Office survey")
        run = cls.qv("run", "Office survey")
        assert run.returncode == 0, run.stdout + run.stderr

    @classmethod
    def tearDownClass(cls):
        cls.hosts.stop()
        shutil.rmtree(cls.dir, True)

    @classmethod
    def qv(cls, *args, check=False):
        result = subprocess.run([QVCCFG, "--world", cls.world, *args], capture_output=True,
                                text=True, timeout=300, stdin=subprocess.DEVNULL)
        if check and result.returncode != 0:
            raise AssertionError(f"qvccfg {args}: {result.returncode}\n{result.stderr}")
        return result

    def answer_file(self, k):
        with open(os.path.join(self.hosts.drive(k), "QVCLIENT", "CUSTDATA.INI"), "rb") as f:
            return f.read()

    def test_1_answers_recorded_on_a_machine_and_collected_from_both(self):
        recorded = self.qv("answer", "lab-01", "Office survey", "Room=2.14", "Floor=First",
                           "Color=Gr\u00fcn, \"hell\"", check=True)
        self.assertEqual(recorded.stdout,
                         "recorded the answers of LAB-01 to Office survey (FRM1A.FRM)\n")
        text = self.answer_file(1)
        self.assertRegex(text, rb"^\[Office survey\]\r\n%Answered=\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ"
                               rb"\r\n%FormFile=FRM1A\.FRM\r\nRoom=\"2\.14\"\r\nFloor=\"First\""
                               rb"\r\nColor=\"Gr\xfcn, \"hell\"\"\r\n$")
        self.qv("answer", "LAB-02", "FRM1A.FRM", "Room=7", "Floor=Ground", check=True)
        self.qv("answer", "PC-ANNA", "Office survey", "Room=1", "Floor=Second", check=True)
        # A refused answer changes nothing on the machine.
        refused = self.qv("answer", "LAB-01", "Office survey", "Room=", "Floor=First")
        self.assertEqual(refused.returncode, 2)
        self.assertIn('Please answer the question "Room number" on page 1.', refused.stderr)
        self.assertEqual(self.answer_file(1), text)

        collected = self.qv("answers", "Office survey", "--csv", check=True)
        rows = collected.stdout.split("\n")
        self.assertEqual(rows[0], "Client,Answered,Room,Floor,Color")
        self.assertEqual([r.split(",")[0] for r in rows[1:-1]], ["LAB-01", "LAB-02", "PC-ANNA"])
        self.assertTrue(rows[1].endswith(',2.14,First,"Gr\u00fcn, ""hell"""'), rows[1])
        self.assertTrue(rows[2].endswith(",7,Ground,"), rows[2])

    def test_2_a_machine_that_is_down_is_named_and_the_others_are_read(self):
        self.hosts.stop_host(2)
        try:
            collected = self.qv("answers", "Office survey")
            self.assertEqual(collected.returncode, 1)
            self.assertRegex(collected.stderr, r"^qvccfg: LAB-02: not reached: .*127\.0\.0\.3")
            self.assertEqual([row["client"] for row in json.loads(collected.stdout)],
                             ["LAB-01", "PC-ANNA"])
            answered = self.qv("answer", "LAB-02", "Office survey", "Room=3", "Floor=First")
            self.assertEqual(answered.returncode, 1)
            self.assertIn("LAB-02: not reached", answered.stderr)
        finally:
            self.hosts.start_host(2)

    def test_3_the_user_of_a_machine_answers_in_the_installed_viewer(self):
        self.assertEqual(self.qv("install-viewer", "LAB-02").stdout, "LAB-02: installed\n")
        refused = self.qv("install-viewer", "PC-ANNA")
        self.assertEqual(refused.returncode, 2)
        launcher = os.path.join(self.hosts.drive(2), "QVCLIENT", "bin", "qvanswer")
        self.assertTrue(os.access(launcher, os.X_OK))
        h = self.hosts
        session = subprocess.run(
            ["ssh", "-i", h.identity, "-o", "StrictHostKeyChecking=no", "-o",
             "UserKnownHostsFile=/dev/null", "-o", "BatchMode=yes", "-p", str(h.port),
             f"{h.user}@{h.address(2)}", launcher],
            input="1\n9.99\n1\n\n\n", capture_output=True, text=True, timeout=60)
        self.assertEqual(session.returncode, 0, session.stdout + session.stderr)
        self.assertIn(b'Room="9.99"', self.answer_file(2))
        rows = json.loads(self.qv("answers", "Office survey", check=True).stdout)
        lab2 = [row for row in rows if row["client"] == "LAB-02"]
        self.assertEqual(lab2[0]["answers"]["Room"], "9.99")


if __name__ == "__main__":
    if os.getuid() != 0 or not all(shutil.which(t) for t in (sshhosts.SSHD, "ssh",
                                                              "ansible-playbook")):
        print("skipped: the hosts need root, openssh-server and ansible-core")
        sys.exit(77)
    unittest.main()
