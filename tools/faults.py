#!/usr/bin/python3
"""Faults kept, not forgotten: applies each fault of tools/faults.txt alone
in one scratch copy of this tree, rebuilds it, runs the tests the fault
names, and, when those miss it, the whole suite (./test.sh). Prints each
fault no test noticed, the score (caught of all) and the time taken. A
fault whose text is not in its file, or is there more than once, is stale:
a failure of the catalogue, never a pass. Run by hand, not by ./test.sh.

  tools/faults.py [--only PATTERN] [--no-suite] [--list] [--scratch DIR]

PATTERN is a regular expression searched in each fault's name, file and
tests. The scratch copy keeps its own build folder between runs, so each
rebuild is incremental; a fault is reverted before the next is applied.
The Wine tests run under xvfb-run where 32-bit Windows programs can run:
here, or in the emulated guest (tools/win32-runtime.sh)."""

import argparse
import os
import re
import shlex
import shutil
import subprocess
import sys
import tempfile
import time
import xml.etree.ElementTree as ET

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
CATALOGUE = os.path.join(ROOT, "tools", "faults.txt")


class Fault:
    def __init__(self, number, fields):
        self.line = number
        self.name, self.file, text, becomes, tests = fields
        # A fault that spans lines writes each line break as "⏎".
        self.text, self.becomes = text.replace("⏎", "\n"), becomes.replace("⏎", "\n")
        self.tests = [t.strip() for t in tests.split(",") if t.strip()]


def catalogue(path):
    """The faults, one a line: NAME, FILE, TEXT, BECOMES, TESTS, separated
    by tabs (code holds no tabs), "⏎" for a line break inside TEXT or
    BECOMES; '#' starts a comment line."""
    faults, wrong = [], []
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            line = line.rstrip("\n")
            if not line.strip() or line.startswith("#"):
                continue
            fields = line.split("\t")
            if len(fields) == 4:  # an empty BECOMES whose tab an editor ate
                fields.insert(3, "")
            if len(fields) != 5 or not fields[2] or not fields[4]:
                wrong.append(f"{path}:{number}: not NAME, FILE, TEXT, BECOMES, TESTS")
                continue
            faults.append(Fault(number, fields))
    return faults, wrong


def run(command, cwd, log=None, **kw):
    """Runs COMMAND, its output into LOG (or discarded); its exit status."""
    with open(log or os.devnull, "ab") as out:
        return subprocess.call(command, cwd=cwd, stdout=out, stderr=subprocess.STDOUT, **kw)


def sync(scratch):
    """Copies the tree's files (tracked, and new ones git does not ignore)
    into SCRATCH, only those that differ, so its build stays incremental,
    and commits them there: some tests list the files git tracks."""
    listed = subprocess.run(["git", "-C", ROOT, "ls-files", "-z", "--cached", "--others",
                             "--exclude-standard"], capture_output=True, check=True)
    names = sorted({n for n in listed.stdout.decode().split("\0")
                    if n and os.path.isfile(os.path.join(ROOT, n))})
    os.makedirs(scratch, exist_ok=True)
    for name in names:
        source, target = os.path.join(ROOT, name), os.path.join(scratch, name)
        with open(source, "rb") as f:
            data = f.read()
        if os.path.exists(target):
            with open(target, "rb") as f:
                if f.read() == data:
                    continue
        os.makedirs(os.path.dirname(target), exist_ok=True)
        shutil.copy2(source, target)
    git = ["git", "-C", scratch, "-c", "user.name=faults", "-c", "user.email=faults@localhost"]
    if not os.path.isdir(os.path.join(scratch, ".git")):
        subprocess.run(git + ["init", "-q"], check=True)
    kept = subprocess.run(git + ["ls-files", "-z"], capture_output=True, check=True)
    for name in set(filter(None, kept.stdout.decode().split("\0"))) - set(names):
        os.unlink(os.path.join(scratch, name))  # gone from the tree
    subprocess.run(git + ["add", "-A"], check=True)
    subprocess.run(git + ["commit", "-q", "--allow-empty", "-m", "the tree"], check=True)


def tests_in(build, selection=()):
    listed = subprocess.run(["ctest", "--test-dir", build, "-N", *selection],
                            capture_output=True, text=True)
    return set(re.findall(r"Test +#\d+: (\S+)", listed.stdout))


def build(scratch, log, native):
    env = dict(os.environ)
    status = run(["cmake", "--build", "--preset", "default"], scratch, log)
    if status == 0 and native:
        status = run(["cmake", "--build", os.path.join(scratch, "build", "native")], scratch,
                     log, env=env)
    return status == 0


