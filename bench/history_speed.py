"""Reads the stand-in editor's timed transcript from bench/history-speed.sh
and prints the speed table and the goals; exits 1 when a goal is not met or
any save or load did not happen as asked.

    history_speed.py TRANSCRIPT SIZE...
"""
import re
import statistics
import sys

LOAD_GOAL_MS = 2000  # the largest history the reader takes, loaded and shown
SAVE_GOAL_MS = 1000

SAVE = re.compile(rb"^timing: ExportHistory (\d+) entries: .*total ([\d.]+) ms$")
LOAD = re.compile(
    rb"^timing: ImportHistory (\d+) entries: read and parse ([\d.]+) ms, "
    rb"show ([\d.]+) ms, total ([\d.]+) ms$")
FILE = re.compile(rb"^file: (\d+) entries, (\d+) bytes$")
EXIT = re.compile(rb"^editor exit status: (\d+)$")


def main():
    path, sizes = sys.argv[1], [int(s) for s in sys.argv[2:]]
    try:
        lines = open(path, "rb").read().splitlines()
    except OSError as e:
        print(f"no transcript: {e}")
        return 1
    saves, loads, files, problems = {}, {}, {}, []
    machine = b""
    exits = []
    for line in lines:
        if m := SAVE.match(line):
            saves.setdefault(int(m[1]), []).append(float(m[2]))
        elif m := LOAD.match(line):
            loads.setdefault(int(m[1]), []).append([float(x) for x in m.groups()[1:]])
        elif m := FILE.match(line):
            files[int(m[1])] = int(m[2])
        elif m := EXIT.match(line):
            exits.append(int(m[1]))
        elif line.startswith(b"machine: "):
            machine = line[9:]
        elif line.startswith((b"error:", b"autopilot failed", b"OnCall -> 0")):
            problems.append(line.decode("latin-1"))
    # How the editor ended counts: a crash after its last timing is no pass.
    if exits != [0]:
        problems.append(f"the editor ended with status {exits[0]}, not 0" if exits
                        else "the editor's exit status is missing")
    rounds = len(saves.get(sizes[-1], []))
    for n in sizes:
        if not saves.get(n) or not loads.get(n) or len(saves[n]) != len(loads[n]):
            problems.append(f"{n} entries: {len(saves.get(n, []))} saves and "
                            f"{len(loads.get(n, []))} loads timed")
        if not files.get(n):  # a save timed, and no file: nothing was measured
            problems.append(f"{n} entries: no history file was written")

    print("| Entries | File (bytes) | Save (ms) | Save (entries/s) "
          "| Load and show (ms) | Load and show (entries/s) "
          "| of which read and parse, show (ms) |")
    print("|--:|--:|--:|--:|--:|--:|--:|")
    results = {}
    for n in sizes:
        if not saves.get(n) or not loads.get(n):
            continue
        save = statistics.median(saves[n])
        parts = [statistics.median(r[i] for r in loads[n]) for i in range(3)]
        load = parts[2]
        results[n] = (save, load)
        print(f"| {n:,} | {files.get(n, 0):,} | {save:,.1f} | {n / save * 1000:,.0f} "
              f"| {load:,.1f} | {n / load * 1000:,.0f} "
              f"| {parts[0]:,.1f}, {parts[1]:,.1f} |")
    print()
    print(f"Medians of {rounds} rounds, timed by the editor itself (--timings): "
          "save from the plug-in's call until the file is in place; load from "
          "the call until the history is in the window and drawn.")
    print(f"Machine: {machine.decode('latin-1')}.")
    print()

    failed = bool(problems)
    largest = sizes[-1]
    if largest in results:
        save, load = results[largest]
        for what, ms, goal in (("load and show", load, LOAD_GOAL_MS),
                               ("save", save, SAVE_GOAL_MS)):
            met = ms <= goal
            failed |= not met
            print(f"- {largest:,} entries, {what}: {ms / 1000:.2f} s, at most "
                  f"{goal / 1000:g} s: {'met' if met else 'NOT met'}")
    else:
        failed = True
        print(f"- {largest:,} entries: not measured: NOT met")
    for p in problems:
        print(f"- went wrong: {p}")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
