#!/usr/bin/env python3
"""Delivering a group of three forms to 50 clients that are real machines, timed as a user
waits for it: a whole `qvccfg run` (FrmTask.exe and one run of the fleet engine, Ansible over
SSH, with Forks=20) to 50 loopback sshd hosts (tests/fleet/sshhosts.py), side by side with

  cp  copying the same three files into the 50 drive folders on this machine, one `cp` per
      folder (the least any delivery must do, without a network or a login).

The first run is cold: every host is met for the first time (its key recorded) and every
drive is empty. The runs after it find the forms there and replace them; they report their
fastest round. The machine is shared, so only the ratio is compared.

usage: fleet_bench.py QVCCFG [ROUNDS] [HOSTS]   (FrmTask.exe is looked for beside QVCCFG)
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'tests',
                                'fleet'))
import sshhosts  # noqa: E402
from form_world import bench_args  # noqa: E402

HOSTS = 50
GROUP = 'Bench set'
FORMS = ['FRM2B7.FRM', 'FRM1A.FRM', 'FRM3C.FRM']
RUN_SECONDS = 600


def make_world(qvccfg, world, hosts):
    """A default world whose clients are the hosts, PC-H1..; the group scheduled."""
    subprocess.run([qvccfg, '--world', world, 'init'], check=True, stdout=subprocess.DEVNULL)
    names = [f'PC-H{k}' for k in hosts.hosts()]
    ini = os.path.join(world, 'world.ini')
    with open(ini, newline='') as f:
        text = f.read()
    text = text.replace('Clients=PC-ANNA,PC-BEN', f'Clients={",".join(names)}\r\n'
                        f'SshIdentity={hosts.identity}\r\nForks=20')
    text += ''.join(f'\r\n[Computer {name}]\r\n{hosts.world_line(k)}\r\n'
                    for k, name in zip(hosts.hosts(), names))
    with open(ini, 'w', newline='') as f:
        f.write(text)
    for args in (['group', GROUP, 'Asset tag', 'Office survey', 'Contact details'],
                 ['schedule', GROUP, '--group']):
        subprocess.run([qvccfg, '--world', world, *args], check=True, stdout=subprocess.DEVNULL)


def timed(command):
    start = time.perf_counter()
    done = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                          timeout=RUN_SECONDS)
    elapsed = time.perf_counter() - start
    if done.returncode != 0:
        sys.exit(f'{command[0]} failed ({done.returncode}): {done.stdout.decode()[-300:]}'
                 f'{done.stderr.decode()[-600:]}')
    return elapsed, done.stdout


def check(hosts, share):
    for k in hosts.hosts():
        folder = os.path.join(hosts.drive(k), 'QVCLIENT')
        if sorted(os.listdir(folder)) != sorted(FORMS):
            sys.exit(f'host{k} holds {sorted(os.listdir(folder))}, not {sorted(FORMS)}')
        for name in FORMS:
            with open(os.path.join(folder, name), 'rb') as a, \
                    open(os.path.join(share, name), 'rb') as b:
                if a.read() != b.read():
                    sys.exit(f'host{k}: {name} differs from the share\'s')


def copy_locally(sources, folders):
    start = time.perf_counter()
    for folder in folders:
        subprocess.run(['cp', '-f', *sources, folder], check=True)
    return time.perf_counter() - start


def main():
    qvccfg, rounds, count = bench_args(__doc__, 2, HOSTS)
    with tempfile.TemporaryDirectory(prefix='fleet-bench-') as root:
        hosts = sshhosts.Hosts(os.path.join(root, 'hosts'), count)
        try:
            world = os.path.join(root, 'w')
            make_world(qvccfg, world, hosts)
            share = os.path.join(world, 'CORE1/D/Apps/Main/QVLOGON')
            run = [qvccfg, '--world', world, 'run', GROUP]
            cold, out = timed(run)
            if out.count(b': ok\n') != count:
                sys.exit(f'not every client was done:\n{out.decode()}')
            check(hosts, share)
            again = min(timed(run)[0] for _ in range(rounds))
            check(hosts, share)
            sources = [os.path.join(share, name) for name in FORMS]
            folders = [os.path.join(root, 'local', f'host{k}', 'QVCLIENT') for k in hosts.hosts()]
            for folder in folders:
                os.makedirs(folder)
            cp = min(copy_locally(sources, folders) for _ in range(rounds))
        finally:
            hosts.stop()
    print(f'{count} hosts, 3 forms, Forks=20, best of {rounds} after the cold run:')
    print(f'  qvccfg run, cold   {cold:7.3f} s  ({cold / count * 1000:6.1f} ms per host, '
          f'{cold / cp:6.1f}x cp)')
    print(f'  qvccfg run, again  {again:7.3f} s  ({again / count * 1000:6.1f} ms per host, '
          f'{again / cp:6.1f}x cp)')
    print(f'  cp                 {cp:7.3f} s  ({cp / count * 1000:6.1f} ms per host)')


if __name__ == '__main__':
    missing = [tool for tool in (sshhosts.SSHD, 'ssh', 'ansible-playbook') if not shutil.which(tool)]
    if missing:
        sys.exit('not installed: ' + ', '.join(missing))
    main()
