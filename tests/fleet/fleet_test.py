#!/usr/bin/env python3
"""Real machines (tests/fleet/sshhosts.py) through the fleet engine: forms delivered by
`qvccfg run` and FrmTask.exe, answers recorded there and collected.

usage: fleet_test.py BUILD_DIR   (exits 77, skipped, without sshd, ansible-playbook or root)
"""
import json
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import sshhosts  # noqa: E402

BUILD = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build")
QVCCFG = os.path.join(BUILD, "qvccfg")
FRMTASK = os.path.join(BUILD, "FrmTask.exe")
RUN_SECONDS = 240
GROUP = "Survey set"
SHARE = "CORE1/D/Apps/Main/QVLOGON"
SCRIPTS = "CORE1/D/Apps/Main/SCRIPTS"
# The group's forms in its order, as the default world's share names their files.
FORMS = ["FRM2B7.FRM", "FRM1A.FRM", "FRM3C.FRM"]
GROUP_LINES = [{"key": "REMDEL0", "value": "\\QVCLIENT\\*.FRM"}] + [
    {"key": f"REMCOPY{i}", "value": f"\\\\CORE1\\QVMAIN\\QVLOGON\\{name}, \\QVCLIENT\\{name}, "
     "TOREMOTE"} for i, name in enumerate(FORMS)]
HOSTS = None


def setUpModule():
    global HOSTS, BASE
    BASE = tempfile.mkdtemp(prefix="fleettest")
    HOSTS = sshhosts.Hosts(os.path.join(BASE, "hosts"), 4)


def tearDownModule():
    HOSTS.stop()
    shutil.rmtree(BASE, True)


def read(path):
    with open(path, "rb") as f:
        return f.read()


def write(path, data, mode=None):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)
    if mode is not None:
        os.chmod(path, mode)


class Fleet:
    """A default world whose clients are PC-ANNA (local) and PC-H1.. (host k's folder `tag`)."""

    def __init__(self, tag, remote, local=("PC-ANNA",)):
        self.tag, self.dir = tag, os.path.join(BASE, tag)
        run([QVCCFG, "--world", self.dir, "init"])
        text = read(self.ini()).decode().replace(
            "\r\nClients=", f"\r\nSshIdentity={HOSTS.identity}\r\nForks=8\r\nClients=")
        for k in HOSTS.hosts():
            os.makedirs(self.drive(k))
            text += (f"\r\n[Computer PC-H{k}]\r\n{HOSTS.world_line(k, self.drive(k))}\r\n"
                     "Share C$=C:\\\r\n")
        write(self.ini(), text.encode())
        self.set_clients(list(local) + [f"PC-H{k}" for k in remote])

    def ini(self):
        return os.path.join(self.dir, "world.ini")

    def drive(self, k):
        return os.path.join(HOSTS.base_dir, f"host{k}", self.tag)

    def qvclient(self, k):
        """The folder of C:\\QVCLIENT on host k, or on PC-ANNA for k = 0."""
        return os.path.join(self.drive(k) if k else os.path.join(self.dir, "PC-ANNA/C"), "QVCLIENT")

    def assert_forms(self, test, k, others=()):
        """Host k's QVCLIENT holds the group's forms as the share does, and `others` alone."""
        test.assertEqual(sorted(os.listdir(self.qvclient(k))), sorted(FORMS + list(others)), k)
        for name in FORMS:
            test.assertEqual(read(os.path.join(self.qvclient(k), name)), self.share(name), name)

    def set_clients(self, clients):
        text = re.sub("Clients=[^\r]*", "Clients=" + ",".join(clients), read(self.ini()).decode())
        write(self.ini(), text.encode())

    def qvccfg(self, *args, status=0):
        return run([QVCCFG, "--world", self.dir] + list(args), status)

    def records(self):
        """The run records, without their times."""
        with open(os.path.join(self.dir, "tasks", "runs.log")) as f:
            return [{k: v for k, v in json.loads(line).items() if k != "time"} for line in f]

    def share(self, name):
        return read(os.path.join(self.dir, SHARE, name))


