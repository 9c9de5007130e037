#!/usr/bin/env python3
"""`qvccfg list` over a forms share of 5,000 forms, timed as a user waits for it: a whole
process, side by side in one run with

  raw           bench/raw_read.cpp, built beside qvccfg: reading every form file's bytes
                once (the least any listing must do),
  cat           `cat` of every form file, another whole process that reads every byte once,
  configparser  Python's configparser reading FormName and FormDescription of every file,
                parsing each file once,
  configparser, as the catalogue reads
                the same, parsing each file once for its name and once more for its
                description, as the catalogue opens each file twice,

in two cases: `list` run right after another `list` (the user hive and its saved order of
5,001 rows written a moment before), and `list` on a settled world (nothing written for more
than two seconds). The machine is shared: each side reports its fastest round, and only the
ratios are compared.

usage: list_bench.py QVCCFG [ROUNDS]   (raw_read is looked for beside QVCCFG)
"""
import os
import subprocess
import sys
import tempfile
import time

from form_world import FORMS, make_world

PEER = r'''
import configparser, os, sys
share, twice = sys.argv[1], sys.argv[2] == 'twice'
names = [name for name in sorted(os.listdir(share)) if name.upper().endswith('.FRM')]
def read(name):
    p = configparser.RawConfigParser(strict=False, interpolation=None)
    p.read(os.path.join(share, name), encoding='latin-1')
    return p
if twice:
    forms = [read(name).get('Form', 'FormName', fallback='') for name in names]
    notes = [read(name).get('Form', 'FormDescription', fallback='') for name in names]
else:
    rows = [(p.get('Form', 'FormName', fallback=''), p.get('Form', 'FormDescription', fallback=''))
            for p in map(read, names)]
'''


def timed(command):
    start = time.perf_counter()
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL)
    return time.perf_counter() - start


def main():
    qvccfg = os.path.abspath(sys.argv[1])
    rounds = int(sys.argv[2]) if len(sys.argv) > 2 else 5
    with tempfile.TemporaryDirectory() as root:
        world = os.path.join(root, 'w')
        share = make_world(qvccfg, world)
        raw = [os.path.join(os.path.dirname(qvccfg), 'raw_read'), share]
        cat = ['cat'] + sorted(os.path.join(share, name) for name in os.listdir(share)
                               if name.upper().endswith('.FRM'))
        peer = os.path.join(root, 'peer.py')
        with open(peer, 'w') as f:
            f.write(PEER)
        listing = [qvccfg, '--world', world, 'list']
        subprocess.run(listing, check=True, stdout=subprocess.DEVNULL)  # saves the order

        best = {'raw': [], 'cat': [], 'fresh': [], 'settled': [], 'once': [], 'twice': []}
        for _ in range(rounds):
            best['raw'].append(timed(raw))
            best['cat'].append(timed(cat))
            timed(listing)
            best['fresh'].append(timed(listing))  # the hive was written a moment ago
            best['once'].append(timed([sys.executable, peer, share, 'once']))
            best['twice'].append(timed([sys.executable, peer, share, 'twice']))
            time.sleep(2.5)
            best['settled'].append(timed(listing))
        t = {side: min(times) * 1e3 for side, times in best.items()}
        print(f'{FORMS} forms, whole process, fastest of {rounds} rounds, milliseconds:')
        print(f'  raw read (raw_read)                     {t["raw"]:8.1f}')
        print(f'  raw read (cat)                          {t["cat"]:8.1f}')
        print(f'  configparser, each file parsed once     {t["once"]:8.1f}')
        print(f'  configparser, as the catalogue reads    {t["twice"]:8.1f}')
        for case in ('fresh', 'settled'):
            label = 'list, just written' if case == 'fresh' else 'list, settled'
            print(f'  {label:<39} {t[case]:8.1f}')
            print(f'    = {t[case] / t["raw"]:.2f}x raw_read, {t[case] / t["cat"]:.2f}x cat '
                  f'(target <= 2x); configparser is {t["once"] / t[case]:.1f}x (parsing once) '
                  f'and {t["twice"] / t[case]:.1f}x (as the catalogue reads) slower (target >= 5x)')


if __name__ == '__main__':
    main()
