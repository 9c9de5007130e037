#!/usr/bin/env python3
"""The console on a real network's size: a world of CLIENTS client machines (the default
world's clients repeated in world.ini, each with its own C drive folder) and FORMS forms, each
figure beside what the least work of its kind costs on the same machine in the same run:

  idle console, no page open    the console's share of one core over 10 s
  idle console, a page open     the same with its page open and idle in Chromium
  bytes an idle page receives   the most in any 10 s of 45 s idle (responses as sent)
  bytes for one row selection   the click to the row shown selected, and 1 s after
  a form another program adds   the bytes the page gets, and the time until it is listed
  navigation to the first list  beside a static page drawing the same rows
  qvccfg run of a 3-form group  to every client, beside `cp` of the three files to every
                                client's folder

usage: scale_bench.py BUILD [CLIENTS] [FORMS]   (10,000 and 5,000 by default; needs Chromium)
"""
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time

from form_world import add_clients, make_world

TICKS = os.sysconf("SC_CLK_TCK")
TARGETS = {"idleCpu": 0.01, "pageCpu": 0.03, "idleBytes": 20_000, "selectBytes": 10_000,
           "navigationMs": 1000, "runSeconds": 5.0}


def cpu_share(pid, seconds=10):
    def ticks():
        with open(f"/proc/{pid}/stat") as f:
            fields = f.read().rsplit(")", 1)[1].split()
        return int(fields[11]) + int(fields[12])
    before = ticks()
    time.sleep(seconds)
    return (ticks() - before) / TICKS / seconds


def idle_console(build, world):
    console = subprocess.Popen([os.path.join(build, "qvconsole"), "--world", world],
                               stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    try:
        deadline = time.monotonic() + 120
        while time.monotonic() < deadline and "http://" not in console.stdout.readline():
            pass
        time.sleep(5)  # the first list is made
        return cpu_share(console.pid)
    finally:
        console.terminate()
        console.wait(timeout=60)


def timed(command):
    start = time.perf_counter()
    subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return time.perf_counter() - start


def main():
    build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build")
    clients = int(sys.argv[2]) if len(sys.argv) > 2 else 10_000
    forms = int(sys.argv[3]) if len(sys.argv) > 3 else 5_000
    qvccfg = os.path.join(build, "qvccfg")
    here = os.path.dirname(os.path.abspath(__file__))
    root = tempfile.mkdtemp(prefix="scalebench")
    try:
        world = os.path.join(root, "w")
        share = make_world(qvccfg, world, forms)
        names = add_clients(world, clients)
        group = ["Asset tag", "Contact details", "Office survey"]
        subprocess.run([qvccfg, "--world", world, "group", "Three", *group], check=True,
                       stdout=subprocess.DEVNULL)
        subprocess.run([qvccfg, "--world", world, "schedule", "Three", "--group"], check=True,
                       stdout=subprocess.DEVNULL)

        figures = {"idleCpu": idle_console(build, world)}
        page = subprocess.run(["node", os.path.join(here, "scale_page.mjs"), build, world],
                              check=True, capture_output=True, text=True, timeout=600)
        figures.update(json.loads(page.stdout.strip().splitlines()[-1]))
        figures["runSeconds"] = timed([qvccfg, "--world", world, "run", "Three"])

        files = [os.path.join(share, n) for n in ("FRM2B7.FRM", "FRM3C.FRM", "FRM1A.FRM")]
        script = ("for d in \"$@\"; do mkdir -p \"$d\" && cp " +
                  " ".join(f"'{f}'" for f in files) + " \"$d\"; done")
        folders = [os.path.join(world, n, "C", "QVCLIENT2") for n in names]
        cp = timed(["bash", "-c", script, "cp"] + folders)

        print(f"{clients} clients, {forms} forms:")
        print(f"  idle console, no page open    {figures['idleCpu'] * 100:7.2f} % of a core"
              f"   (target < {TARGETS['idleCpu'] * 100:g} %)")
        print(f"  idle console, a page open     {figures['pageCpu'] * 100:7.2f} % of a core"
              f"   (target < {TARGETS['pageCpu'] * 100:g} %)")
        print(f"  bytes an idle page gets, 10 s {figures['idleBytes']:9d}"
              f"   (a static page: 0; target <= {TARGETS['idleBytes']})")
        print(f"  bytes for one row selection   {figures['selectBytes']:9d}"
              f"   (target <= {TARGETS['selectBytes']})")
        shown = figures["addShownMs"]
        print(f"  a form another program adds   {figures['addBytes']:9d} bytes, shown after "
              + (f"{shown / 1000:.2f} s" if shown is not None else "more than 10 s")
              + "   (target: shown within 1 s)")
        print(f"  navigation to the first list  {figures['navigationMs'] / 1000:9.2f} s"
              f"   (static page {figures['staticNavigationMs'] / 1000:.2f} s; target <= 1 s)")
        print(f"  qvccfg run, 3 forms, all      {figures['runSeconds']:9.2f} s"
              f"   (cp {cp:.2f} s, {figures['runSeconds'] / cp:.1f}x; target <= 5 s)")
    finally:
        shutil.rmtree(root, True)


if __name__ == "__main__":
    main()