def run(args, status=0):
    result = subprocess.run(args, capture_output=True, text=True, timeout=RUN_SECONDS,
                            stdin=subprocess.DEVNULL)
    if result.returncode != status:
        raise AssertionError(f"{args} exited with {result.returncode}, not {status}:\n"
                             f"{result.stdout}{result.stderr}")
    return result


def record(client, reason=None):
    """The record of the group's script run on `client`: done, or not reached for `reason`."""
    results = ["ok"] * 4 if reason is None else ["the client was not reached: " + reason] * 4
    out = {"task": GROUP, "script": GROUP + ".ini", "client": client, "ok": reason is None,
           "lines": [dict(line, result=r) for line, r in zip(GROUP_LINES, results)]}
    if reason is not None:
        out.update(reached=False, reason=reason)
    return out


class AnswersTest(unittest.TestCase):
    """Answers on PC-H1 and PC-H2 beside PC-ANNA's: recorded through qvccfg, collected, a host
    that is down named, the installed terminal viewer."""

    @classmethod
    def setUpClass(cls):
        cls.fleet = f = Fleet("answers", remote=[1, 2])
        f.qvccfg("schedule", "Office survey")
        f.qvccfg("run", "Office survey")

    def answer_file(self, k):
        return read(os.path.join(self.fleet.qvclient(k), "CUSTDATA.INI"))

    def test_1_answers_recorded_on_a_machine_and_collected_from_both(self):
        f = self.fleet
        recorded = f.qvccfg("answer", "pc-h1", "Office survey", "Room=2.14", "Floor=First",
                            "Color=Gr\u00fcn, \"hell\"")
        self.assertEqual(recorded.stdout,
                         "recorded the answers of PC-H1 to Office survey (FRM1A.FRM)\n")
        text = self.answer_file(1)
        self.assertRegex(text, rb"^\[Office survey\]\r\n%Answered=\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ"
                               rb"\r\n%FormFile=FRM1A\.FRM\r\nRoom=\"2\.14\"\r\nFloor=\"First\""
                               rb"\r\nColor=\"Gr\xfcn, \"hell\"\"\r\n$")
        f.qvccfg("answer", "PC-H2", "FRM1A.FRM", "Room=7", "Floor=Ground")
        f.qvccfg("answer", "PC-ANNA", "Office survey", "Room=1", "Floor=Second")
        # A refused answer changes nothing on the machine.
        refused = f.qvccfg("answer", "PC-H1", "Office survey", "Room=", "Floor=First", status=2)
        self.assertIn('Please answer the question "Room number" on page 1.', refused.stderr)
        self.assertEqual(self.answer_file(1), text)

        rows = f.qvccfg("answers", "Office survey", "--csv").stdout.split("\n")
        self.assertEqual(rows[0], "Client,Answered,Room,Floor,Color")
        self.assertEqual([r.split(",")[0] for r in rows[1:-1]], ["PC-ANNA", "PC-H1", "PC-H2"])
        self.assertTrue(rows[2].endswith(',2.14,First,"Gr\u00fcn, ""hell"""'), rows[2])
        self.assertTrue(rows[3].endswith(",7,Ground,"), rows[3])

    def test_2_a_machine_that_is_down_is_named_and_the_others_are_read(self):
        f = self.fleet
        HOSTS.stop_host(2)
        self.addCleanup(HOSTS.start_host, 2)
        collected = f.qvccfg("answers", "Office survey", status=1)
        self.assertRegex(collected.stderr,
                         "^qvccfg: PC-H2: not reached: .*" + re.escape(HOSTS.address(2)))
        self.assertEqual([row["client"] for row in json.loads(collected.stdout)],
                         ["PC-ANNA", "PC-H1"])
        answered = f.qvccfg("answer", "PC-H2", "Office survey", "Room=3", "Floor=First", status=1)
        self.assertIn("PC-H2: not reached", answered.stderr)

    def test_3_the_user_of_a_machine_answers_in_the_installed_viewer(self):
        f = self.fleet
        self.assertEqual(f.qvccfg("install-viewer", "PC-H2").stdout, "PC-H2: installed\n")
        f.qvccfg("install-viewer", "PC-ANNA", status=2)
        launcher = os.path.join(f.qvclient(2), "bin", "qvanswer")
        self.assertTrue(os.access(launcher, os.X_OK))
        session = subprocess.run(
            ["ssh", "-i", HOSTS.identity, "-o", "StrictHostKeyChecking=no", "-o",
             "UserKnownHostsFile=/dev/null", "-o", "BatchMode=yes", "-p", str(HOSTS.port),
             f"{HOSTS.user}@{HOSTS.address(2)}", launcher],
            input="1\n9.99\n1\n\n\n", capture_output=True, text=True, timeout=60)
        self.assertEqual(session.returncode, 0, session.stdout + session.stderr)
        self.assertIn(b'Room="9.99"', self.answer_file(2))
        rows = json.loads(f.qvccfg("answers", "Office survey").stdout)
        self.assertEqual([r["answers"]["Room"] for r in rows if r["client"] == "PC-H2"], ["9.99"])


