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

    run_protocol.py HXRATE atomic_save
        While a run holds the folder, an editor's atomic save (a new file
        renamed over the case) must not let a second run in: it stops with
        error 32 and touches nothing; the first run ends with the pair of
        the case it read.
    run_protocol.py HXRATE users
        Two throwaway users (root only): another user's links named like the
        report and the log in a shared sticky folder stop the run with error
        31 and nothing is created where they point; the runner's own links
        are followed; another user's leftover-looking file, and one beside
        a link's target elsewhere, stay; a folder the runner may not read
        cannot be locked and is refused (error 31), nothing written.
    run_protocol.py HXRATE log_failure
        A full file system (a small tmpfs, root only) that takes the new
        report but not the log: the old pair stays, error 31.
    run_protocol.py HXRATE in_place [KILLS] [SEED]
        A folder that forbids new files (the run as another user, root only):
        killed at random moments, the log never says success beside a report
        that is not whole; on a full disk the old report stays whole, error 31.
    run_protocol.py HXRATE stdout
        --help and --version into a full device exit 1 with a message.

Exit status 0 when the test passes, 1 otherwise, 77 when it cannot run here
(the reason is printed).
"""
import hashlib
import os
import pwd
import random
import shutil
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
SUCCESS_LOG = b" Calculation processed successfully\r\n"
# A case of 20 000 nodes, a report of about a megabyte.
MID_CASE = text(AXIAL, {1: "0", 5: "1.5e-4"})
SKIP = 77


class Skip(Exception):
    """The test cannot run on this machine; the text says why."""


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


def entries(work):
    return sorted(os.listdir(work))


def atomic_save(exe):
    new, took = reference_run(exe)
    work = folder_with({CASE: BIG_CASE, RES: OLD_RES, LOG: OLD_LOG})
    failures = []
    try:
        first = start(exe, work)
        # Wait until the first run has its temporary report: it holds the lock.
        deadline = time.monotonic() + took * 5 + 5
        while not any(n.startswith(".") for n in os.listdir(work)):
            if time.monotonic() > deadline or first.poll() is not None:
                return ["the first run never wrote a temporary file"]
            time.sleep(0.005)
        saved = os.path.join(work, "case.new")
        with open(saved, "wb") as f:
            f.write(MID_CASE)
        os.rename(saved, os.path.join(work, CASE))
        before = {n: digest(os.path.join(work, n)) for n in entries(work)}
        second = subprocess.run([exe], cwd=work, stdin=subprocess.DEVNULL, capture_output=True)
        after = {n: digest(os.path.join(work, n)) for n in entries(work)
                 if not n.startswith(".")}
        if second.returncode != 1 or not second.stderr.startswith(b"run-time error 32: "):
            failures.append(f"the second run: {second.returncode} {second.stderr[:200]!r}")
        if {n: d for n, d in before.items() if not n.startswith(".")} != after:
            failures.append("the second run changed the folder")
        out, err = first.communicate()
        if first.returncode != 0 or out or err:
            failures.append(f"the first run: {first.returncode} {err[:200]!r}")
        for name in (RES, LOG):
            if one_of(os.path.join(work, name), b"", new[name]) != "new":
                failures.append(f"{name} is not the pair of the case the first run read")
        if entries(work) != sorted([CASE, RES, LOG]):
            failures.append(f"files after the runs: {entries(work)}")
    finally:
        remove(work)
    return failures


def need_root(what):
    if os.geteuid() != 0:
        raise Skip(f"needs root to {what}")


class Users:
    """Two throwaway users, removed at the end."""

    def __init__(self):
        need_root("create two users")
        if not shutil.which("useradd") or not shutil.which("userdel"):
            raise Skip("needs useradd and userdel")
        self.names = []
        for tag in ("a", "b"):
            name = f"hxr{os.getpid() % 100000}{tag}"
            r = subprocess.run(["useradd", "-M", "-s", "/usr/sbin/nologin", name],
                               capture_output=True)
            if r.returncode != 0:
                self.close()
                raise Skip(f"useradd failed: {r.stderr.decode(errors='replace').strip()}")
            self.names.append(name)
        self.ids = [(pwd.getpwnam(n).pw_uid, pwd.getpwnam(n).pw_gid) for n in self.names]

    def close(self):
        for name in self.names:
            subprocess.run(["userdel", name], capture_output=True)

    def run(self, who, exe, work):
        uid, gid = self.ids[who]
        return subprocess.run([exe], cwd=work, stdin=subprocess.DEVNULL, capture_output=True,
                              user=uid, group=gid, extra_groups=[])

    def start(self, who, exe, work):
        uid, gid = self.ids[who]
        return subprocess.Popen([exe], cwd=work, stdin=subprocess.DEVNULL,
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                user=uid, group=gid, extra_groups=[])

    def own(self, who, path):
        os.lchown(path, *self.ids[who])


def runnable_copy(exe, place):
    """The program where any user can run it."""
    os.chmod(place, 0o755)
    copy = os.path.join(place, "hxrate")
    shutil.copy(exe, copy)
    os.chmod(copy, 0o755)
    return copy


def users(exe):
    people = Users()
    top = tempfile.mkdtemp(prefix="hxrate-users-")
    failures = []
    try:
        exe = runnable_copy(exe, top)
        shared = os.path.join(top, "shared")  # a group folder: anyone may add files
        private = os.path.join(top, "private")  # the runner's own folder elsewhere
        os.mkdir(shared)
        os.chmod(shared, 0o1777)
        os.mkdir(private)
        people.own(0, private)
        for name, data in ((CASE, MID_CASE),):
            with open(os.path.join(shared, name), "wb") as f:
                f.write(data)
            people.own(0, os.path.join(shared, name))
        # The other user plants links named like both outputs.
        for name in (RES, LOG):
            os.symlink(os.path.join(private, "planted-" + name[:4]), os.path.join(shared, name))
            people.own(1, os.path.join(shared, name))
        before = entries(shared)
        r = people.run(0, exe, shared)
        if r.returncode != 1 or not r.stderr.startswith(b"run-time error 31: "):
            failures.append(f"another user's links: {r.returncode} {r.stderr[:200]!r}")
        elif b"symbolic link owned by another user" not in r.stderr:
            failures.append(f"the diagnostic does not say why: {r.stderr[:200]!r}")
        if os.listdir(private) or entries(shared) != before:
            failures.append(f"another user's links led to writes: {os.listdir(private)}")
        # The runner's own links are followed; leftovers of others stay.
        for name in (RES, LOG):
            os.unlink(os.path.join(shared, name))
            os.symlink(os.path.join(private, name), os.path.join(shared, name))
            people.own(0, os.path.join(shared, name))
        others = os.path.join(shared, "." + RES + ".partial-abc123")
        beside_target = os.path.join(private, "." + RES + ".partial-abc123")
        for path in (others, beside_target):
            with open(path, "wb") as f:
                f.write(b"x")
        people.own(1, others)
        people.own(0, beside_target)
        r = people.run(0, exe, shared)
        if r.returncode != 0:
            failures.append(f"the runner's own links: {r.returncode} {r.stderr[:200]!r}")
        if not os.path.islink(os.path.join(shared, RES)):
            failures.append("the runner's own link was replaced")
        with open(os.path.join(private, LOG), "rb") as f:
            if f.read() != SUCCESS_LOG:
                failures.append("the runner's own link was not followed")
        if not os.path.exists(others):
            failures.append("another user's leftover-looking file was removed")
        if not os.path.exists(beside_target):
            failures.append("a file beside a link's target in another folder was removed")
        # A folder the runner may search and write but not read cannot be
        # locked: the run is refused and writes nothing.
        blind = os.path.join(top, "blind")
        os.mkdir(blind)
        with open(os.path.join(blind, CASE), "wb") as f:
            f.write(MID_CASE)
        people.own(0, blind)
        os.chmod(blind, 0o300)
        r = people.run(0, exe, blind)
        if r.returncode != 1 or not r.stderr.startswith(b"run-time error 31: cannot lock"):
            failures.append(f"a folder that cannot be read: {r.returncode} {r.stderr[:200]!r}")
        if entries(blind) != [CASE]:
            failures.append(f"a folder that cannot be read: {entries(blind)}")
    finally:
        shutil.rmtree(top, ignore_errors=True)
        people.close()
    return failures


class TmpFs:
    """A small tmpfs mounted for the test, unmounted at the end."""

    def __init__(self, kib):
        need_root("mount a small file system")
        self.path = tempfile.mkdtemp(prefix="hxrate-full-")
        r = subprocess.run(["mount", "-t", "tmpfs", "-o", f"size={kib}k,mode=0755", "tmpfs",
                            self.path], capture_output=True)
        if r.returncode != 0:
            os.rmdir(self.path)
            raise Skip(f"cannot mount a tmpfs: {r.stderr.decode(errors='replace').strip()}")

    def close(self):
        subprocess.run(["umount", self.path], capture_output=True)
        os.rmdir(self.path)


def pages(n):
    return (n + 4095) // 4096


def log_failure(exe):
    work = folder_with({CASE: MID_CASE})
    try:
        subprocess.run([exe], cwd=work, stdin=subprocess.DEVNULL, capture_output=True)
        report = os.path.getsize(os.path.join(work, RES))
    finally:
        remove(work)
    old_res = OLD_RES * 10
    # Room for the case, the old pair and the new report, not one page more.
    fs = TmpFs(4 * (pages(len(MID_CASE)) + pages(len(old_res)) + pages(len(SUCCESS_LOG))
                    + pages(report)))
    failures = []
    try:
        for name, data in ((CASE, MID_CASE), (RES, old_res), (LOG, SUCCESS_LOG)):
            with open(os.path.join(fs.path, name), "wb") as f:
                f.write(data)
        r = subprocess.run([exe], cwd=fs.path, stdin=subprocess.DEVNULL, capture_output=True)
        if r.returncode != 1 or not r.stderr.startswith(b'run-time error 31: cannot write "Log'):
            failures.append(f"the run: {r.returncode} {r.stderr[:200]!r}")
        for name, old in ((RES, old_res), (LOG, SUCCESS_LOG)):
            if one_of(os.path.join(fs.path, name), old, (0, "")) != "old":
                failures.append(f"{name} is not the old one")
        if entries(fs.path) != sorted([CASE, RES, LOG]):
            failures.append(f"files after the run: {entries(fs.path)}")
    finally:
        fs.close()
    return failures


def in_place_folder(people, top, files):
    """A folder of root's that forbids new files, holding files the runner may write."""
    work = os.path.join(top, "work")
    os.mkdir(work)
    for name, data in files.items():
        with open(os.path.join(work, name), "wb") as f:
            f.write(data)
        people.own(0, os.path.join(work, name))
    os.chmod(work, 0o755)
    return work