def failed_tests(build_dir, names, scratch, log):
    """Runs the tests NAMES of BUILD_DIR (with the fixtures they need), those
    needing Wine where 32-bit Windows programs run (the emulated guest where
    this kernel needs it); the names of those that ran and failed. A test
    that did not run is no catch."""
    pattern = "^(" + "|".join(re.escape(n) for n in names) + ")$"
    failed = set()
    with tempfile.TemporaryDirectory(dir=build_dir) as tmp:  # the guest sees it
        for label, where in (("-LE", []), ("-L", [os.path.join(scratch, "tools", "win32-runtime.sh")])):
            if not tests_in(build_dir, [label, "wine", "-R", pattern]):
                continue  # the guest is not started for nothing
            report = os.path.join(tmp, "ctest.xml")
            ctest = ["xvfb-run", "-a", "ctest", "--test-dir", build_dir, "-R", pattern, label,
                     "wine", "--output-on-failure", "--output-junit", report]
            run(where + [" ".join(shlex.quote(a) for a in ctest)] if where else ctest, scratch, log)
            if os.path.exists(report):
                cases = ET.parse(report).getroot().iter("testcase")
                failed |= {c.get("name") for c in cases if c.get("status") == "fail"}
                os.unlink(report)
    return failed & set(names)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--only", help="regular expression: the faults to apply")
    parser.add_argument("--no-suite", action="store_true",
                        help="when the tests named miss a fault, do not run ./test.sh")
    parser.add_argument("--list", action="store_true", help="list the faults and stop")
    parser.add_argument("--scratch", default=os.path.join(ROOT, "build", "faults", "scratch tree"),
                        help="the scratch copy (kept between runs)")
    parser.add_argument("--catalogue", default=CATALOGUE)
    args = parser.parse_args()

    started = time.monotonic()
    faults, wrong = catalogue(args.catalogue)
    if args.only:
        only = re.compile(args.only)
        faults = [f for f in faults
                  if only.search(" ".join([f.name, f.file] + f.tests))]
    if args.list:
        for f in faults:
            print(f"{f.name}\t{f.file}\t{', '.join(f.tests)}")
        return 0
    if not faults:
        print("faults: no fault selected")
        return 1
    scratch = os.path.abspath(args.scratch)
    log = os.path.join(os.path.dirname(scratch), "faults.log")
    os.makedirs(os.path.dirname(scratch), exist_ok=True)
    open(log, "w").close()
    print(f"faults: {len(faults)} faults in {scratch} (its output in {log})", flush=True)
    sync(scratch)
    preset = ["cmake", "--preset", "default", "-DBUILD_TESTING=ON"]
    if run(preset, scratch, log) != 0 or not build(scratch, log, native=False):
        print(f"faults: the tree does not build before any fault (see {log})")
        return 1
    builds = {os.path.join(scratch, "build"): tests_in(os.path.join(scratch, "build"))}
    native_dir = os.path.join(scratch, "build", "native")
    native = any(t not in builds[os.path.join(scratch, "build")] for f in faults for t in f.tests)
    if native:
        run(["cmake", "-S", "tests/native", "-B", native_dir, "-G", "Ninja",
             "-DCMAKE_BUILD_TYPE=Release"], scratch, log, env=dict(os.environ, CXX="clang++"))
        build(scratch, log, native=True)
        builds[native_dir] = tests_in(native_dir)

    caught, missed, stale = [], [], list(wrong)
    for fault in faults:
        began = time.monotonic()
        path = os.path.join(scratch, fault.file)
        try:
            with open(path, encoding="utf-8", newline="") as f:
                original = f.read()
        except OSError as e:
            stale.append(f"{fault.name}: {fault.file} cannot be read ({e.strerror})")
            continue
        found = original.count(fault.text)
        unknown = [t for t in fault.tests if not any(t in names for names in builds.values())]
        if found != 1 or unknown:
            why = (f"no test named {', '.join(unknown)}" if unknown and found == 1 else
                   f"its text is {'not' if found == 0 else f'{found} times'} in {fault.file}")
            stale.append(f"{fault.name}: {why}")
            print(f"STALE   {fault.name}: {why}", flush=True)
            continue
        with open(path, "w", encoding="utf-8", newline="") as f:
            f.write(original.replace(fault.text, fault.becomes))
        try:
            with open(log, "a") as f:
                f.write(f"\n===== {fault.name}: {fault.file}\n")
            if not build(scratch, log, native):  # no test ran: mend the fault
                stale.append(f"{fault.name}: with it applied the tree does not build")
                print(f"STALE   {fault.name}: with it applied the tree does not build", flush=True)
                continue
            failed = set()
            for build_dir, names in builds.items():
                wanted = [t for t in fault.tests if t in names]
                if wanted:
                    failed |= failed_tests(build_dir, wanted, scratch, log)
            how = f"failed {', '.join(sorted(failed))}" if failed else None
            if not failed and not args.no_suite:
                if run(["./test.sh"], scratch, log) != 0:
                    how = "only the whole suite failed (name its test in the catalogue)"
            seconds = time.monotonic() - began
            if how:
                caught.append(fault.name)
                print(f"caught  {fault.name} ({how}; {seconds:.0f} s)", flush=True)
            else:
                missed.append(fault.name)
                print(f"MISSED  {fault.name}: {fault.file}: {fault.text!r} -> "
                      f"{fault.becomes!r}; {', '.join(fault.tests)} passed ({seconds:.0f} s)",
                      flush=True)
        finally:
            with open(path, "w", encoding="utf-8", newline="") as f:
                f.write(original)

    took = time.monotonic() - started
    total = len(faults) + len(wrong)
    print()
    for name in missed:
        print(f"not noticed: {name}")
    for why in stale:
        print(f"stale: {why}")
    print(f"Faults caught: {len(caught)} of {total} ({len(missed)} missed, {len(stale)} stale) "
          f"in {int(took // 60)} min {int(took % 60)} s")
    return 0 if len(caught) == total else 1


if __name__ == "__main__":
    sys.exit(main())