class DeliveryTest(unittest.TestCase):
    """A first run to PC-ANNA, PC-H1 and PC-H2; then PC-H2 rekeyed and PC-H3, down, added."""

    @classmethod
    def setUpClass(cls):
        cls.fleet = Fleet("delivery", remote=[1, 2])
        f = cls.fleet
        f.qvccfg("group", GROUP, "Asset tag", "Office survey", "Contact details")
        f.qvccfg("schedule", GROUP, "--group")
        write(os.path.join(f.qvclient(1), "old.frm"), b"stale\r\n")
        write(os.path.join(f.qvclient(1), "notes.txt"), b"keep me\r\n")
        write(os.path.join(f.qvclient(0), "OLD.Frm"), b"stale\r\n")
        cls.first = f.qvccfg("run", GROUP)
        cls.first_records = f.records()

    def test_a_group_reaches_two_machines_and_a_local_client(self):
        f = self.fleet
        self.assertEqual(self.first.stdout, "PC-ANNA: ok\nPC-H1: ok\nPC-H2: ok\n")
        self.assertEqual(self.first.stderr, "")
        self.assertEqual(self.first_records, [record(c) for c in ("PC-ANNA", "PC-H1", "PC-H2")])
        for k in (0, 1, 2):
            f.assert_forms(self, k, ["notes.txt"] if k == 1 else [])
        self.assertEqual(read(os.path.join(f.qvclient(1), "notes.txt")), b"keep me\r\n")

    def test_b_c_a_machine_down_or_with_a_new_host_key_is_not_reached(self):
        f = self.fleet
        before = len(f.records())
        HOSTS.rekey_host(2)
        HOSTS.stop_host(3)
        self.addCleanup(HOSTS.start_host, 3)
        f.set_clients(["PC-ANNA", "PC-H1", "PC-H2", "PC-H3"])
        os.remove(os.path.join(f.qvclient(1), "FRM1A.FRM"))
        os.remove(os.path.join(f.qvclient(2), "FRM1A.FRM"))
        second = f.qvccfg("run", GROUP, status=1)
        self.assertEqual(second.stdout,
                         "PC-ANNA: ok\nPC-H1: ok\nPC-H2: not reached\nPC-H3: not reached\n")
        rekeyed = ("the host key of PC-H2 has changed since it was recorded in the world's "
                   "ssh_known_hosts; if the machine was rebuilt, remove its line there")
        # The engine's own words for a machine that is down (ssh's refused connection, or a
        # broken pipe when the engine's connection breaks), naming the machine.
        down = f.records()[-1].get("reason", "")
        self.assertRegex(down, "^(Failed to connect to the host via ssh|Data could not be sent "
                         f"to remote host \"{HOSTS.address(3)}\")")
        self.assertIn(HOSTS.address(3), down)
        self.assertEqual(second.stderr, f"FrmTask: PC-H2: not reached: {rekeyed}\n"
                                        f"FrmTask: PC-H3: not reached: {down}\n")
        self.assertEqual(f.records()[before:], [record("PC-ANNA"), record("PC-H1"),
                                                 record("PC-H2", rekeyed), record("PC-H3", down)])
        self.assertEqual(read(os.path.join(f.qvclient(1), "FRM1A.FRM")), f.share("FRM1A.FRM"))
        # Nothing reached the rekeyed machine or the one that was down.
        self.assertEqual(sorted(os.listdir(f.qvclient(2))), ["FRM2B7.FRM", "FRM3C.FRM"])
        self.assertFalse(os.path.exists(f.qvclient(3)))


