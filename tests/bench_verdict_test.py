#!/usr/bin/python3
"""The cost benchmark's verdict (bench/report.py), fed samples that meet each
goal at its limit and samples that miss each one: the size on disk, the
imports, load-install-unload against the floor (at most 1.25 times) and
against the conventional build (cheaper)."""

import os
import shutil
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
REPORT = os.path.join(ROOT, "bench", "report.py")
DIST = os.environ.get("PLUGIN_DIST", os.path.join(ROOT, "dist"))
LIBRARIES = ["Pellor.dll", "Dravik.dll"]
GOALS = ["bytes on disk", "imports", "× floor", "× conventional"]


def samples(cycle):
    """Three rounds in which each library's load-install-unload takes the
    ticks CYCLE gives it; everything else the same for all."""
    lines = ["machine guest 0", "machine wine test", "frequency 10000000", "resolution 1"]
    for r in range(3):
        for name, ticks in cycle.items():
            lines += [f"cycle {name} {r} {ticks}", f"command {name} {r} 100000 1000"]
    for name in cycle:
        lines += [f"memory {name} 1000 2000 3000 4000"] * 2
    return "\n".join(lines) + "\n"


def verdict(folder, pellor=100, dravik=100, floor=100, conventional=200, pellor_file=None):
    """bench/report.py's exit status and verdict lines for these times, with
    the built libraries (or PELLOR_FILE's bytes as Pellor.dll) as the files."""
    dist, bench = os.path.join(folder, "dist"), os.path.join(folder, "bench")
    shutil.rmtree(folder)
    for where in (dist, bench):
        os.makedirs(where)
    for name in LIBRARIES:
        shutil.copy(os.path.join(DIST, name), dist)
    for name in ["Floor.dll", "ConventionalPellor.dll", "ConventionalDravik.dll"]:
        shutil.copy(os.path.join(DIST, "Pellor.dll"), os.path.join(bench, name))
    if pellor_file:
        with open(os.path.join(dist, "Pellor.dll"), "wb") as f:
            f.write(pellor_file)
    with open(os.path.join(folder, "samples.txt"), "w") as f:
        f.write(samples({"Pellor.dll": pellor, "Dravik.dll": dravik, "Floor.dll": floor,
                         "ConventionalPellor.dll": conventional,
                         "ConventionalDravik.dll": conventional}))
    run = subprocess.run([sys.executable, REPORT, os.path.join(folder, "samples.txt"), dist,
                          bench], capture_output=True, text=True)
    return run.returncode, [l[2:] for l in run.stdout.splitlines() if l.startswith("- ")], \
        run.stdout + run.stderr


def read(name):
    with open(os.path.join(DIST, name), "rb") as f:
        return f.read()


# Name, times and files, and the goals (library, goal) that must be missed.
CASES = [
    ("every goal met at its limit", dict(pellor=125, dravik=125, conventional=126), []),
    ("slower than 1.25 times the floor", dict(dravik=126),
     [("Dravik.dll", "× floor")]),
    ("as slow as the conventional build", dict(pellor=200, floor=160),
     [("Pellor.dll", "× conventional")]),
    ("a byte too large", dict(pellor_file=read("Pellor.dll") + b"\0"),
     [("Pellor.dll", "bytes on disk")]),
    ("the other dialog imported", dict(pellor_file=read("Dravik.dll")),
     [("Pellor.dll", "imports")]),
]


def main():
    failures = 0
    folder = tempfile.mkdtemp(prefix="bench verdict ")
    try:
        for name, inputs, missed in CASES:
            status, lines, out = verdict(folder, **inputs)
            wanted = [f"{library}: {goal}: {'NOT met' if (library, goal) in missed else 'met'}"
                      for library in LIBRARIES for goal in GOALS]
            got = [f"{library}: {goal}: {line.rsplit(': ', 1)[1]}"
                   for library in LIBRARIES for goal in GOALS
                   for line in lines if line.startswith(library) and goal in line]
            if status != (1 if missed else 0) or got != wanted:
                failures += 1
                print(f"FAIL {name}: exit {status}, verdicts {got}, wanted {wanted}:\n{out}")
            else:
                print(f"ok   {name}")
    finally:
        shutil.rmtree(folder)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