def in_place(exe, kills, seed):
    people = Users()
    top = tempfile.mkdtemp(prefix="hxrate-inplace-")
    failures, seen = [], {}
    rng = random.Random(seed)
    try:
        new, _ = reference_run(exe)
        copy = runnable_copy(exe, top)
        work = in_place_folder(people, top, {CASE: BIG_CASE, RES: OLD_RES, LOG: SUCCESS_LOG})
        res, log = os.path.join(work, RES), os.path.join(work, LOG)
        # Undisturbed, the run in place leaves exactly the new pair.
        began = time.monotonic()
        r = people.run(0, copy, work)
        took = time.monotonic() - began
        if r.returncode != 0 or one_of(res, b"", new[RES]) != "new" or \
                one_of(log, b"", new[LOG]) != "new":
            failures.append(f"the run in place: {r.returncode} {r.stderr[:200]!r}")
        for i in range(kills):
            for path, old in ((res, OLD_RES), (log, SUCCESS_LOG)):
                with open(path, "r+b") as f:
                    f.write(old)
                    f.truncate()
            p = people.start(0, copy, work)
            moment = rng.uniform(0, took * 1.1)
            time.sleep(moment)
            p.send_signal(signal.SIGKILL)
            p.communicate()
            state = one_of(res, OLD_RES, new[RES])
            with open(log, "rb") as f:
                says = f.read() == SUCCESS_LOG
            seen[(state, says)] = seen.get((state, says), 0) + 1
            if says and state not in ("old", "new"):
                failures.append(f"kill {i} after {moment:.3f} s: success logged beside a "
                                f"report {state}")
        if entries(work) != sorted([CASE, RES, LOG]):
            failures.append(f"files after the kills: {entries(work)}")
        shutil.rmtree(work)
    finally:
        print(f"seed {seed}, {kills} kills in place, (report, log says success) states: {seen}")
        shutil.rmtree(top, ignore_errors=True)
        people.close()
    return failures