class LinesTest(unittest.TestCase):
    """A script edited by hand, run on PC-ANNA, PC-H1 (a read-only form) and PC-H2 (its
    QVCLIENT is a file)."""

    SCRIPT = [
        ("REMDEL0", "\\QVCLIENT\\*.FRM"),
        ("REMCOPY0", "\\\\CORE1\\QVMAIN\\QVLOGON\\FRM2B7.FRM, D:\\QVCLIENT\\FRM2B7.FRM, TOREMOTE"),
        ("REMCOPY1", "\\\\CORE1\\QVMAIN\\QVLOGON\\FRM2B7.FRM, \\QVCLIENT\\F{1}.FRM, TOREMOTE"),
        ("REMCOPY2", "\\\\CORE1\\QVMAIN\\QVLOGON\\F{2}.FRM, \\QVCLIENT\\F2.FRM, TOREMOTE"),
        ("REMCOPY3", "\\\\CORE1\\QVMAIN\\QVLOGON\\FRM1A.FRM, \\QVCLIENT\\FRM1A.FRM, TOREMOTE"),
        ("REMCOPY4", "\\\\CORE1\\QVMAIN\\QVLOGON\\FRM3C.FRM, \\QVCLIENT\\FRM3C.FRM, TOREMOTE"),
    ]
    OLD = b"[Form]\r\nFormName=Office survey, as it was\r\n"

    @classmethod
    def setUpClass(cls):
        cls.fleet = f = Fleet("lines", remote=[1, 2])
        text = "[MACHINES]\r\n" + "".join(f"{k}={v}\r\n" for k, v in cls.SCRIPT)
        write(os.path.join(f.dir, SCRIPTS, "Edited.ini"), text.encode())
        write(os.path.join(f.dir, SHARE, "F{2}.FRM"), f.share("FRM3C.FRM"))
        for folder in (f.qvclient(0), f.qvclient(1)):
            write(os.path.join(folder, "FRM1A.FRM"), cls.OLD, 0o444)
            write(os.path.join(folder, "Gone.frm"), b"stale\r\n")
        write(f.qvclient(2), b"a file, not a folder\r\n")
        cls.result = run([FRMTASK, "--world", f.dir, "Edited.ini"], status=1)
        cls.records = {r["client"]: r for r in f.records()}

    def lines(self, client):
        return [(line["key"], line["result"]) for line in self.records[client]["lines"]]

    def test_d_a_read_only_form_and_a_folder_that_cannot_be_made_fail_their_lines(self):
        f = self.fleet
        self.assertEqual(self.result.stdout, "PC-ANNA: 3 of 6 lines failed\n"
                                             "PC-H1: 5 of 6 lines failed\n"
                                             "PC-H2: 5 of 6 lines failed\n")
        for client, folder in (("PC-ANNA", f.qvclient(0)), ("PC-H1", f.qvclient(1))):
            lines = dict(self.lines(client))
            self.assertEqual(lines["REMDEL0"], "cannot delete C:\\QVCLIENT\\FRM1A.FRM: "
                             "the file is read-only", client)
            self.assertEqual(lines["REMCOPY3"], "cannot write \\QVCLIENT\\FRM1A.FRM: "
                             "the file is read-only", client)
            self.assertEqual(lines["REMCOPY4"], "ok", client)
            path = os.path.join(folder, "FRM1A.FRM")
            self.assertEqual(read(path), self.OLD, client)
            self.assertEqual(os.stat(path).st_mode & 0o777, 0o444, client)
            self.assertFalse(os.path.exists(os.path.join(folder, "Gone.frm")), client)
            self.assertEqual(read(os.path.join(folder, "FRM3C.FRM")), f.share("FRM3C.FRM"))
        # PC-H2's folder cannot be made: its copies fail with the engine's reason.
        lines = dict(self.lines("PC-H2"))
        for key, name in (("REMCOPY3", "FRM1A.FRM"), ("REMCOPY4", "FRM3C.FRM")):
            self.assertEqual(lines[key], "Failed to get information on remote file "
                             f"({f.qvclient(2)}/{name}): Not a directory")
        self.assertEqual(read(f.qvclient(2)), b"a file, not a folder\r\n")
        self.assertFalse(self.records["PC-H2"]["ok"])

    def test_f_a_line_that_cannot_be_sent_is_refused_and_the_others_run(self):
        f = self.fleet
        other_drive = ("the destination D:\\QVCLIENT\\FRM2B7.FRM is refused: only the "
                       "client's drive C: is written, not D:")
        brace = ("the destination \\QVCLIENT\\F{1}.FRM is refused: \"QVCLIENT/F{1}.FRM\" "
                 "holds a brace, which is not sent to a remote client")
        source = os.path.join(f.dir, SHARE, "F{2}.FRM")
        brace_source = ("the source \\\\CORE1\\QVMAIN\\QVLOGON\\F{2}.FRM is refused: "
                        f"\"{source}\" holds a brace, which is not sent to a remote client")
        for client in ("PC-H1", "PC-H2"):
            self.assertEqual(self.lines(client)[1:4],
                             [("REMCOPY0", other_drive), ("REMCOPY1", brace),
                              ("REMCOPY2", brace_source)], client)
        # The local client takes braces in names; the other drive is refused there too.
        self.assertEqual(self.lines("PC-ANNA")[1:4],
                         [("REMCOPY0", other_drive), ("REMCOPY1", "ok"), ("REMCOPY2", "ok")])
        self.assertEqual(sorted(os.listdir(f.qvclient(1))), ["FRM1A.FRM", "FRM3C.FRM"])
        self.assertFalse(os.path.exists(os.path.join(f.dir, "PC-H1", "D")))
        self.assertIn("FrmTask: PC-H1: REMCOPY1=" + self.SCRIPT[2][1] + ": " + brace + "\n",
                      self.result.stderr)


