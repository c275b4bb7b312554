#!/usr/bin/python3
"""The cost benchmark's verdict (bench/report.py), fed samples that meet each
goal at its limit and samples that miss each one: the size on disk, the
imports, load-install-unload against the floor (at most 1.25 times) and
against the conventional build (cheaper), and one command against the
conventional build (at most 1.10 times, by the median of the rounds)."""

import os
import re
import shutil
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
REPORT = os.path.join(ROOT, "bench", "report.py")
DIST = os.environ.get("PLUGIN_DIST", os.path.join(ROOT, "dist"))
LIBRARIES = ["Pellor.dll", "Dravik.dll"]
# Each goal's verdict line, told apart by what it says.
GOALS = {
    "bytes on disk": "bytes on disk",
    "imports": "imports",
    "cycle × floor": "load, install, unload .* × floor",
    "cycle × conventional": "load, install, unload .* × conventional",
    "command × conventional": "one command .*× conventional",
}
CONVENTIONAL = ["ConventionalPellor.dll", "ConventionalDravik.dll"]


def samples(cycle, command, guest):
    """Three rounds in which each library's load-install-unload takes the
    ticks CYCLE gives it, and its 1,000 commands the ticks COMMAND gives it
    (one number for every round, or one a round); memory the same for all."""
    lines = [f"machine guest {int(guest)}", "machine wine test", "frequency 10000000",
             "resolution 1"]
    for r in range(3):
        for name, ticks in cycle.items():
            each = command[name] if isinstance(command[name], list) else [command[name]] * 3
            lines += [f"cycle {name} {r} {ticks}", f"command {name} {r} {each[r]} 1000"]
    for name in cycle:
        lines += [f"memory {name} 1000 2000 3000 4000"] * 2
    return "\n".join(lines) + "\n"


def verdict(folder, pellor=100, dravik=100, floor=100, conventional=200, pellor_file=None,
            commands=None, guest=False):
    """bench/report.py's exit status and verdict lines for these times, with
    the built libraries (or PELLOR_FILE's bytes as Pellor.dll) as the files.
    Commands take 100,000 ticks unless COMMANDS says otherwise."""
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
    cycle = {"Pellor.dll": pellor, "Dravik.dll": dravik, "Floor.dll": floor,
             **{name: conventional for name in CONVENTIONAL}}
    command = {name: 100000 for name in cycle}
    command.update(commands or {})
    with open(os.path.join(folder, "samples.txt"), "w") as f:
        f.write(samples(cycle, command, guest))
    run = subprocess.run([sys.executable, REPORT, os.path.join(folder, "samples.txt"), dist,
                          bench], capture_output=True, text=True)
    return run.returncode, [l[2:] for l in run.stdout.splitlines() if l.startswith("- ")], \
        run.stdout + run.stderr


def read(name):
    with open(os.path.join(DIST, name), "rb") as f:
        return f.read()


# Name, times and files, and the goals (library, goal) that must be missed.
CASES = [
    ("every goal met at its limit",
     dict(pellor=125, dravik=125, conventional=126,
          commands={"Pellor.dll": 110000, "Dravik.dll": 110000}), []),
    ("slower than 1.25 times the floor", dict(dravik=126),
     [("Dravik.dll", "cycle × floor")]),
    ("as slow as the conventional build", dict(pellor=200, floor=160),
     [("Pellor.dll", "cycle × conventional")]),
    ("a byte too large", dict(pellor_file=read("Pellor.dll") + b"\0"),
     [("Pellor.dll", "bytes on disk")]),
    ("the other dialog imported", dict(pellor_file=read("Dravik.dll")),
     [("Pellor.dll", "imports")]),
    ("one command slower than 1.10 times the conventional build",
     dict(commands={"Dravik.dll": 111000}),
     [("Dravik.dll", "command × conventional")]),
    ("one command slower in most rounds, faster in one",
     dict(commands={"Pellor.dll": [50000, 120000, 120000]}),
     [("Pellor.dll", "command × conventional")]),
    ("one round's command far slower: the median holds",
     dict(commands={"Pellor.dll": [100000, 900000, 100000]}), []),
    ("the conventional build's commands too short for the timer",
     dict(commands={"Pellor.dll": 100, "ConventionalPellor.dll": 99}),
     [("Pellor.dll", "command × conventional")]),
    ("the library's own commands too short for the timer",
     dict(commands={"Dravik.dll": 99}),
     [("Dravik.dll", "command × conventional")]),
    ("commands spanning exactly the timer's 100 steps",
     dict(commands={"Dravik.dll": 100, "ConventionalDravik.dll": 100}), []),
    # Under emulation a command's ratio is a figure: no verdict either way.
    ("one command far slower in the emulated guest",
     dict(commands={"Pellor.dll": 300000}, guest=True), [("Pellor.dll", "command × conventional")]),
]


def main():
    failures = 0
    folder = tempfile.mkdtemp(prefix="bench verdict ")
    try:
        for name, inputs, missed in CASES:
            status, lines, out = verdict(folder, **inputs)
            guest = inputs.get("guest") and "command × conventional"
            wanted = [f"{library}: {goal}: " + ("judged only natively" if goal == guest else
                                                 "NOT met" if (library, goal) in missed else "met")
                      for library in LIBRARIES for goal in GOALS]
            got = [f"{library}: {goal}: {line.rsplit(': ', 1)[1]}"
                   for library in LIBRARIES for goal, said in GOALS.items()
                   for line in lines if line.startswith(library) and re.search(said, line)]
            if status != (1 if missed and not guest else 0) or got != wanted:
                failures += 1
                print(f"FAIL {name}: exit {status}, verdicts {got}, wanted {wanted}:\n{out}")
            else:
                print(f"ok   {name}")
    finally:
        shutil.rmtree(folder)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
