#!/usr/bin/env python3
"""A world whose forms share holds 5,000 forms of ten questions each: the benchmarks' common
ground (bench/list_bench.py imports it; bench/console_bench.mjs runs it).

usage: form_world.py QVCCFG DIR [FORMS]   (makes the world DIR with `qvccfg init`, then the forms)
"""
import os
import subprocess
import sys

FORMS = 5000


def bench_args(doc, rounds, count):
    """QVCCFG [ROUNDS] [COUNT] from the command line, with the bench's defaults; `doc` (its
    usage) when QVCCFG is missing."""
    if len(sys.argv) < 2:
        sys.exit(doc)
    return (os.path.abspath(sys.argv[1]), int(sys.argv[2]) if len(sys.argv) > 2 else rounds,
            int(sys.argv[3]) if len(sys.argv) > 3 else count)


def form_text(n):
    text = ('[Header]\r\nName=Quovant(R) Custom Data INI file\r\nVersion=1.0\r\n'
            'CreationDate=904651200\r\nLastModifiedDate=904737600\r\n'
            f'[Form]\r\nFormName=Form {n}\r\nFormDescription=Questions of form {n}\r\n')
    for i in range(1, 11):
        text += f'Field{i}=EDIT, Item{i}, What is item {i}?, R, \r\nFieldNote{i}=\r\n'
    return text


def add_clients(world, count):
    """Makes the world's clients PC-00000... (`count` of them, in place of the default world's),
    each with its own drive C: folder; returns their names."""
    names = [f'PC-{n:05d}' for n in range(count)]
    ini = os.path.join(world, 'world.ini')
    with open(ini, newline='') as f:
        text = f.read()
    text = text.replace('Clients=PC-ANNA,PC-BEN', 'Clients=' + ','.join(names))
    text += ''.join(f'\r\n[Computer {name}]\r\nReachable=1\r\nDrive C={name}/C\r\nShare C$=C:\\\r\n'
                    for name in names)
    with open(ini, 'w', newline='') as f:
        f.write(text)
    for name in names:
        os.makedirs(os.path.join(world, name, 'C'), exist_ok=True)
    return names


def make_world(qvccfg, world, forms=FORMS):
    """Makes the world and its forms; returns the forms share's folder."""
    subprocess.run([qvccfg, '--world', world, 'init'], check=True, stdout=subprocess.DEVNULL)
    share = os.path.join(world, 'CORE1', 'D', 'Apps', 'Main', 'QVLOGON')
    for n in range(forms):
        with open(os.path.join(share, f'FRM{0x1000 + n:X}.FRM'), 'w', newline='') as f:
            f.write(form_text(n))
    return share


if __name__ == '__main__':
    if len(sys.argv) not in (3, 4):
        sys.exit(__doc__.strip().splitlines()[-1])
    make_world(os.path.abspath(sys.argv[1]), sys.argv[2],
               int(sys.argv[3]) if len(sys.argv) == 4 else FORMS)