class KillTest(unittest.TestCase):
    def test_e_a_run_killed_halfway_leaves_the_next_run_whole_forms(self):
        f = Fleet("kill", remote=[1, 2, 3, 4], local=())
        f.qvccfg("group", GROUP, "Asset tag", "Office survey", "Contact details")
        f.qvccfg("script", GROUP, "--group")
        folders = [f.qvclient(k) for k in HOSTS.hosts()]
        proc = subprocess.Popen([FRMTASK, "--world", f.dir, GROUP + ".ini"],
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.addCleanup(proc.kill)
        deadline = time.monotonic() + RUN_SECONDS
        while not any(os.path.isdir(folder) and os.listdir(folder) for folder in folders):
            self.assertLess(time.monotonic(), deadline, "the engine wrote nothing")
            self.assertIsNone(proc.poll(), "the run ended before it could be killed")
            time.sleep(0.01)
        proc.send_signal(signal.SIGKILL)
        self.assertEqual(proc.wait(timeout=10), -signal.SIGKILL)
        # No record says a client was done by the run that was killed.
        self.assertFalse(os.path.exists(os.path.join(f.dir, "tasks", "runs.log")))
        rerun = run([FRMTASK, "--world", f.dir, GROUP + ".ini"])
        self.assertEqual(rerun.stdout, "".join(f"PC-H{k}: ok\n" for k in HOSTS.hosts()))
        for k in HOSTS.hosts():
            f.assert_forms(self, k)
        self.assertEqual(f.records(), [record(f"PC-H{k}") for k in HOSTS.hosts()])


if __name__ == "__main__":
    sshhosts.exit_unless_usable()
    unittest.main(argv=sys.argv[:1] + sys.argv[2:], verbosity=2)
