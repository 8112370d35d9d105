#!/usr/bin/env python3
"""Run-protocol tests of hxrate that need real processes, on a case of two
million nodes (a report of about 110 MB, a run of about a second):

    run_protocol.py HXRATE killed [KILLS] [SEED]
        A run over an earlier report and log is killed with SIGKILL at KILLS
        random moments (default 20). After each kill both files must be byte
        for byte the old ones or the complete new ones; after a final normal
        run no temporary file may remain.
    run_protocol.py HXRATE concurrent
        Two runs started together in one folder: one succeeds, the other
        reports that the folder is taken, and the files are exactly those of
        a run alone.

Exit status 0 when the test passes, 1 otherwise.
"""
import hashlib
import os
import random
import signal
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from make_cases import AXIAL, CASE, LOG, RES, text  # noqa: E402

# Type 0 over 3 m in elements of 1.5 micrometres: 2e6 elements.
BIG_CASE = text(AXIAL, {1: "0", 5: "1.5e-6"})
OLD_RES = b" A report left by an earlier run\r\n"
OLD_LOG = b" A line left by an earlier run\r\n Calculation Terminated !!!\r\n"


PAIRS_AFTER_A_KILL = {("old", "old"), ("old", "missing"), ("new", "missing"), ("new", "new")}


def digest(path):
    h = hashlib.sha256()
    with open(path, "rb") as f:
        for block in iter(lambda: f.read(1 << 20), b""):
            h.update(block)
    return h.hexdigest()


def folder_with(files):
    work = tempfile.mkdtemp(prefix="hxrate-protocol-")
    for name, data in files.items():
        with open(os.path.join(work, name), "wb") as f:
            f.write(data)
    return work


def remove(work):
    for name in os.listdir(work):
        os.unlink(os.path.join(work, name))
    os.rmdir(work)


def start(exe, work):
    return subprocess.Popen([exe], cwd=work, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                            stderr=subprocess.PIPE)


def reference_run(exe):
    """The files of an undisturbed run, as (size, digest), and its duration."""
    work = folder_with({CASE: BIG_CASE})
    try:
        began = time.monotonic()
        p = subprocess.run([exe], cwd=work, stdin=subprocess.DEVNULL, capture_output=True)
        took = time.monotonic() - began
        if p.returncode != 0 or p.stdout or p.stderr:
            sys.exit(f"FAIL: the reference run ended with {p.returncode}: {p.stderr[:300]!r}")
        files = {n: (os.path.getsize(os.path.join(work, n)), digest(os.path.join(work, n)))
                 for n in (RES, LOG)}
        return files, took
    finally:
        remove(work)


def one_of(path, old, new):
    """'old', 'new' or why the file is neither."""
    if not os.path.isfile(path):
        return "missing"
    size = os.path.getsize(path)
    if size == len(old) and open(path, "rb").read() == old:
        return "old"
    if size == new[0] and digest(path) == new[1]:
        return "new"
    return f"torn ({size} bytes)"


def killed(exe, kills, seed):
    new, took = reference_run(exe)
    rng = random.Random(seed)
    work = folder_with({CASE: BIG_CASE, RES: OLD_RES, LOG: OLD_LOG})
    failures, seen, leftovers = [], {}, 0
    try:
        for i in range(kills):
            for name, old in ((RES, OLD_RES), (LOG, OLD_LOG)):
                if one_of(os.path.join(work, name), old, new[name]) != "old":
                    with open(os.path.join(work, name), "wb") as f:
                        f.write(old)
            p = start(exe, work)
            moment = rng.uniform(0, took * 1.1)
            time.sleep(moment)
            p.send_signal(signal.SIGKILL)
            p.communicate()
            states = []
            for name, old in ((RES, OLD_RES), (LOG, OLD_LOG)):
                state = one_of(os.path.join(work, name), old, new[name])
                states.append(state)
            # The old log is withdrawn before the report is replaced: a report
            # without a log claims nothing; anything else must be a whole pair.
            if tuple(states) not in PAIRS_AFTER_A_KILL:
                failures.append(f"kill {i} after {moment:.3f} s: (report, log) {tuple(states)}")
            seen[tuple(states)] = seen.get(tuple(states), 0) + 1
            leftovers += any(n.startswith(".") for n in os.listdir(work))
        p = subprocess.run([exe], cwd=work, stdin=subprocess.DEVNULL, capture_output=True)
        if p.returncode != 0:
            failures.append(f"the normal run after the kills ended with {p.returncode}")
        for name in (RES, LOG):
            if one_of(os.path.join(work, name), b"", new[name]) != "new":
                failures.append(f"the normal run after the kills left {name} not new")
        if sorted(os.listdir(work)) != sorted([CASE, RES, LOG]):
            failures.append(f"files after the normal run: {sorted(os.listdir(work))}")
        if leftovers == 0:
            failures.append("no kill left a temporary file: the clean-up was not exercised")
    finally:
        remove(work)
    print(f"seed {seed}, run {took:.2f} s, {kills} kills, (report, log) states: {seen}, "
          f"{leftovers} kills left a temporary file")
    return failures


def concurrent(exe):
    new, _ = reference_run(exe)
    work = folder_with({CASE: BIG_CASE, RES: OLD_RES, LOG: OLD_LOG})
    failures = []
    try:
        runs = [start(exe, work), start(exe, work)]
        outs = [p.communicate() + (p.returncode,) for p in runs]
        statuses = sorted(o[2] for o in outs)
        if statuses != [0, 1]:
            failures.append(f"exit statuses {statuses}, expected one 0 and one 1")
        for out, err, status in outs:
            if out:
                failures.append(f"standard output {out[:100]!r}")
            if status == 1 and not err.startswith(b"run-time error 32: "):
                failures.append(f"the second run's diagnostic: {err[:200]!r}")
            if status == 0 and err:
                failures.append(f"the successful run's standard error: {err[:200]!r}")
        for name in (RES, LOG):
            if one_of(os.path.join(work, name), b"", new[name]) != "new":
                failures.append(f"{name} is not the report of a run alone")
        if sorted(os.listdir(work)) != sorted([CASE, RES, LOG]):
            failures.append(f"files after the runs: {sorted(os.listdir(work))}")
    finally:
        remove(work)
    return failures


def main():
    exe, test = os.path.abspath(sys.argv[1]), sys.argv[2]
    if test == "killed":
        kills = int(sys.argv[3]) if len(sys.argv) > 3 else 20
        seed = int(sys.argv[4]) if len(sys.argv) > 4 else random.randrange(1 << 32)
        failures = killed(exe, kills, seed)
    elif test == "concurrent":
        failures = concurrent(exe)
    else:
        sys.exit(f"unknown test {test!r}")
    for f in failures:
        print("FAIL:", f)
    if not failures:
        print("ok")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