def in_place_full_disk(exe):
    people = Users()
    fs = TmpFs(256)
    failures = []
    try:
        exe = runnable_copy(exe, tempfile.mkdtemp(prefix="hxrate-exe-"))
        old_res = b" an earlier report, whole\r\n" * 4000  # about 100 KiB
        work = in_place_folder(people, fs.path, {CASE: BIG_CASE, RES: old_res, LOG: SUCCESS_LOG})
        r = people.run(0, exe, work)
        if r.returncode != 1 or not r.stderr.startswith(b"run-time error 31: "):
            failures.append(f"the run on a full disk: {r.returncode} {r.stderr[:200]!r}")
        if one_of(os.path.join(work, RES), old_res, (0, "")) != "old":
            failures.append("the old report was cut on a full disk")
        with open(os.path.join(work, LOG), "rb") as f:
            if f.read() == SUCCESS_LOG:
                failures.append("the log says success after a full disk")
        shutil.rmtree(os.path.dirname(exe))
    finally:
        fs.close()
        people.close()
    return failures


def stdout(exe):
    failures = []
    for option in ("--help", "--version"):
        with open("/dev/full", "wb") as full:
            r = subprocess.run([exe, option], stdout=full, stderr=subprocess.PIPE)
        if r.returncode != 1 or not r.stderr.startswith(b"hxrate: cannot write standard output: "):
            failures.append(f"{option} > /dev/full: {r.returncode} {r.stderr[:200]!r}")
    # A rejected case whose "Stop" line is lost would pass for a success.
    work = folder_with({CASE: text(AXIAL, {1: "4"})})
    try:
        with open("/dev/full", "wb") as full:
            r = subprocess.run([exe], cwd=work, stdout=full, stderr=subprocess.PIPE)
        if r.returncode != 1 or not r.stderr.startswith(b"hxrate: cannot write standard output: "):
            failures.append(f"a rejection > /dev/full: {r.returncode} {r.stderr[:200]!r}")
        with open(os.path.join(work, LOG), "rb") as f:
            if not f.read().startswith(b" Please insert correct exchanger selection"):
                failures.append("the rejection's log was not written")
    finally:
        remove(work)
    return failures


def main():
    exe, test = os.path.abspath(sys.argv[1]), sys.argv[2]
    try:
        return run_test(exe, test)
    except Skip as why:
        print(f"SKIPPED: {why}")
        return SKIP


def run_test(exe, test):
    if test == "killed":
        kills = int(sys.argv[3]) if len(sys.argv) > 3 else 20
        seed = int(sys.argv[4]) if len(sys.argv) > 4 else random.randrange(1 << 32)
        failures = killed(exe, kills, seed)
    elif test == "in_place":
        kills = int(sys.argv[3]) if len(sys.argv) > 3 else 12
        seed = int(sys.argv[4]) if len(sys.argv) > 4 else random.randrange(1 << 32)
        failures = in_place(exe, kills, seed) + in_place_full_disk(exe)
    elif test in ("concurrent", "atomic_save", "users", "log_failure", "stdout"):
        failures = globals()[test](exe)
    else:
        sys.exit(f"unknown test {test!r}")
    for f in failures:
        print("FAIL:", f)
    if not failures:
        print("ok")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
